// user32 calls on windows: lookup, text, state, placement, tree and long
// values.
#include "platform/win32/controls.h"
#include "platform/win32/win_base.h"
#include "platform/win32/window_manager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace platform::win32::detail {

void SetError(DWORD error) {
    ::SetLastError(error);
}

Window* Lookup(HWND hwnd) {
    Runtime::State& st = St();
    auto it = st.windows.find(hwnd);
    return it == st.windows.end() ? nullptr : it->second;
}

Window* FromHandle(HWND hwnd) {
    Window* w = Lookup(hwnd);
    if (w == nullptr) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
    }
    return w;
}

} // namespace platform::win32::detail

using namespace platform::win32::detail;
using platform::win32::Runtime;

namespace {

Window* Item(HWND hDlg, int id) {
    Window* dialog = FromHandle(hDlg);
    if (dialog == nullptr) {
        return nullptr;
    }
    for (Window* child : dialog->children) {
        if (child->id == id) {
            return child;
        }
    }
    SetError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

} // namespace

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
    Window* w = Item(hDlg, nIDDlgItem);
    return w != nullptr ? w->handle : nullptr;
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
    Window* w = FromHandle(hWnd);
    return w != nullptr && w->IsChild() ? w->id : 0;
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
    Window* w = Item(hDlg, nIDDlgItem);
    return w != nullptr ? SetWindowTextA(w->handle, lpString) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
    Window* w = Item(hDlg, nIDDlgItem);
    if (w == nullptr) {
        if (lpString != nullptr && cchMax > 0) {
            lpString[0] = '\0';
        }
        return 0;
    }
    return (UINT)GetWindowTextA(w->handle, lpString, cchMax);
}

BOOL WINAPI SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned) {
    char text[16];
    if (bSigned) {
        std::snprintf(text, sizeof text, "%d", (int)uValue);
    } else {
        std::snprintf(text, sizeof text, "%u", uValue);
    }
    return SetDlgItemTextA(hDlg, nIDDlgItem, text);
}

UINT WINAPI GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned) {
    char text[64];
    GetDlgItemTextA(hDlg, nIDDlgItem, text, sizeof text);
    char* end = nullptr;
    long value = bSigned ? std::strtol(text, &end, 10) : (long)std::strtoul(text, &end, 10);
    bool ok = end != text && *end == '\0';
    if (lpTranslated != nullptr) {
        *lpTranslated = ok ? TRUE : FALSE;
    }
    return ok ? (UINT)value : 0;
}

LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam,
                                   LPARAM lParam) {
    Window* w = Item(hDlg, nIDDlgItem);
    return w != nullptr ? SendMessageA(w->handle, Msg, wParam, lParam) : 0;
}

BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    Window* w = Item(hDlg, nIDButton);
    if (w == nullptr) {
        return FALSE;
    }
    SendMessageA(w->handle, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    Window* w = Item(hDlg, nIDButton);
    return w != nullptr ? (UINT)SendMessageA(w->handle, BM_GETCHECK, 0, 0) : 0;
}

BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
    Window* dialog = FromHandle(hDlg);
    if (dialog == nullptr) {
        return FALSE;
    }
    std::vector<Window*> children = dialog->children;
    for (Window* child : children) {
        if (child->id >= nIDFirstButton && child->id <= nIDLastButton) {
            SendMessageA(child->handle, BM_SETCHECK,
                         child->id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
    return TRUE;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return FALSE;
    }
    if (w->process != Caller()) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DestroyWindowTree(w);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
    return Lookup(hWnd) != nullptr ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
    Window* w = Lookup(hWnd);
    return w != nullptr && IsShownOnScreen(w) ? TRUE : FALSE;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
    Window* w = Lookup(hWnd);
    return w != nullptr && w->Enabled() ? TRUE : FALSE;
}

BOOL WINAPI IsIconic(HWND hWnd) {
    Window* w = Lookup(hWnd);
    return w != nullptr && (w->style & WS_MINIMIZE) != 0 ? TRUE : FALSE;
}

BOOL WINAPI IsZoomed(HWND hWnd) {
    Window* w = Lookup(hWnd);
    return w != nullptr && (w->style & WS_MAXIMIZE) != 0 ? TRUE : FALSE;
}

BOOL WINAPI IsChild(HWND hWndParent, HWND hWnd) {
    Window* parent = Lookup(hWndParent);
    Window* w = Lookup(hWnd);
    return parent != nullptr && w != nullptr && w != parent && IsDescendant(parent, w) ? TRUE
                                                                                       : FALSE;
}

// Returns whether the window was disabled before the call.
BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return FALSE;
    }
    bool wasDisabled = !w->Enabled();
    if (bEnable) {
        w->style &= ~WS_DISABLED;
    } else {
        w->style |= WS_DISABLED;
    }
    if (wasDisabled == (bEnable == FALSE)) {
        return wasDisabled ? TRUE : FALSE;
    }
    Runtime::State& st = St();
    if (!bEnable) {
        Window* focus = Lookup(st.focus);
        if (focus != nullptr && IsDescendant(w, focus)) {
            SetFocusTo(nullptr);
        }
        if (st.capture == hWnd) {
            st.capture = nullptr;
        }
    }
    if (w->process == Caller()) {
        CallProc(w, WM_ENABLE, bEnable ? TRUE : FALSE, 0);
    }
    if (w->alive) {
        Invalidate(w, true, true);
    }
    return wasDisabled ? TRUE : FALSE;
}

// Returns whether the window was visible before the call.
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return FALSE;
    }
    bool wasVisible = w->Visible();
    ShowWindowObject(w, nCmdShow);
    return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy,
                         UINT uFlags) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return FALSE;
    }
    RECT r = w->rect;
    if ((uFlags & SWP_NOMOVE) == 0) {
        LONG width = r.right - r.left;
        LONG height = r.bottom - r.top;
        r.left = X;
        r.top = Y;
        r.right = X + width;
        r.bottom = Y + height;
    }
    if ((uFlags & SWP_NOSIZE) == 0) {
        r.right = r.left + cx;
        r.bottom = r.top + cy;
    }
    if ((uFlags & SWP_NOZORDER) == 0 && w->parent == nullptr) {
        if (hWndInsertAfter == HWND_TOPMOST) {
            w->exStyle |= WS_EX_TOPMOST;
        } else if (hWndInsertAfter == HWND_NOTOPMOST) {
            w->exStyle &= ~WS_EX_TOPMOST;
        }
        if (hWndInsertAfter != HWND_BOTTOM) {
            BringToTop(w);
        }
    }
    bool changed = r.left != w->rect.left || r.top != w->rect.top || r.right != w->rect.right ||
                   r.bottom != w->rect.bottom;
    if (changed) {
        RECT old = w->rect;
        SetWindowRect(w, r, true);
        if (w->alive && w->Visible() && (uFlags & SWP_NOREDRAW) == 0) {
            EraseNow(w);
            Invalidate(w, false, true);
            if (w->parent != nullptr) {
                InvalidatePart(w->parent, old, true);
                InvalidatePart(w->parent, r, true);
            }
        }
    }
    if ((uFlags & SWP_SHOWWINDOW) != 0) {
        ShowWindowObject(w, (uFlags & SWP_NOACTIVATE) != 0 ? SW_SHOWNA : SW_SHOW);
    } else if ((uFlags & SWP_HIDEWINDOW) != 0) {
        ShowWindowObject(w, SW_HIDE);
    }
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint) {
    return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight,
                        SWP_NOZORDER | SWP_NOACTIVATE | (bRepaint ? 0 : SWP_NOREDRAW));
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return FALSE;
    }
    RECT client = ClientRectInWindow(w);
    *lpRect = RECT{0, 0, client.right - client.left, client.bottom - client.top};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return FALSE;
    }
    *lpRect = ScreenRect(w);
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return FALSE;
    }
    POINT origin = ClientOriginOnScreen(w);
    lpPoint->x += origin.x;
    lpPoint->y += origin.y;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return FALSE;
    }
    POINT origin = ClientOriginOnScreen(w);
    lpPoint->x -= origin.x;
    lpPoint->y -= origin.y;
    return TRUE;
}

