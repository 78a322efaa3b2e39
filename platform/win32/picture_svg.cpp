// The picture: the canvas, window frames and captions, recorded drawing,
// system pictures and the pointer. Controls are in picture_controls.cpp.
#include "platform/win32/picture.h"

#include "platform/win32/gdi.h"
#include "platform/win32/menus.h"
#include "platform/win32/picture_svg.h"
#include "platform/win32/window_manager.h"

#include <cstdio>

namespace platform::win32::detail {

std::string EscapeXml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            if ((unsigned char)c >= 0x20 || c == '\t') {
                out += c;
            }
            break;
        }
    }
    return out;
}

std::string Base64(const std::string& bytes) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t v = uint32_t((unsigned char)bytes[i]) << 16 |
                     uint32_t((unsigned char)bytes[i + 1]) << 8 | (unsigned char)bytes[i + 2];
        out += kDigits[v >> 18];
        out += kDigits[(v >> 12) & 63];
        out += kDigits[(v >> 6) & 63];
        out += kDigits[v & 63];
    }
    if (i < bytes.size()) {
        uint32_t v = uint32_t((unsigned char)bytes[i]) << 16;
        if (i + 1 < bytes.size()) {
            v |= uint32_t((unsigned char)bytes[i + 1]) << 8;
        }
        out += kDigits[v >> 18];
        out += kDigits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string WithoutMnemonics(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
        }
        out += text[i];
    }
    return out;
}

std::vector<std::string> WrapText(const std::string& text, int width, int pixelHeight) {
    std::vector<std::string> lines;
    std::string paragraph;
    auto flush = [&](const std::string& para) {
        std::string line;
        size_t at = 0;
        while (at <= para.size()) {
            size_t space = para.find(' ', at);
            std::string word =
                para.substr(at, space == std::string::npos ? std::string::npos : space - at);
            std::string candidate = line.empty() ? word : line + " " + word;
            if (!line.empty() && TextWidth(candidate, pixelHeight) > width) {
                lines.push_back(line);
                line = word;
            } else {
                line = candidate;
            }
            if (space == std::string::npos) {
                break;
            }
            at = space + 1;
        }
        lines.push_back(line);
    };
    for (char c : text) {
        if (c == '\n') {
            flush(paragraph);
            paragraph.clear();
        } else if (c != '\r') {
            paragraph += c;
        }
    }
    flush(paragraph);
    return lines;
}

std::string Canvas::Color(COLORREF color) const {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", GetRValue(color), GetGValue(color),
                  GetBValue(color));
    return text;
}

void Canvas::Rect(int x, int y, int w, int h, const std::string& fill, const std::string& stroke,
                  int strokeWidth) {
    out_ << "<rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << std::max(0, w) << "\" height=\""
         << std::max(0, h) << "\" fill=\"" << (fill.empty() ? "none" : fill) << "\"";
    if (!stroke.empty()) {
        out_ << " stroke=\"" << stroke << "\" stroke-width=\"" << strokeWidth << "\"";
    }
    out_ << "/>\n";
}

void Canvas::Line(int x1, int y1, int x2, int y2, const std::string& stroke, int width) {
    out_ << "<line x1=\"" << x1 << "\" y1=\"" << y1 << "\" x2=\"" << x2 << "\" y2=\"" << y2
         << "\" stroke=\"" << stroke << "\" stroke-width=\"" << width << "\"/>\n";
}

void Canvas::Ellipse(int x, int y, int w, int h, const std::string& fill, const std::string& stroke,
                     int strokeWidth) {
    out_ << "<ellipse cx=\"" << x + w / 2.0 << "\" cy=\"" << y + h / 2.0 << "\" rx=\"" << w / 2.0
         << "\" ry=\"" << h / 2.0 << "\" fill=\"" << (fill.empty() ? "none" : fill) << "\"";
    if (!stroke.empty()) {
        out_ << " stroke=\"" << stroke << "\" stroke-width=\"" << strokeWidth << "\"";
    }
    out_ << "/>\n";
}

void Canvas::Polygon(const std::string& points, const std::string& fill,
                     const std::string& stroke) {
    out_ << "<polygon points=\"" << points << "\" fill=\"" << fill << "\" stroke=\"" << stroke
         << "\"/>\n";
}

