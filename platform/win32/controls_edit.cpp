// The Edit class: one text with a selection (end-exclusive); typing
// replaces the selection. EN_CHANGE follows every change, including
// WM_SETTEXT on a single-line edit (not on a multi-line one, as in Windows).
#include "platform/win32/controls.h"
#include "platform/win32/window_manager.h"

#include <algorithm>
#include <cctype>

namespace platform::win32::detail {
namespace {

void Clamp(Window* w) {
    int size = (int)w->text.size();
    w->selStart = std::clamp(w->selStart, 0, size);
    w->selEnd = std::clamp(w->selEnd, 0, size);
    if (w->selStart > w->selEnd) {
        std::swap(w->selStart, w->selEnd);
    }
}

void Replace(Window* w, const std::string& with) {
    Clamp(w);
    std::string insert = with;
    size_t room = w->textLimit > w->text.size() - (w->selEnd - w->selStart)
                      ? w->textLimit - (w->text.size() - (w->selEnd - w->selStart))
                      : 0;
    if (insert.size() > room) {
        insert.resize(room);
    }
    w->text.replace(w->selStart, w->selEnd - w->selStart, insert);
    w->selStart += (int)insert.size();
    w->selEnd = w->selStart;
    Repaint(w);
    NotifyCommand(w, EN_UPDATE);
    if (w->alive) {
        NotifyCommand(w, EN_CHANGE);
    }
}

void Typed(Window* w, char ch) {
    if ((w->style & ES_READONLY) != 0) {
        return;
    }
    if (ch == '\b') {
        Clamp(w);
        if (w->selStart == w->selEnd) {
            if (w->selStart == 0) {
                return;
            }
            --w->selStart;
        }
        Replace(w, "");
        return;
    }
    if (ch == '\r') {
        if ((w->style & ES_MULTILINE) != 0) {
            Replace(w, "\r\n");
        }
        return;
    }
    if ((unsigned char)ch < 0x20) {
        return;
    }
    if ((w->style & ES_NUMBER) != 0 && !std::isdigit((unsigned char)ch)) {
        return;
    }
    if ((w->style & ES_UPPERCASE) != 0) {
        ch = (char)std::toupper((unsigned char)ch);
    } else if ((w->style & ES_LOWERCASE) != 0) {
        ch = (char)std::tolower((unsigned char)ch);
    }
    Replace(w, std::string(1, ch));
}

} // namespace

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = Lookup(hwnd);
    if (w == nullptr) {
        return 0;
    }
    switch (message) {
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        // A multiline edit that takes Return as a new line keeps it.
        if (msg != nullptr && msg->message == WM_KEYDOWN && wParam == VK_RETURN &&
            (w->style & (ES_MULTILINE | ES_WANTRETURN)) == (ES_MULTILINE | ES_WANTRETURN)) {
            code |= DLGC_WANTALLKEYS;
        }
        return code;
    }
    case WM_LBUTTONDOWN:
        TakeFocus(w);
        w->selStart = w->selEnd = (int)w->text.size();
        return 0;
    case WM_SETFOCUS:
        NotifyCommand(w, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        NotifyCommand(w, EN_KILLFOCUS);
        return 0;
    case WM_CHAR:
        Typed(w, (char)wParam);
        return 0;
    case WM_SETTEXT: {
        LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
        w->selStart = w->selEnd = 0;
        Repaint(w);
        if ((w->style & ES_MULTILINE) == 0) {
            NotifyCommand(w, EN_UPDATE);
            if (w->alive) {
                NotifyCommand(w, EN_CHANGE);
            }
        }
        return result;
    }
    case EM_GETSEL:
        Clamp(w);
        if (wParam != 0) {
            *reinterpret_cast<DWORD*>(wParam) = (DWORD)w->selStart;
        }
        if (lParam != 0) {
            *reinterpret_cast<DWORD*>(lParam) = (DWORD)w->selEnd;
        }
        return MAKELONG(w->selStart, w->selEnd);
    case EM_SETSEL: {
        int start = (int)(INT_PTR)wParam;
        int end = (int)lParam;
        int size = (int)w->text.size();
        if (start < 0) { // -1 removes the selection
            w->selStart = w->selEnd = std::clamp(w->selEnd, 0, size);
        } else {
            w->selStart = start;
            w->selEnd = end < 0 ? size : end;
            Clamp(w);
        }
        return 0;
    }
    case EM_REPLACESEL:
        if (lParam != 0) {
            Replace(w, reinterpret_cast<const char*>(lParam));
        }
        return 0;
    case EM_LIMITTEXT:
        w->textLimit = wParam == 0 ? 0x7FFFFFFE : (UINT)wParam;
        return 0;
    case EM_SETREADONLY:
        if (wParam != 0) {
            w->style |= ES_READONLY;
        } else {
            w->style &= ~ES_READONLY;
        }
        Repaint(w);
        return TRUE;
    default:
        break;
    }
    return ControlDefault(w, message, wParam, lParam);
}

} // namespace platform::win32::detail
