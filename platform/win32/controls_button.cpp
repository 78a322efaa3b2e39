// The Button class: push buttons, check boxes, radio buttons (automatic
// ones keep their group exclusive) and group boxes.
#include "platform/win32/controls.h"
#include "platform/win32/window_manager.h"

namespace platform::win32::detail {
namespace {

UINT Type(const Window* w) {
    return w->style & BS_TYPEMASK;
}

bool IsCheckable(const Window* w) {
    switch (Type(w)) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_AUTORADIOBUTTON:
        return true;
    default:
        return false;
    }
}

// The automatic radio buttons of w's group: from the nearest WS_GROUP item at
// or before it up to the next WS_GROUP item.
void UncheckGroupSiblings(Window* w) {
    if (w->parent == nullptr) {
        return;
    }
    const auto& siblings = w->parent->children;
    size_t at = 0;
    while (siblings[at] != w) {
        ++at;
    }
    size_t first = at;
    while (first > 0 && (siblings[first]->style & WS_GROUP) == 0) {
        --first;
    }
    for (size_t i = first; i < siblings.size(); ++i) {
        Window* other = siblings[i];
        if (i > first && (other->style & WS_GROUP) != 0) {
            break;
        }
        if (other != w && other->kind == WindowKind::Button && Type(other) == BS_AUTORADIOBUTTON &&
            other->check != BST_UNCHECKED) {
            other->check = BST_UNCHECKED;
            Repaint(other);
        }
    }
}

void Clicked(Window* w) {
    switch (Type(w)) {
    case BS_AUTOCHECKBOX:
        w->check = w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        break;
    case BS_AUTO3STATE:
        w->check = (w->check + 1) % 3;
        break;
    case BS_AUTORADIOBUTTON:
        w->check = BST_CHECKED;
        UncheckGroupSiblings(w);
        break;
    default:
        break;
    }
    Repaint(w);
    NotifyCommand(w, BN_CLICKED);
}

} // namespace

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = Lookup(hwnd);
    if (w == nullptr) {
        return 0;
    }
    bool groupBox = Type(w) == BS_GROUPBOX;
    switch (message) {
    case WM_GETDLGCODE:
        switch (Type(w)) {
        case BS_PUSHBUTTON:
            return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_DEFPUSHBUTTON:
            return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX:
            return DLGC_STATIC;
        default:
            return DLGC_BUTTON;
        }
    case WM_LBUTTONDOWN:
        if (groupBox) {
            return 0;
        }
        SetCapture(hwnd);
        w->tracking = true;
        w->pushed = true;
        TakeFocus(w);
        Repaint(w);
        return 0;
    case WM_MOUSEMOVE:
        if (w->tracking) {
            bool inside = PointInClient(w, lParam);
            if (inside != w->pushed) {
                w->pushed = inside;
                Repaint(w);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (w->tracking) {
            bool inside = PointInClient(w, lParam);
            w->tracking = false;
            w->pushed = false;
            ReleaseCapture();
            if (inside && w->alive) {
                Clicked(w);
            }
        }
        return 0;
    case WM_CAPTURECHANGED:
        w->tracking = false;
        w->pushed = false;
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && !groupBox) {
            Clicked(w);
        }
        return 0;
    case BM_CLICK:
        if (!groupBox && w->Enabled()) {
            CallProc(w, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            CallProc(w, WM_LBUTTONUP, 0, 0);
        }
        return 0;
    case BM_GETCHECK:
        return IsCheckable(w) ? w->check : BST_UNCHECKED;
    case BM_SETCHECK:
        if (IsCheckable(w)) {
            UINT type = Type(w);
            w->check = (type == BS_3STATE || type == BS_AUTO3STATE) ? (UINT)wParam % 3
                                                                    : (wParam != 0 ? 1u : 0u);
            Repaint(w);
        }
        return 0;
    case BM_GETSTATE:
        return (IsCheckable(w) ? w->check : 0) | (w->pushed ? BST_PUSHED : 0) |
               (St().focus == hwnd ? BST_FOCUS : 0);
    case BM_SETSTATE:
        w->pushed = wParam != 0;
        Repaint(w);
        return 0;
    case BM_SETSTYLE:
        w->style = (w->style & ~0xFFFFu) | LOWORD(wParam);
        if (lParam != 0) {
            Repaint(w);
        }
        return 0;
    case BM_GETIMAGE:
        return reinterpret_cast<LRESULT>(w->image);
    case BM_SETIMAGE:
        return SwapImage(w, lParam);
    default:
        break;
    }
    return ControlDefault(w, message, wParam, lParam);
}

} // namespace platform::win32::detail
