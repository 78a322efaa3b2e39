// Private GDI state: objects (pens, brushes, fonts, bitmaps, icons), device
// contexts and the drawing each window records for its picture.
#pragma once

#include "platform/win32/win_user.h"

#include <memory>
#include <string>

namespace platform::win32::detail {

struct Window;

// A picture from the resources, or a system picture drawn by name.
struct Image {
    int width = 0;
    int height = 0;
    std::string png;  // the pixels as a PNG file; empty for system pictures
    std::string name; // system pictures: "IDI_HAND", "IDC_WAIT", ...
};

struct GdiObject {
    enum class Kind { Pen, Brush, Font, Bitmap, Icon } kind;
    bool stock = false;
    // Pens and brushes
    COLORREF color = 0;
    int style = PS_SOLID; // PS_NULL for null pens; hollow brushes set hollow
    int width = 1;
    bool hollow = false;
    // Fonts
    std::string face;
    int height = 0;
    int weight = FW_NORMAL;
    bool italic = false;
    int charset = 0;
    // Bitmaps and icons
    std::shared_ptr<const Image> image;
};

struct DeviceContext {
    Window* window = nullptr;
    bool wholeWindow = false; // GetWindowDC: origin at the window's top-left
    bool paint = false;       // from BeginPaint
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
    HGDIOBJ font = nullptr;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    POINT current{0, 0};
};

// One recorded drawing call, in window coordinates (origin at the window's
// top-left corner, frame included).
struct DrawOp {
    enum class Kind { Fill, Rectangle, Ellipse, Line, Text, Image } kind;
    RECT rect{}; // shape bounds; for lines (left, top) -> (right, bottom)
    bool filled = false;
    COLORREF fill = 0;
    bool stroked = false;
    COLORREF stroke = 0;
    int strokeWidth = 1;
    std::string text;
    COLORREF textColor = 0;
    bool opaqueText = false;
    COLORREF textBk = 0;
    std::string fontFace;
    int fontHeight = 0;
    int fontWeight = FW_NORMAL;
    UINT format = 0; // DrawText format; 0 for TextOut
    std::shared_ptr<const Image> image;
};

} // namespace platform::win32::detail
