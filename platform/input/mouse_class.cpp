#include "platform/input/mouse_class.h"

#include "platform/kernel/kernel.h"
#include "platform/trace/trace.h"

#include <cstdio>
#include <string>

namespace platform::input {

namespace {

std::string PacketLine(const MOUSE_INPUT_DATA& packet) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "mouse packet flags=0x%04X buttons=0x%04X raw=0x%02X x=%d y=%d",
                  unsigned{packet.Flags}, unsigned{packet.ButtonFlags}, unsigned{packet.RawButtons},
                  int{packet.LastX}, int{packet.LastY});
    return text;
}

} // namespace

MouseClass::MouseClass(MouseClassOptions options)
    : PointerSink(options.screenWidth, options.screenHeight) {
    mouse_class_driver::SetLoading(this);
    driver_ = kernel::Kernel::Current().LoadDriver("mouclass", mouse_class_driver::Entry);
    mouse_class_driver::SetLoading(nullptr);
}

MouseClass::~MouseClass() {
    if (driver_ != nullptr)
        kernel::Kernel::Current().UnloadDriver(driver_);
}

NTSTATUS MouseClass::AddDevice(PDEVICE_OBJECT pdo) {
    return driver_->DriverExtension->AddDevice(driver_, pdo);
}

std::vector<MousePort> MouseClass::Ports() const {
    std::lock_guard lock(mutex_);
    return ports_;
}

size_t MouseClass::Packets() const {
    std::lock_guard lock(mutex_);
    return packets_;
}

void MouseClass::OnConnected(const MousePort& port) {
    std::lock_guard lock(mutex_);
    ports_.push_back(port);
}

void MouseClass::OnPackets(const MOUSE_INPUT_DATA* first, const MOUSE_INPUT_DATA* end) {
    const uint64_t now = kernel::Kernel::Current().Now();
    Deliver(now, [&](auto apply) {
        for (const MOUSE_INPUT_DATA* packet = first; packet < end; ++packet) {
            ++packets_;
            trace::Emit(now, PacketLine(*packet));
            apply(*packet);
        }
    });
}

} // namespace platform::input
