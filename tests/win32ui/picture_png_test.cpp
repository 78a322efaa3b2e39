// Pictures saved as PNG: the same SVG rendered to pixels, read back to check
// the size, the caption bar's colour and that its text was drawn.
#include "tests/win32ui/ui_fixture.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace ui_testing {
namespace {

struct Rgb {
    int r, g, b;
};

Rgb PixelAt(cairo_surface_t* surface, int x, int y) {
    const unsigned char* row =
        cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    uint32_t argb;
    std::memcpy(&argb, row + 4 * x, sizeof argb);
    return {static_cast<int>(argb >> 16 & 0xFF), static_cast<int>(argb >> 8 & 0xFF),
            static_cast<int>(argb & 0xFF)};
}

bool Near(Rgb pixel, Rgb expected) {
    return std::abs(pixel.r - expected.r) <= 8 && std::abs(pixel.g - expected.g) <= 8 &&
           std::abs(pixel.b - expected.b) <= 8;
}

class PicturePngTest : public UiTest {};

TEST_F(PicturePngTest, DialogAsPngHasItsSizeCaptionColourAndText) {
    Recorder recorder;
    ShowDialog(IDD_TEST, &recorder);
    HWND dialog = user.Foreground();
    RECT rect;
    GetWindowRect(dialog, &rect);
    const std::string path = ::testing::TempDir() + "win32ui_picture.png";
    ASSERT_TRUE(platform::win32::SavePicture(path, platform::win32::RenderWindowSvg(dialog)));

    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    cairo_surface_flush(png);
    EXPECT_EQ(cairo_image_surface_get_width(png), rect.right - rect.left);
    EXPECT_EQ(cairo_image_surface_get_height(png), rect.bottom - rect.top);
    // The active caption starts dark blue at its left end; the client is face grey.
    EXPECT_TRUE(Near(PixelAt(png, 4, 10), {0x0a, 0x24, 0x6a}));
    EXPECT_TRUE(Near(PixelAt(png, 8, 60), {0xd4, 0xd0, 0xc8}));
    // The caption text is white, bold: "Test dialog" leaves a good few white pixels.
    int white = 0;
    for (int y = 4; y < 20; ++y)
        for (int x = 24; x < 110; ++x)
            white += Near(PixelAt(png, x, y), {0xff, 0xff, 0xff});
    EXPECT_GT(white, 20) << "caption text not drawn";
    cairo_surface_destroy(png);
    std::remove(path.c_str());

    EXPECT_FALSE(platform::win32::SavePicture("/nonexistent/dir/x.png", "<svg/>"));
    EXPECT_FALSE(platform::win32::SavePicture(path, "not a document"));
}

} // namespace
} // namespace ui_testing