void Canvas::Text(int x, int y, const std::string& text, const std::string& color, int pixelHeight,
                  const std::string& anchor, int weight, const std::string& face) {
    if (text.empty()) {
        return;
    }
    int size = pixelHeight * 11 / 13;
    int baseline = y + pixelHeight * 10 / 13;
    out_ << "<text x=\"" << x << "\" y=\"" << baseline << "\" font-family=\"" << EscapeXml(face)
         << "\" font-size=\"" << size << "\" fill=\"" << color << "\"";
    if (anchor != "start") {
        out_ << " text-anchor=\"" << anchor << "\"";
    }
    if (weight >= 600) {
        out_ << " font-weight=\"bold\"";
    } else if (weight > 0 && weight < 400) {
        out_ << " font-weight=\"" << weight << "\""; // thin and light faces
    }
    out_ << " xml:space=\"preserve\">" << EscapeXml(text) << "</text>\n";
}

void Canvas::Image(int x, int y, int w, int h, const detail::Image& image) {
    if (!image.png.empty()) {
        out_ << "<image x=\"" << x << "\" y=\"" << y << "\" width=\"" << w << "\" height=\"" << h
             << "\" href=\"data:image/png;base64," << Base64(image.png) << "\"/>\n";
        return;
    }
    // System pictures, drawn by name.
    int cx = x + w / 2;
    int cy = y + h / 2;
    if (image.name == "IDI_HAND") {
        Ellipse(x + 1, y + 1, w - 2, h - 2, "#e00000", "#800000");
        Line(cx - 7, cy - 7, cx + 7, cy + 7, "#ffffff", 3);
        Line(cx + 7, cy - 7, cx - 7, cy + 7, "#ffffff", 3);
    } else if (image.name == "IDI_EXCLAMATION") {
        Polygon(std::to_string(cx) + "," + std::to_string(y + 1) + " " + std::to_string(x + w - 1) +
                    "," + std::to_string(y + h - 2) + " " + std::to_string(x + 1) + "," +
                    std::to_string(y + h - 2),
                "#ffd800", "#000000");
        Text(cx, y + 8, "!", "#000000", 22, "middle", 700);
    } else if (image.name == "IDI_QUESTION" || image.name == "IDI_ASTERISK") {
        Ellipse(x + 1, y + 1, w - 2, h - 2, "#ffffff", "#000080");
        Text(cx, y + 6, image.name == "IDI_QUESTION" ? "?" : "i", "#0000c0", 22, "middle", 700);
    } else if (image.name == "IDC_WAIT") {
        Polygon(std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(x + 12) + "," +
                    std::to_string(y) + " " + std::to_string(x) + "," + std::to_string(y + 18) +
                    " " + std::to_string(x + 12) + "," + std::to_string(y + 18),
                "#ffffff", "#000000");
    } else {
        Rect(x + 2, y + 4, w - 4, h - 8, "#ffffff", "#000000");
        Rect(x + 2, y + 4, w - 4, 5, "#000080");
    }
}

void Canvas::Edge(int x, int y, int w, int h, bool sunken) {
    const char* outerTopLeft = sunken ? kShadow : kLight;
    const char* outerBottomRight = sunken ? kLight : kDark;
    const char* innerTopLeft = sunken ? kDark : kFace;
    const char* innerBottomRight = sunken ? kFace : kShadow;
    Line(x, y, x + w - 1, y, outerTopLeft);
    Line(x, y, x, y + h - 1, outerTopLeft);
    Line(x, y + h - 1, x + w, y + h - 1, outerBottomRight);
    Line(x + w - 1, y, x + w - 1, y + h, outerBottomRight);
    Line(x + 1, y + 1, x + w - 2, y + 1, innerTopLeft);
    Line(x + 1, y + 1, x + 1, y + h - 2, innerTopLeft);
    Line(x + 1, y + h - 2, x + w - 1, y + h - 2, innerBottomRight);
    Line(x + w - 2, y + 1, x + w - 2, y + h - 1, innerBottomRight);
}

void Canvas::BeginClip(int x, int y, int w, int h) {
    int id = ++clipCount_;
    out_ << "<clipPath id=\"c" << id << "\"><rect x=\"" << x << "\" y=\"" << y << "\" width=\""
         << std::max(0, w) << "\" height=\"" << std::max(0, h)
         << "\"/></clipPath><g clip-path=\"url(#c" << id << ")\">\n";
}

void Canvas::EndClip() {
    out_ << "</g>\n";
}

std::string Canvas::Document(int width, int height) const {
    std::ostringstream doc;
    doc << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
        << "\" viewBox=\"0 0 " << width << " " << height << "\">\n"
        << out_.str() << "</svg>\n";
    return doc.str();
}

