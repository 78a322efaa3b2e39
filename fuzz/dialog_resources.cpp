// Resource data as the window manager reads it: dialog templates (both
// layouts), the bitmaps and icons it decodes for pictures, and PNG icons.
//
// Input: what (1: 0 template, 1 bitmap, 2 icon, 3 PNG), then the resource's
// bytes, handed over with their exact size so that ASan sees every read
// past the end.
//
// Checked: a decoded picture has as many pixels as its size says, and not
// absurdly many.
#include "platform/win32/dialog_template.h"
#include "platform/win32/image_decode.h"

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <memory>

namespace {

namespace detail = platform::win32::detail;

void Fail(const char* what) {
    std::fprintf(stderr, "resource invariant broken: %s\n", what);
    std::abort();
}

void Template(const uint8_t* data, size_t size) {
    detail::DialogTemplate dialog;
    if (!detail::ParseDialogTemplate(data, size, &dialog))
        return;
    for (const detail::DialogItem& item : dialog.items) {
        detail::DialogUnitsToPixelsX(item.x + item.cx);
        detail::DialogUnitsToPixelsY(item.y + item.cy);
    }
}

void Picture(const uint8_t* data, size_t size, bool icon) {
    detail::Pixels pixels;
    if (!detail::DecodeDib(data, size, icon, &pixels))
        return;
    if (pixels.width <= 0 || pixels.height <= 0)
        Fail("empty picture decoded");
    if (pixels.rgba.size() != size_t(pixels.width) * size_t(pixels.height))
        Fail("pixel count");
    detail::EncodePng(pixels);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // A copy of exactly the resource's bytes: no slack after them.
    const size_t length = size - 1;
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[length]);
    std::copy(data + 1, data + size, bytes.get());
    switch (data[0] & 3) {
    case 0:
        Template(bytes.get(), length);
        break;
    case 1:
    case 2:
        Picture(bytes.get(), length, (data[0] & 3) == 2);
        break;
    default: {
        int width = 0;
        int height = 0;
        detail::PngSize(bytes.get(), length, &width, &height);
    }
    }
    return 0;
}
