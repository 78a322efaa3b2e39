// The Static class: texts, icons, bitmaps, frames and rules.
#include "platform/win32/controls.h"
#include "platform/win32/window_manager.h"

namespace platform::win32::detail {

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = Lookup(hwnd);
    if (w == nullptr) {
        return 0;
    }
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case WM_LBUTTONUP:
        if ((w->style & SS_NOTIFY) != 0) {
            NotifyCommand(w, STN_CLICKED);
        }
        return 0;
    case STM_GETICON:
        return reinterpret_cast<LRESULT>(w->image);
    case STM_SETICON:
        return SwapImage(w, (LPARAM)wParam);
    case STM_GETIMAGE:
        return reinterpret_cast<LRESULT>(w->image);
    case STM_SETIMAGE:
        return SwapImage(w, lParam);
    default:
        break;
    }
    return ControlDefault(w, message, wParam, lParam);
}

} // namespace platform::win32::detail