void DrawRecorded(Canvas& canvas, const Window* w, int x, int y) {
    for (const auto& op : w->drawing) {
        RECT r = op->rect;
        std::string fill = op->filled ? canvas.Color(op->fill) : "";
        std::string stroke = op->stroked ? canvas.Color(op->stroke) : "";
        switch (op->kind) {
        case DrawOp::Kind::Fill:
            canvas.Rect(x + r.left, y + r.top, r.right - r.left, r.bottom - r.top, fill);
            break;
        case DrawOp::Kind::Rectangle:
            canvas.Rect(x + r.left, y + r.top, r.right - r.left, r.bottom - r.top, fill, stroke,
                        op->strokeWidth);
            break;
        case DrawOp::Kind::Ellipse:
            canvas.Ellipse(x + r.left, y + r.top, r.right - r.left, r.bottom - r.top, fill, stroke,
                           op->strokeWidth);
            break;
        case DrawOp::Kind::Line:
            if (op->stroked) {
                canvas.Line(x + r.left, y + r.top, x + r.right, y + r.bottom, stroke,
                            op->strokeWidth);
            }
            break;
        case DrawOp::Kind::Text: {
            if (op->opaqueText) {
                canvas.Rect(x + r.left, y + r.top, r.right - r.left, r.bottom - r.top,
                            canvas.Color(op->textBk));
            }
            std::string face =
                op->fontFace.empty() ? std::string(kUiFont) : op->fontFace + ", " + kUiFont;
            std::string anchor = "start";
            int tx = r.left;
            int ty = r.top;
            if (op->format != 0) {
                UINT format = op->format & 0x7FFFFFFF;
                if ((format & DT_CENTER) != 0) {
                    anchor = "middle";
                    tx = (r.left + r.right) / 2;
                } else if ((format & DT_RIGHT) != 0) {
                    anchor = "end";
                    tx = r.right;
                }
                if ((format & DT_VCENTER) != 0 && (format & DT_SINGLELINE) != 0) {
                    ty = (r.top + r.bottom - op->fontHeight) / 2;
                }
            }
            canvas.Text(x + tx, y + ty, op->text, canvas.Color(op->textColor), op->fontHeight,
                        anchor, op->fontWeight, face);
            break;
        }
        case DrawOp::Kind::Image:
            if (op->image) {
                canvas.Image(x + r.left, y + r.top, r.right - r.left, r.bottom - r.top, *op->image);
            }
            break;
        }
    }
}

namespace {

void DrawChildren(Canvas& canvas, const Window* w, int originX, int originY) {
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
        const Window* child = *it;
        if (!child->Visible()) {
            continue;
        }
        int cx = originX + child->rect.left;
        int cy = originY + child->rect.top;
        DrawControl(canvas, child, cx, cy);
        if (!child->children.empty()) {
            RECT client = ClientRectInWindow(child);
            DrawChildren(canvas, child, cx + client.left, cy + client.top);
        }
    }
}

void DrawFrameAndCaption(Canvas& canvas, const Window* w, int x, int y, int width, int height,
                         bool active) {
    int frame = FrameWidth(w);
    if (frame >= 3) {
        canvas.Rect(x, y, width, height, kFace);
        canvas.Edge(x, y, width, height, false);
    } else if (frame > 0) {
        canvas.Rect(x, y, width, height, "", "#000000");
    }
    int caption = CaptionHeight(w);
    if (caption == 0) {
        return;
    }
    int cx = x + frame;
    int cy = y + frame;
    int cw = width - 2 * frame;
    std::string gradient = active ? "active" : "inactive";
    canvas.Rect(cx, cy, cw, caption, std::string("url(#") + gradient + ")");
    int textX = cx + 4;
    if (const GdiObject* icon =
            FindGdiObject(w->iconSmall != nullptr ? w->iconSmall : w->iconBig)) {
        if (icon->image) {
            canvas.Image(cx + 2, cy + 1, 16, 16, *icon->image);
            textX += 18;
        }
    }
    canvas.Text(textX, cy + 2, w->text, "#ffffff", 13, "start", 700);
    RECT box;
    if (CloseBoxRect(w, &box)) {
        RECT screen = ScreenRect(w);
        int bx = x + box.left - screen.left;
        int by = y + box.top - screen.top;
        canvas.Rect(bx, by, box.right - box.left, box.bottom - box.top, kFace);
        canvas.Edge(bx, by, box.right - box.left, box.bottom - box.top, false);
        canvas.Line(bx + 4, by + 3, bx + 11, by + 10, "#000000", 2);
        canvas.Line(bx + 11, by + 3, bx + 4, by + 10, "#000000", 2);
    }
}

