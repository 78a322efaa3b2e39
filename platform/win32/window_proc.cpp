// DefWindowProcA and CallWindowProcA: the default handling every window
// class falls back on.
#include "platform/win32/runtime_state.h"
#include "platform/win32/window_manager.h"

using namespace platform::win32::detail;
using platform::win32::Runtime;

LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam,
                               LPARAM lParam) {
    return lpPrevWndFunc != nullptr ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Lookup(hWnd);
    if (w == nullptr) {
        return 0;
    }
    switch (Msg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_SETTEXT:
        w->text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
        return TRUE;
    case WM_GETTEXT:
        return CopyText(w->text, reinterpret_cast<LPSTR>(lParam), (int)wParam);
    case WM_GETTEXTLENGTH:
        return (LRESULT)w->text.size();
    case WM_SETFONT:
        w->font = reinterpret_cast<HFONT>(wParam);
        if (lParam != 0) {
            Invalidate(w, true, false);
        }
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(w->font);
    case WM_SETICON: {
        HICON& slot = wParam == ICON_BIG ? w->iconBig : w->iconSmall;
        HICON old = slot;
        slot = reinterpret_cast<HICON>(lParam);
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON:
        return reinterpret_cast<LRESULT>(wParam == ICON_BIG ? w->iconBig : w->iconSmall);
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            SendMessageA(hWnd, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            ShowWindowObject(w, SW_MINIMIZE);
            break;
        case SC_MAXIMIZE:
            ShowWindowObject(w, SW_MAXIMIZE);
            break;
        case SC_RESTORE:
            ShowWindowObject(w, SW_RESTORE);
            break;
        default:
            break;
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hWnd, &ps);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        EraseUpdateRegion(w);
        return 1;
    case WM_MOUSEACTIVATE:
        return 1; // MA_ACTIVATE
    default:
        return 0;
    }
}
