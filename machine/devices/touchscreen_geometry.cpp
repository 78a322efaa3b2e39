#include "machine/devices/touchscreen_geometry.h"

#include <algorithm>

namespace machine::devices {
namespace {

uint16_t Map(int pixel, int extent, int low, int high) {
    if (extent <= 0)
        return static_cast<uint16_t>(std::clamp(low, 0, 0xFFFF));
    long long raw = low + static_cast<long long>(pixel) * (high - low) / extent;
    return static_cast<uint16_t>(std::clamp<long long>(raw, 0, 0xFFFF));
}

} // namespace

uint16_t TouchGeometry::RawX(int pixel, int width) const {
    return Map(pixel, width, left, right);
}

uint16_t TouchGeometry::RawY(int pixel, int height) const {
    return Map(pixel, height, top, bottom);
}

} // namespace machine::devices