void DrawMenuPopup(Canvas& canvas, const Window* w, int x, int y, int width, int height) {
    canvas.Rect(x, y, width, height, kFace);
    canvas.Edge(x, y, width, height, false);
    const Menu* menu = MenuOf(w->menu);
    if (menu == nullptr) {
        return;
    }
    for (size_t i = 0; i < menu->items.size(); ++i) {
        const MenuItem& item = menu->items[i];
        int top = y + MenuItemTop(w->menu, (int)i);
        if (MenuItemIsSeparator(item)) {
            canvas.Line(x + 3, top + 3, x + width - 3, top + 3, kShadow);
            canvas.Line(x + 3, top + 4, x + width - 3, top + 4, kLight);
            continue;
        }
        bool hot = (int)i == w->hotItem;
        if (hot) {
            canvas.Rect(x + 3, top, width - 6, 18, kSelection);
        }
        bool grayed = (item.flags & (MF_GRAYED | MF_DISABLED)) != 0;
        canvas.Text(x + 20, top + 2, WithoutMnemonics(item.text),
                    grayed ? kGrayText : (hot ? "#ffffff" : "#000000"));
    }
}

void DrawTopLevel(Canvas& canvas, const Window* w, int x, int y) {
    Runtime::State& st = St();
    RECT r = w->rect;
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    if ((w->style & WS_MINIMIZE) != 0) {
        // A minimised window shows as its caption bar where it was.
        Window bar = *w;
        bar.style |= WS_CAPTION;
        DrawFrameAndCaption(canvas, &bar, x, y, 160, kCaptionHeight + 6,
                            st.foreground == w->handle);
        return;
    }
    if (w->kind == WindowKind::MenuPopup) {
        DrawMenuPopup(canvas, w, x, y, width, height);
        return;
    }
    if (w->kind == WindowKind::DropList) {
        DrawControl(canvas, w, x, y);
        return;
    }
    DrawFrameAndCaption(canvas, w, x, y, width, height, st.foreground == w->handle);
    RECT client = ClientRectInWindow(w);
    canvas.BeginClip(x, y, width, height);
    canvas.Rect(x + client.left, y + client.top, client.right - client.left,
                client.bottom - client.top, kFace);
    DrawRecorded(canvas, w, x, y);
    DrawChildren(canvas, w, x + client.left, y + client.top);
    canvas.EndClip();
}

void DrawPointer(Canvas& canvas) {
    Runtime::State& st = St();
    if (st.cursorCount < 0) {
        return;
    }
    int x = st.pointer.x;
    int y = st.pointer.y;
    const GdiObject* cursor = FindGdiObject(st.cursor);
    if (cursor != nullptr && cursor->image && cursor->image->name == "IDC_WAIT") {
        canvas.Image(x - 6, y - 9, 12, 18, *cursor->image);
        return;
    }
    std::ostringstream points;
    points << x << "," << y << " " << x << "," << y + 16 << " " << x + 4 << "," << y + 12 << " "
           << x + 7 << "," << y + 18 << " " << x + 9 << "," << y + 17 << " " << x + 6 << ","
           << y + 11 << " " << x + 11 << "," << y + 11;
    canvas.Polygon(points.str(), "#ffffff", "#000000");
}

const char* kGradients =
    "<defs><linearGradient id=\"active\"><stop offset=\"0\" stop-color=\"#0a246a\"/>"
    "<stop offset=\"1\" stop-color=\"#a6caf0\"/></linearGradient>"
    "<linearGradient id=\"inactive\"><stop offset=\"0\" stop-color=\"#808080\"/>"
    "<stop offset=\"1\" stop-color=\"#c0c0c0\"/></linearGradient></defs>\n";

} // namespace
} // namespace platform::win32::detail

namespace platform::win32 {

using namespace detail;

std::string RenderScreenSvg() {
    Runtime::State& st = St();
    RouteRawInput();
    Canvas canvas;
    canvas.Raw(kGradients);
    canvas.Rect(0, 0, st.screenWidth, st.screenHeight, "#3a6ea5");
    for (auto it = st.topLevel.rbegin(); it != st.topLevel.rend(); ++it) {
        const Window* w = *it;
        if (w->Visible()) {
            DrawTopLevel(canvas, w, w->rect.left, w->rect.top);
        }
    }
    DrawPointer(canvas);
    return canvas.Document(st.screenWidth, st.screenHeight);
}

std::string RenderWindowSvg(HWND handle) {
    const Window* w = Lookup(handle);
    if (w == nullptr) {
        return {};
    }
    Canvas canvas;
    canvas.Raw(kGradients);
    int width = w->rect.right - w->rect.left;
    int height = w->rect.bottom - w->rect.top;
    if (w->parent == nullptr) {
        DrawTopLevel(canvas, w, 0, 0);
    } else {
        DrawControl(canvas, w, 0, 0);
    }
    return canvas.Document(std::max(width, 1), std::max(height, 1));
}

} // namespace platform::win32
