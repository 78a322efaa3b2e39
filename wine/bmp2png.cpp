// bmp2png: turns the 24-bit bottom-up bitmaps that windrive saves into PNG
// files (through libpng), so the screenshots of the Wine runs can be viewed
// anywhere.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

uint32_t Read32(const std::vector<unsigned char>& data, size_t at) {
    return data[at] | data[at + 1] << 8 | data[at + 2] << 16 | uint32_t(data[at + 3]) << 24;
}

bool Convert(const char* from, const char* to) {
    std::ifstream in(from, std::ios::binary);
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (data.size() < 54 || data[0] != 'B' || data[1] != 'M')
        return false;
    const uint32_t offset = Read32(data, 10);
    const int32_t width = static_cast<int32_t>(Read32(data, 18));
    const int32_t height = static_cast<int32_t>(Read32(data, 22));
    const unsigned bits = data[28] | data[29] << 8;
    if (bits != 24 || width <= 0 || height <= 0 || width > 10000 || height > 10000)
        return false;
    const size_t stride = (size_t(width) * 3 + 3) / 4 * 4;
    if (data.size() < offset + stride * size_t(height))
        return false;

    FILE* out = std::fopen(to, "wb");
    if (!out)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(out);
        return false;
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    for (int32_t row = height - 1; row >= 0; --row)
        png_write_row(png, &data[offset + stride * size_t(row)]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(out) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bmp2png IN.bmp OUT.png\n");
        return 2;
    }
    if (!Convert(argv[1], argv[2])) {
        std::fprintf(stderr, "bmp2png: cannot convert %s\n", argv[1]);
        return 1;
    }
    return 0;
}
