#include "machine/devices/touchscreen_descriptors.h"

#include <iterator>

namespace machine::devices {

namespace {

constexpr uint8_t kDevice[] = {
    0x12,       // bLength
    0x01,       // bDescriptorType (device)
    0x10, 0x01, // bcdUSB 1.10
    0x00,       // bDeviceClass (per interface)
    0x00,       // bDeviceSubClass
    0x00,       // bDeviceProtocol
    0x08,       // bMaxPacketSize0
    0x5A, 0x59, // idVendor 0x595A
    0x01, 0x00, // idProduct 0x0001
    0x00, 0x01, // bcdDevice 1.00
    0x00,       // iManufacturer (no strings)
    0x00,       // iProduct
    0x00,       // iSerialNumber
    0x01,       // bNumConfigurations
};

constexpr uint8_t kConfiguration[] = {
    0x09,       // bLength
    0x02,       // bDescriptorType (configuration)
    0x00, 0x00, // wTotalLength (filled in)
    0x00,       // bNumInterfaces (filled in)
    0x01,       // bConfigurationValue
    0x00,       // iConfiguration
    0x80,       // bmAttributes (bus powered)
    0x32,       // MaxPower (100 mA)
};

constexpr uint8_t kInterface[] = {
    0x09, // bLength
    0x04, // bDescriptorType (interface)
    0x00, // bInterfaceNumber
    0x00, // bAlternateSetting
    0x00, // bNumEndpoints (filled in)
    0xFF, // bInterfaceClass (vendor specific)
    0x00, // bInterfaceSubClass
    0x00, // bInterfaceProtocol
    0x00, // iInterface
};

constexpr uint8_t kEndpoint[] = {
    0x07,       // bLength
    0x05,       // bDescriptorType (endpoint)
    0x81,       // bEndpointAddress (IN 1)
    0x03,       // bmAttributes (interrupt)
    0x08, 0x00, // wMaxPacketSize 8
    0x00,       // bInterval (filled in)
};

void Append(std::vector<uint8_t>& out, const uint8_t* table, size_t size) {
    out.insert(out.end(), table, table + size);
}

} // namespace

std::vector<uint8_t> TouchDeviceDescriptor() {
    return std::vector<uint8_t>(std::begin(kDevice), std::end(kDevice));
}

std::vector<uint8_t> TouchConfigurationDescriptor(TouchLayout layout, uint8_t intervalMs) {
    // Room for the whole descriptor first: growing from empty inside insert
    // makes GCC 12 at -O3 report a false -Wstringop-overflow.
    std::vector<uint8_t> out;
    out.reserve(sizeof kConfiguration + sizeof kInterface + sizeof kEndpoint);
    Append(out, kConfiguration, sizeof kConfiguration);
    if (layout != TouchLayout::NoInterface) {
        out[4] = 1;
        const size_t interface = out.size();
        Append(out, kInterface, sizeof kInterface);
        if (layout == TouchLayout::Normal) {
            out[interface + 4] = 1;
            Append(out, kEndpoint, sizeof kEndpoint);
            out.back() = intervalMs;
        }
    }
    out[2] = static_cast<uint8_t>(out.size());
    out[3] = static_cast<uint8_t>(out.size() >> 8);
    return out;
}

} // namespace machine::devices
