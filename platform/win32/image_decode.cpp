#include "platform/win32/image_decode.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace platform::win32::detail {
namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t Rgba(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16 | uint32_t(a) << 24;
}

void PutBe32(std::string* out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out->push_back(char((value >> shift) & 0xFF));
    }
}

uint32_t Crc32(const std::string& bytes, size_t from) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = from; i < bytes.size(); ++i) {
        crc = table[(crc ^ uint8_t(bytes[i])) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

void Chunk(std::string* png, const char* type, const std::string& data) {
    PutBe32(png, uint32_t(data.size()));
    size_t start = png->size();
    png->append(type, 4);
    png->append(data);
    PutBe32(png, Crc32(*png, start));
}

} // namespace

bool DecodeDib(const uint8_t* data, size_t size, bool icon, Pixels* out) {
    if (size < 40) {
        return false;
    }
    uint32_t headerSize = Le32(data);
    int32_t width = int32_t(Le32(data + 4));
    int32_t rawHeight = int32_t(Le32(data + 8));
    uint16_t bits = Le16(data + 14);
    uint32_t compression = Le32(data + 16);
    uint32_t used = Le32(data + 32);
    if (headerSize < 40 || headerSize > size || width <= 0 || width > 4096 || rawHeight == 0) {
        return false;
    }
    bool topDown = rawHeight < 0;
    // In 64 bits: the most negative height has no 32-bit opposite.
    int64_t rows = topDown ? -int64_t(rawHeight) : rawHeight;
    if (icon) {
        rows /= 2;
    }
    if (rows <= 0 || rows > 4096) {
        return false;
    }
    int32_t height = int32_t(rows);
    if (compression != kBiRgb && !(compression == kBiBitfields && (bits == 16 || bits == 32))) {
        return false;
    }
    size_t offset = headerSize;
    if (compression == kBiBitfields && headerSize == 40) {
        offset += 12;
    }
    std::vector<uint32_t> palette;
    if (bits <= 8) {
        if (bits != 1 && bits != 4 && bits != 8) {
            return false;
        }
        uint32_t colors = used != 0 ? used : (1u << bits);
        if (colors > 256 || offset + size_t(colors) * 4 > size) {
            return false;
        }
        for (uint32_t i = 0; i < colors; ++i) {
            const uint8_t* q = data + offset + i * 4;
            palette.push_back(Rgba(q[2], q[1], q[0], 255));
        }
        offset += size_t(colors) * 4;
    } else if (bits != 16 && bits != 24 && bits != 32) {
        return false;
    }
    size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
    if (offset > size || stride * size_t(height) > size - offset) {
        return false;
    }
    const uint8_t* pixels = data + offset;
    size_t maskStride = ((size_t(width) + 31) / 32) * 4;
    const uint8_t* mask = pixels + stride * height;
    bool hasMask = icon && size_t(mask - data) + maskStride * height <= size;

    Pixels result;
    result.width = width;
    result.height = height;
    result.rgba.resize(size_t(width) * height);
    bool anyAlpha = false;
    for (int32_t y = 0; y < height; ++y) {
        int32_t row = topDown ? y : height - 1 - y;
        const uint8_t* src = pixels + stride * row;
        for (int32_t x = 0; x < width; ++x) {
            uint32_t color = 0;
            switch (bits) {
            case 1:
                color = palette[((src[x / 8] >> (7 - x % 8)) & 1) % palette.size()];
                break;
            case 4:
                color = palette[((src[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 15) % palette.size()];
                break;
            case 8:
                color = palette[src[x] % palette.size()];
                break;
            case 16: {
                uint16_t v = Le16(src + 2 * x);
                color =
                    Rgba(uint8_t(((v >> 10) & 31) * 255 / 31), uint8_t(((v >> 5) & 31) * 255 / 31),
                         uint8_t((v & 31) * 255 / 31), 255);
                break;
            }
            case 24:
                color = Rgba(src[3 * x + 2], src[3 * x + 1], src[3 * x], 255);
                break;
            default: {
                const uint8_t* q = src + 4 * x;
                color = Rgba(q[2], q[1], q[0], icon ? q[3] : 255);
                anyAlpha = anyAlpha || (icon && q[3] != 0);
                break;
            }
            }
            result.rgba[size_t(y) * width + x] = color;
        }
    }
    if (icon && bits == 32 && !anyAlpha) {
        for (uint32_t& c : result.rgba) {
            c |= 0xFF000000u; // no alpha channel after all: the mask decides
        }
    }
    if (hasMask && !(bits == 32 && anyAlpha)) {
        for (int32_t y = 0; y < height; ++y) {
            int32_t row = topDown ? y : height - 1 - y;
            const uint8_t* m = mask + maskStride * row;
            for (int32_t x = 0; x < width; ++x) {
                if (((m[x / 8] >> (7 - x % 8)) & 1) != 0) {
                    result.rgba[size_t(y) * width + x] = 0;
                }
            }
        }
    }
    *out = std::move(result);
    return true;
}

std::string EncodePng(const Pixels& pixels) {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    PutBe32(&header, uint32_t(pixels.width));
    PutBe32(&header, uint32_t(pixels.height));
    header += char(8); // bit depth
    header += char(6); // RGBA
    header += std::string(3, '\0');
    Chunk(&png, "IHDR", header);

    std::string raw;
    raw.reserve((size_t(pixels.width) * 4 + 1) * pixels.height);
    for (int y = 0; y < pixels.height; ++y) {
        raw += '\0'; // filter: none
        for (int x = 0; x < pixels.width; ++x) {
            uint32_t c = pixels.rgba[size_t(y) * pixels.width + x];
            raw += char(c & 0xFF);
            raw += char((c >> 8) & 0xFF);
            raw += char((c >> 16) & 0xFF);
            raw += char((c >> 24) & 0xFF);
        }
    }
    std::string zlib("\x78\x01", 2);
    size_t at = 0;
    do {
        size_t length = std::min<size_t>(65535, raw.size() - at);
        bool last = at + length == raw.size();
        zlib += char(last ? 1 : 0);
        zlib += char(length & 0xFF);
        zlib += char(length >> 8);
        zlib += char(~length & 0xFF);
        zlib += char((~length >> 8) & 0xFF);
        zlib.append(raw, at, length);
        at += length;
    } while (at < raw.size());
    uint32_t a = 1;
    uint32_t b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBe32(&zlib, b << 16 | a);
    Chunk(&png, "IDAT", zlib);
    Chunk(&png, "IEND", "");
    return png;
}

bool PngSize(const uint8_t* data, size_t size, int* width, int* height) {
    if (size < 24 || std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) != 0 ||
        std::memcmp(data + 12, "IHDR", 4) != 0) {
        return false;
    }
    auto be32 = [&](size_t at) {
        return uint32_t(data[at]) << 24 | uint32_t(data[at + 1]) << 16 |
               uint32_t(data[at + 2]) << 8 | data[at + 3];
    };
    *width = int(be32(16));
    *height = int(be32(20));
    return true;
}

} // namespace platform::win32::detail
