// USB configuration descriptors through the touch driver's configure path:
// a device on a hub port answers with the input's bytes, Plug and Play
// starts the driver on it (port check, the two descriptor reads, selecting
// the first interface, the class request), and the device is then removed.
//
// Input: flags (1), length of the first answer (1), the first answer, then
// the answer to every later configuration descriptor read. Flag bit 0 clear:
// every read gets the later answer (a device that answers consistently).
#include "fuzz/support/byte_reader.h"
#include "fuzz/support/touch_device.h"
#include "machine/devices/touchscreen_descriptors.h"
#include "platform/usb/usb_hub.h"

#include <optional>

namespace {

using platform::usb::UsbInCompletion;
using platform::usb::UsbSetupPacket;

class DescriptorDevice final : public platform::usb::UsbDeviceModel {
public:
    DescriptorDevice(std::vector<uint8_t> first, std::vector<uint8_t> later)
        : first_(std::move(first)), later_(std::move(later)) {}

    std::optional<std::vector<uint8_t>> Descriptor(UCHAR type, UCHAR, USHORT) override {
        if (type == USB_DEVICE_DESCRIPTOR_TYPE)
            return machine::devices::TouchDeviceDescriptor();
        if (type != USB_CONFIGURATION_DESCRIPTOR_TYPE)
            return std::nullopt;
        return reads_++ == 0 ? first_ : later_;
    }
    USBD_STATUS ControlRequest(const UsbSetupPacket&, std::vector<uint8_t>&) override {
        return USBD_STATUS_SUCCESS;
    }
    std::optional<UsbInCompletion> TakeIn(UCHAR) override { return std::nullopt; }

private:
    std::vector<uint8_t> first_;
    std::vector<uint8_t> later_;
    unsigned reads_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::ByteReader in(data, size);
    const bool changes = (in.U8() & 1) != 0;
    std::vector<uint8_t> first = in.Bytes(in.U8());
    std::vector<uint8_t> later = in.Bytes(4096);
    if (!changes)
        first = later;

    platform::kernel::Kernel kernel;
    kernel.Registry().Create(fuzzing::kServicesKey + fuzzing::kTouchService);
    {
        DescriptorDevice device(first, later);
        platform::usb::UsbHub hub(1);
        PDEVICE_OBJECT pdo = hub.Port().Plug(device);
        platform::kernel::DeviceNode* node = nullptr;
        kernel.PlugInDevice(pdo, "USB\\VID_595A&PID_0001\\1", fuzzing::kTouchService, TouchDriverEntry,
                            &node);
        kernel.AdvanceTime(50'000'000);
        using State = platform::kernel::Kernel::DeviceState;
        const State state = node != nullptr ? kernel.StateOf(node) : State::Failed;
        if (node != nullptr && (state == State::Started || state == State::Stopped))
            kernel.RemoveDevice(node);
    }
    kernel.CheckForLeaks();
    return 0;
}
