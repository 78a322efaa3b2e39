#include "platform/input/hid_class.h"

#include "platform/kernel/kernel.h"
#include "platform/trace/trace.h"

#include <atomic>
#include <cstdio>

namespace platform::input {

namespace {

std::atomic<HidClass*> gCurrent{nullptr};

std::string ReportLine(const uint8_t* report, size_t length) {
    std::string line = "hid report";
    char hex[4];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, " %02x", unsigned{report[i]});
        line += hex;
    }
    return line;
}

} // namespace

HidClass::HidClass(HidClassOptions options)
    : PointerSink(options.screenWidth, options.screenHeight), options_(options) {
    gCurrent.store(this);
}

HidClass::~HidClass() {
    HidClass* self = this;
    gCurrent.compare_exchange_strong(self, nullptr);
}

HidClass* HidClass::Current() {
    return gCurrent.load();
}

std::vector<HidDevice> HidClass::Devices() const {
    std::lock_guard lock(mutex_);
    return devices_;
}

size_t HidClass::Reports() const {
    std::lock_guard lock(mutex_);
    return reports_;
}

void HidClass::OnStarted(const HidDevice& device) {
    const uint64_t now = kernel::Kernel::Current().Now();
    char line[160];
    if (NT_SUCCESS(device.startStatus))
        std::snprintf(line, sizeof line,
                      "hid device vendor=0x%04X product=0x%04X version=0x%04X report=%zu",
                      unsigned{device.attributes.VendorID}, unsigned{device.attributes.ProductID},
                      unsigned{device.attributes.VersionNumber}, device.reportLength);
    else
        std::snprintf(line, sizeof line, "hid start failed reason=%s",
                      trace::Quote(device.failure).c_str());
    std::lock_guard lock(mutex_);
    trace::Emit(now, line);
    for (HidDevice& known : devices_) {
        if (known.device == device.device) {
            known = device;
            return;
        }
    }
    devices_.push_back(device);
}

void HidClass::OnReport(const hid::PointerMap* map, const uint8_t* report, size_t length,
                        UCHAR& buttons) {
    const uint64_t now = kernel::Kernel::Current().Now();
    Deliver(now, [&](auto apply) {
        ++reports_;
        trace::Emit(now, ReportLine(report, length));
        MOUSE_INPUT_DATA packet;
        if (map != nullptr && hid::ReportToPacket(*map, report, length, buttons, packet))
            apply(packet);
    });
}

} // namespace platform::input