// Another program reads a window's own text directly, as GetWindowText does
// across processes; the host (tests, the machine) asks the window.
BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return FALSE;
    }
    return SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) != FALSE ? TRUE
                                                                                          : FALSE;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        if (lpString != nullptr && nMaxCount > 0) {
            lpString[0] = '\0';
        }
        return 0;
    }
    if (w->process != Caller() && !Caller()->isHost) {
        return CopyText(w->text, lpString, nMaxCount);
    }
    return (int)SendMessageA(hWnd, WM_GETTEXT, (WPARAM)nMaxCount,
                             reinterpret_cast<LPARAM>(lpString));
}

int WINAPI GetWindowTextLengthA(HWND hWnd) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return 0;
    }
    if (w->process != Caller() && !Caller()->isHost) {
        return (int)w->text.size();
    }
    return (int)SendMessageA(hWnd, WM_GETTEXTLENGTH, 0, 0);
}

HWND WINAPI GetParent(HWND hWnd) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return nullptr;
    }
    if (w->parent != nullptr) {
        return w->parent->handle;
    }
    return w->owner != nullptr ? w->owner->handle : nullptr;
}

HWND WINAPI GetWindow(HWND hWnd, UINT uCmd) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return nullptr;
    }
    const std::vector<Window*>& siblings =
        w->parent != nullptr ? w->parent->children : St().topLevel;
    auto at = std::find(siblings.begin(), siblings.end(), w);
    switch (uCmd) {
    case GW_CHILD:
        return w->children.empty() ? nullptr : w->children.front()->handle;
    case GW_OWNER:
        return w->owner != nullptr ? w->owner->handle : nullptr;
    case GW_HWNDFIRST:
        return siblings.front()->handle;
    case GW_HWNDLAST:
        return siblings.back()->handle;
    case GW_HWNDNEXT:
        return at + 1 < siblings.end() ? (*(at + 1))->handle : nullptr;
    case GW_HWNDPREV:
        return at != siblings.begin() ? (*(at - 1))->handle : nullptr;
    default:
        SetError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

HWND WINAPI GetDesktopWindow(void) {
    return reinterpret_cast<HWND>(0x10010 - 4);
}

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
    for (Window* w : St().topLevel) {
        if (w->kind == WindowKind::DropList || w->kind == WindowKind::MenuPopup) {
            continue;
        }
        if (lpClassName != nullptr && !IS_INTRESOURCE(lpClassName) &&
            strcasecmp(lpClassName, w->className.c_str()) != 0) {
            continue;
        }
        if (lpWindowName != nullptr && w->text != lpWindowName) {
            continue;
        }
        return w->handle;
    }
    SetError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

HWND WINAPI WindowFromPoint(POINT Point) {
    Window* w = WindowForPoint(Point);
    return w != nullptr ? w->handle : nullptr;
}

BOOL WINAPI SetForegroundWindow(HWND hWnd) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return FALSE;
    }
    Activate(w);
    return TRUE;
}

HWND WINAPI GetForegroundWindow(void) {
    return St().foreground;
}

HWND WINAPI GetActiveWindow(void) {
    Window* w = Lookup(St().foreground);
    return w != nullptr && w->process == Caller() ? w->handle : nullptr;
}

HWND WINAPI SetActiveWindow(HWND hWnd) {
    HWND old = GetActiveWindow();
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return nullptr;
    }
    Activate(w);
    return old;
}

HWND WINAPI SetFocus(HWND hWnd) {
    Runtime::State& st = St();
    HWND old = st.focus;
    if (hWnd == nullptr) {
        SetFocusTo(nullptr);
        return old;
    }
    Window* w = FromHandle(hWnd);
    if (w == nullptr || !w->Enabled()) {
        return nullptr;
    }
    Window* top = TopLevelOf(w);
    if (st.foreground != top->handle) {
        Activate(top);
    }
    SetFocusTo(w);
    return old;
}

HWND WINAPI GetFocus(void) {
    Window* w = Lookup(St().focus);
    return w != nullptr && w->process == Caller() ? w->handle : nullptr;
}

HWND WINAPI SetCapture(HWND hWnd) {
    Runtime::State& st = St();
    HWND old = st.capture;
    if (FromHandle(hWnd) != nullptr) {
        st.capture = hWnd;
    }
    return old;
}

