// The touch screen's USB descriptors: vendor 0x595A, product 0x0001, one
// configuration with one vendor-specific interface and one 8-byte interrupt
// IN endpoint (0x81). Variants with a broken layout serve fault tests.
#pragma once

#include <cstdint>
#include <vector>

namespace machine::devices {

inline constexpr uint16_t kTouchVendorId = 0x595A;
inline constexpr uint16_t kTouchProductId = 0x0001;
inline constexpr uint8_t kTouchEndpoint = 0x81;
inline constexpr uint8_t kTouchReportLength = 8;
inline constexpr uint8_t kTouchConfigurationValue = 1;

enum class TouchLayout {
    Normal,      // configuration, interface, endpoint
    NoInterface, // a configuration descriptor alone (bNumInterfaces 0)
    NoPipe,      // the interface announces no endpoint
};

std::vector<uint8_t> TouchDeviceDescriptor();
// intervalMs becomes the endpoint's bInterval (frames of 1 ms at full speed).
std::vector<uint8_t> TouchConfigurationDescriptor(TouchLayout layout, uint8_t intervalMs);

} // namespace machine::devices
