// The SVG canvas the picture is drawn on, in the classic 3-D look.
#pragma once

#include "platform/win32/gdi_state.h"
#include "platform/win32/runtime_state.h"

#include <sstream>
#include <string>

namespace platform::win32::detail {

inline constexpr const char* kFace = "#d4d0c8";
inline constexpr const char* kLight = "#ffffff";
inline constexpr const char* kShadow = "#808080";
inline constexpr const char* kDark = "#404040";
inline constexpr const char* kGrayText = "#808080";
inline constexpr const char* kSelection = "#0a246a";
inline constexpr const char* kUiFont = "MS Sans Serif, Tahoma, Arial, sans-serif";

class Canvas {
public:
    std::string Color(COLORREF color) const;

    void Rect(int x, int y, int w, int h, const std::string& fill, const std::string& stroke = "",
              int strokeWidth = 1);
    void Line(int x1, int y1, int x2, int y2, const std::string& stroke, int width = 1);
    void Ellipse(int x, int y, int w, int h, const std::string& fill, const std::string& stroke,
                 int strokeWidth = 1);
    void Polygon(const std::string& points, const std::string& fill, const std::string& stroke);
    // One line of text with its top at y; anchor "start", "middle" or "end".
    void Text(int x, int y, const std::string& text, const std::string& color, int pixelHeight = 13,
              const std::string& anchor = "start", int weight = 400,
              const std::string& face = kUiFont);
    void Image(int x, int y, int w, int h, const detail::Image& image);
    // Raised (or sunken) 3-D edge around a rectangle, two pixels thick.
    void Edge(int x, int y, int w, int h, bool sunken);
    void BeginClip(int x, int y, int w, int h);
    void EndClip();
    void Raw(const std::string& svg) { out_ << svg; }

    std::string Document(int width, int height) const;

private:
    std::ostringstream out_;
    int clipCount_ = 0;
};

std::string EscapeXml(const std::string& text);
std::string Base64(const std::string& bytes);
// Text with "&" prefixes resolved (the mnemonic underline is not drawn).
std::string WithoutMnemonics(const std::string& text);
// Words wrapped into lines no wider than width pixels.
std::vector<std::string> WrapText(const std::string& text, int width, int pixelHeight);

// Draws a control (any child window) with its top-left at (x, y).
void DrawControl(Canvas& canvas, const Window* control, int x, int y);
// Draws the recorded GDI drawing of a window whose top-left is at (x, y).
void DrawRecorded(Canvas& canvas, const Window* window, int x, int y);

} // namespace platform::win32::detail
