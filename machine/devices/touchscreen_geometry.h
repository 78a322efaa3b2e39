// Where the screen's infrared grid lies over the display: raw units at
// pixel 0 and at pixel W (resp. H) of each axis, linear in between. Either
// axis may run backwards (a panel mounted the other way round).
#pragma once

#include <cstdint>

namespace machine::devices {

struct TouchGeometry {
    int left = 100;   // raw X at pixel 0
    int right = 1700; // raw X at pixel W
    int top = 150;    // raw Y at pixel 0
    int bottom = 1350;

    // low + trunc(pixel * (high - low) / extent), in integers, clamped to
    // what a report can carry.
    uint16_t RawX(int pixel, int width) const;
    uint16_t RawY(int pixel, int height) const;
};

} // namespace machine::devices
