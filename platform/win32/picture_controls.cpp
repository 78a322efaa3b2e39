// Controls in the picture, drawn from their state: what a person would see
// of them on the classic Windows look.
#include "platform/win32/controls.h"
#include "platform/win32/gdi.h"
#include "platform/win32/picture_svg.h"
#include "platform/win32/window_manager.h"

namespace platform::win32::detail {
namespace {

std::string TextColor(const Window* w) {
    return w->Enabled() ? "#000000" : kGrayText;
}

void DrawImageCentered(Canvas& canvas, HANDLE handle, int x, int y, int w, int h) {
    std::shared_ptr<const detail::Image> image = ImageOf(handle);
    if (image == nullptr) {
        return;
    }
    canvas.Image(x + (w - image->width) / 2, y + (h - image->height) / 2, image->width,
                 image->height, *image);
}

void DrawPushButton(Canvas& canvas, const Window* w, int x, int y, int width, int height) {
    bool isDefault = (w->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    canvas.Rect(x, y, width, height, kFace);
    if ((w->style & BS_FLAT) != 0) {
        canvas.Rect(x, y, width - 1, height - 1, "", w->pushed ? kShadow : "#000000");
    } else if (isDefault) {
        canvas.Rect(x, y, width - 1, height - 1, "", "#000000");
        canvas.Edge(x + 1, y + 1, width - 2, height - 2, w->pushed);
    } else {
        canvas.Edge(x, y, width, height, w->pushed);
    }
    int shift = w->pushed ? 1 : 0;
    if (w->image != nullptr && (w->style & (BS_ICON | BS_BITMAP)) != 0) {
        DrawImageCentered(canvas, w->image, x + shift, y + shift, width, height);
        return;
    }
    std::string text = WithoutMnemonics(w->text);
    int ty = y + (height - 13) / 2 + shift;
    if (!w->Enabled()) {
        canvas.Text(x + width / 2 + 1, ty + 1, text, kLight, 13, "middle");
    }
    canvas.Text(x + width / 2 + shift, ty, text, TextColor(w), 13, "middle");
}

void DrawCheck(Canvas& canvas, const Window* w, int x, int y, int width, int height, bool radio) {
    int box = 13;
    int by = y + (height - box) / 2;
    std::string back = w->pushed || !w->Enabled() ? kFace : "#ffffff";
    if (radio) {
        canvas.Ellipse(x, by, box - 1, box - 1, back, kShadow);
        if (w->check == BST_CHECKED) {
            canvas.Ellipse(x + 4, by + 4, 4, 4, TextColor(w), "");
        }
    } else {
        canvas.Rect(x, by, box, box, back);
        canvas.Edge(x, by, box, box, true);
        if (w->check != BST_UNCHECKED) {
            std::ostringstream points;
            points << x + 3 << "," << by + 6 << " " << x + 5 << "," << by + 9 << " " << x + 10
                   << "," << by + 3;
            canvas.Raw("<polyline points=\"" + points.str() + "\" fill=\"none\" stroke=\"" +
                       (w->check == BST_INDETERMINATE ? std::string(kGrayText) : TextColor(w)) +
                       "\" stroke-width=\"2\"/>\n");
        }
    }
    canvas.Text(x + box + 4, y + (height - 13) / 2, WithoutMnemonics(w->text), TextColor(w));
    UNREFERENCED_PARAMETER(width);
}

void DrawGroupBox(Canvas& canvas, const Window* w, int x, int y, int width, int height) {
    canvas.Rect(x, y + 6, width - 1, height - 7, "", kShadow);
    canvas.Rect(x + 1, y + 7, width - 1, height - 7, "", kLight);
    std::string text = WithoutMnemonics(w->text);
    if (!text.empty()) {
        canvas.Rect(x + 6, y, TextWidth(text, 13) + 4, 13, kFace);
        canvas.Text(x + 8, y, text, TextColor(w));
    }
}

void DrawButton(Canvas& canvas, const Window* w, int x, int y, int width, int height) {
    switch (w->style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
        DrawCheck(canvas, w, x, y, width, height, false);
        break;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        DrawCheck(canvas, w, x, y, width, height, true);
        break;
    case BS_GROUPBOX:
        DrawGroupBox(canvas, w, x, y, width, height);
        break;
    default:
        DrawPushButton(canvas, w, x, y, width, height);
        break;
    }
}

void DrawStatic(Canvas& canvas, const Window* w, int x, int y, int width, int height) {
    UINT type = w->style & SS_TYPEMASK;
    switch (type) {
    case SS_ICON:
    case SS_BITMAP:
        DrawImageCentered(canvas, w->image, x, y, width, height);
        return;
    case SS_BLACKRECT:
    case SS_GRAYRECT:
    case SS_WHITERECT:
        canvas.Rect(x, y, width, height,
                    type == SS_BLACKRECT  ? "#000000"
                    : type == SS_GRAYRECT ? kShadow
                                          : "#ffffff");
        return;
    case SS_BLACKFRAME:
    case SS_GRAYFRAME:
    case SS_WHITEFRAME:
        canvas.Rect(x, y, width - 1, height - 1, "",
                    type == SS_BLACKFRAME  ? "#000000"
                    : type == SS_GRAYFRAME ? kShadow
                                           : "#ffffff");
        return;
    case SS_ETCHEDHORZ:
        canvas.Line(x, y, x + width, y, kShadow);
        canvas.Line(x, y + 1, x + width, y + 1, kLight);
        return;
    case SS_ETCHEDVERT:
        canvas.Line(x, y, x, y + height, kShadow);
        canvas.Line(x + 1, y, x + 1, y + height, kLight);
        return;
    case SS_ETCHEDFRAME:
        canvas.Edge(x, y, width, height, true);
        return;
    default:
        break;
    }
    if ((w->style & SS_SUNKEN) != 0) {
        canvas.Edge(x, y, width, height, true);
    }
    std::string text = (w->style & SS_NOPREFIX) != 0 ? w->text : WithoutMnemonics(w->text);
    std::vector<std::string> lines = type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE
                                         ? std::vector<std::string>{text}
                                         : WrapText(text, width, 13);
    std::string anchor = type == SS_CENTER ? "middle" : type == SS_RIGHT ? "end" : "start";
    int tx = type == SS_CENTER ? x + width / 2 : type == SS_RIGHT ? x + width : x;
    int ty = (w->style & SS_CENTERIMAGE) != 0 ? y + (height - 13) / 2 : y;
    for (const std::string& line : lines) {
        canvas.Text(tx, ty, line, TextColor(w), 13, anchor);
        ty += 13;
    }
}

void DrawEdit(Canvas& canvas, const Window* w, int x, int y, int width, int height) {
    bool gray = !w->Enabled() || (w->style & ES_READONLY) != 0;
    canvas.Rect(x, y, width, height, gray ? kFace : "#ffffff");
    canvas.Edge(x, y, width, height, true);
    std::string text = w->text;
    if ((w->style & ES_PASSWORD) != 0) {
        text.assign(text.size(), '*');
    }
    if ((w->style & ES_MULTILINE) != 0) {
        int ty = y + 3;
        for (const std::string& line : WrapText(text, width - 24, 13)) {
            if (ty + 13 > y + height) {
                break;
            }
            canvas.Text(x + 4, ty, line, TextColor(w));
            ty += 13;
        }
        if ((w->style & WS_VSCROLL) != 0) {
            canvas.Rect(x + width - 18, y + 2, 16, height - 4, "#e8e8e8");
        }
        return;
    }
    canvas.Text(x + 4, y + (height - 13) / 2, text, TextColor(w));
}

void DrawCombo(Canvas& canvas, const Window* w, int x, int y, int width, int height) {
    canvas.Rect(x, y, width, height, w->Enabled() ? "#ffffff" : kFace);
    canvas.Edge(x, y, width, height, true);
    if (w->curSel >= 0 && w->curSel < (int)w->items.size()) {
        canvas.Text(x + 4, y + (height - 13) / 2, w->items[w->curSel].text, TextColor(w));
    }
    int bx = x + width - 18;
    canvas.Rect(bx, y + 2, 16, height - 4, kFace);
    canvas.Edge(bx, y + 2, 16, height - 4, w->dropped);
    int ay = y + height / 2 - 2;
    std::ostringstream points;
    points << bx + 4 << "," << ay << " " << bx + 12 << "," << ay << " " << bx + 8 << "," << ay + 4;
    canvas.Polygon(points.str(), TextColor(w), TextColor(w));
}

void DrawDropList(Canvas& canvas, const Window* list, int x, int y, int width, int height) {
    canvas.Rect(x, y, width, height, "#ffffff", "#000000");
    const Window* combo = list->buddy;
    if (combo == nullptr) {
        return;
    }
    for (size_t i = 0; i < combo->items.size(); ++i) {
        int top = y + 1 + (int)i * kComboRowHeight;
        if (top + kComboRowHeight > y + height) {
            break;
        }
        bool selected = (int)i == combo->curSel;
        if (selected) {
            canvas.Rect(x + 1, top, width - 2, kComboRowHeight, kSelection);
        }
        canvas.Text(x + 3, top + 1, combo->items[i].text, selected ? "#ffffff" : "#000000");
    }
}

void DrawTrackbar(Canvas& canvas, const Window* w, int x, int y, int width, int height) {
    bool vertical = (w->style & TBS_VERT) != 0;
    int mid = vertical ? x + width / 2 : y + height / 2;
    int from = TrackbarThumbX(w, w->rangeMin);
    int to = TrackbarThumbX(w, w->rangeMax);
    auto tick = [&](int value, int length) {
        int at = TrackbarThumbX(w, value);
        bool both = (w->style & TBS_BOTH) != 0;
        bool top = (w->style & TBS_TOP) != 0;
        if (vertical) {
            if (both || top) {
                canvas.Line(mid - 14, y + at, mid - 14 + length, y + at, "#000000");
            }
            if (both || !top) {
                canvas.Line(mid + 14 - length, y + at, mid + 14, y + at, "#000000");
            }
        } else {
            if (both || top) {
                canvas.Line(x + at, mid - 14, x + at, mid - 14 + length, "#000000");
            }
            if (both || !top) {
                canvas.Line(x + at, mid + 14 - length, x + at, mid + 14, "#000000");
            }
        }
    };
    if (vertical) {
        canvas.Rect(mid - 2, y + from, 4, to - from, "#ffffff");
        canvas.Edge(mid - 2, y + from, 4, to - from, true);
    } else {
        canvas.Rect(x + from, mid - 2, to - from, 4, "#ffffff");
        canvas.Edge(x + from, mid - 2, to - from, 4, true);
    }
    if ((w->style & TBS_NOTICKS) == 0) {
        tick(w->rangeMin, 4);
        tick(w->rangeMax, 4);
        for (int value : w->tics) {
            tick(value, 3);
        }
    }
    if ((w->style & TBS_NOTHUMB) == 0) {
        int at = TrackbarThumbX(w, w->pos);
        if (vertical) {
            canvas.Rect(mid - 10, y + at - 5, 20, 10, kFace);
            canvas.Edge(mid - 10, y + at - 5, 20, 10, false);
        } else {
            canvas.Rect(x + at - 5, mid - 10, 10, 20, kFace);
            canvas.Edge(x + at - 5, mid - 10, 10, 20, false);
        }
    }
}

void DrawProgress(Canvas& canvas, const Window* w, int x, int y, int width, int height) {
    canvas.Rect(x, y, width, height, kFace);
    canvas.Edge(x, y, width, height, true);
    int span = w->rangeMax - w->rangeMin;
    if (span <= 0) {
        return;
    }
    int inner = width - 4;
    int filled = (int)((long long)(w->pos - w->rangeMin) * inner / span);
    if ((w->style & PBS_SMOOTH) != 0) {
        canvas.Rect(x + 2, y + 2, filled, height - 4, kSelection);
        return;
    }
    int block = std::max(2, (height - 4) * 2 / 3);
    for (int at = 0; at < filled; at += block + 2) {
        canvas.Rect(x + 2 + at, y + 2, std::min(block, filled - at), height - 4, kSelection);
    }
}

} // namespace

void DrawControl(Canvas& canvas, const Window* w, int x, int y) {
    int width = w->rect.right - w->rect.left;
    int height = w->rect.bottom - w->rect.top;
    switch (w->kind) {
    case WindowKind::Button:
        DrawButton(canvas, w, x, y, width, height);
        break;
    case WindowKind::Static:
        DrawStatic(canvas, w, x, y, width, height);
        break;
    case WindowKind::Edit:
        DrawEdit(canvas, w, x, y, width, height);
        break;
    case WindowKind::ComboBox:
        DrawCombo(canvas, w, x, y, width, height);
        break;
    case WindowKind::DropList:
        DrawDropList(canvas, w, x, y, width, height);
        break;
    case WindowKind::Trackbar:
        DrawTrackbar(canvas, w, x, y, width, height);
        break;
    case WindowKind::Progress:
        DrawProgress(canvas, w, x, y, width, height);
        break;
    default:
        break;
    }
    DrawRecorded(canvas, w, x, y);
}

} // namespace platform::win32::detail
