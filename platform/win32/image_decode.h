// Pictures from resources for the rendering: device-independent bitmaps
// (RT_BITMAP, and the DIB inside an RT_ICON) decoded to RGBA, and a small
// PNG writer (stored deflate blocks: no compression, always valid).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform::win32::detail {

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgba; // row-major, top row first; 0xAABBGGRR
};

// Decodes BI_RGB DIBs of 1, 4, 8, 24 and 32 bits (and 16/32-bit
// BI_BITFIELDS with the usual masks). For an icon the header's height
// counts both masks; the AND mask makes pixels transparent. Every read is
// bounded by size; false for anything else.
bool DecodeDib(const uint8_t* data, size_t size, bool icon, Pixels* out);

std::string EncodePng(const Pixels& pixels);

// Width and height of a PNG file (icons may hold one instead of a DIB).
bool PngSize(const uint8_t* data, size_t size, int* width, int* height);

} // namespace platform::win32::detail