BOOL WINAPI ReleaseCapture(void) {
    Runtime::State& st = St();
    Window* old = Lookup(st.capture);
    st.capture = nullptr;
    if (old != nullptr && old->process == Caller()) {
        CallProc(old, WM_CAPTURECHANGED, 0, 0);
    }
    return TRUE;
}

HWND WINAPI GetCapture(void) {
    Window* w = Lookup(St().capture);
    return w != nullptr && w->process == Caller() ? w->handle : nullptr;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return 0;
    }
    switch (nIndex) {
    case GWL_STYLE:
        return (LONG)w->style;
    case GWL_EXSTYLE:
        return (LONG)w->exStyle;
    case GWLP_ID:
        return w->id;
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w->owner != nullptr ? w->owner->handle : nullptr);
    case GWLP_USERDATA:
        return w->userData;
    default:
        break;
    }
    if (w->kind == WindowKind::Dialog) {
        if (nIndex == DWLP_MSGRESULT) {
            return w->dlgResultValue;
        }
        if (nIndex == DWLP_DLGPROC) {
            return reinterpret_cast<LONG_PTR>(w->dlgProc);
        }
        if (nIndex == DWLP_USER) {
            return w->dlgUser;
        }
    }
    SetError(ERROR_INVALID_INDEX);
    return 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return 0;
    }
    LONG_PTR old = GetWindowLongPtrA(hWnd, nIndex);
    switch (nIndex) {
    case GWL_STYLE:
        w->style = (DWORD)dwNewLong;
        return old;
    case GWL_EXSTYLE:
        w->exStyle = (DWORD)dwNewLong;
        return old;
    case GWLP_ID:
        w->id = (int)dwNewLong;
        return old;
    case GWLP_WNDPROC:
        w->proc = reinterpret_cast<WNDPROC>(dwNewLong);
        return old;
    case GWLP_USERDATA:
        w->userData = dwNewLong;
        return old;
    default:
        break;
    }
    if (w->kind == WindowKind::Dialog) {
        if (nIndex == DWLP_MSGRESULT) {
            w->dlgResultValue = dwNewLong;
            return old;
        }
        if (nIndex == DWLP_DLGPROC) {
            w->dlgProc = reinterpret_cast<DLGPROC>(dwNewLong);
            return old;
        }
        if (nIndex == DWLP_USER) {
            w->dlgUser = dwNewLong;
            return old;
        }
    }
    SetError(ERROR_INVALID_INDEX);
    return 0;
}

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
    return (LONG)GetWindowLongPtrA(hWnd, nIndex);
}

LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
    return (LONG)SetWindowLongPtrA(hWnd, nIndex, dwNewLong);
}

int WINAPI GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount) {
    Window* w = FromHandle(hWnd);
    return w != nullptr ? CopyText(w->className, lpClassName, nMaxCount) : 0;
}

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return FALSE;
    }
    if (lpRect == nullptr) {
        bool erase = w->eraseNeeded || bErase != FALSE;
        Invalidate(w, erase, false);
    } else {
        InvalidatePart(w, *lpRect, bErase != FALSE);
    }
    return TRUE;
}

// The whole window is validated whatever the rectangle.
BOOL WINAPI ValidateRect(HWND hWnd, const RECT* lpRect) {
    UNREFERENCED_PARAMETER(lpRect);
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return FALSE;
    }
    w->invalid = false;
    w->eraseNeeded = false;
    w->update.clear();
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return FALSE;
    }
    if (w->invalid && IsShownOnScreen(w) && w->process == Caller()) {
        MSG msg{hWnd, WM_PAINT, 0, 0, 0, {0, 0}};
        DispatchMessageA(&msg);
    }
    return TRUE;
}

int WINAPI GetSystemMetrics(int nIndex) {
    Runtime::State& st = St();
    switch (nIndex) {
    case SM_CXSCREEN:
        return st.screenWidth;
    case SM_CYSCREEN:
        return st.screenHeight;
    case SM_CYCAPTION:
        return kCaptionHeight + 1;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_MOUSEPRESENT:
        return 1;
    default:
        return 0;
    }
}
