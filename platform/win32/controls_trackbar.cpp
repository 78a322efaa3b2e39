// The trackbar common control, horizontal or vertical. The channel runs
// between kMargin pixels from either end; the thumb is dragged with the
// mouse (TB_THUMBTRACK, then TB_THUMBPOSITION), a click beside it pages, keys
// step. TB_ENDTRACK ends every action, and releasing the mouse capture sends
// NM_RELEASEDCAPTURE.
#include "platform/win32/controls.h"
#include "platform/win32/window_manager.h"

#include <algorithm>

namespace platform::win32::detail {
namespace {

constexpr int kMargin = 12;
constexpr int kThumbHalf = 5;

bool Vertical(const Window* w) {
    return (w->style & TBS_VERT) != 0;
}

int Length(const Window* w) {
    RECT client = ClientRectInWindow(w);
    int extent = Vertical(w) ? client.bottom - client.top : client.right - client.left;
    return std::max(1, extent - 2 * kMargin);
}

int Along(const Window* w, LPARAM lParam) {
    return Vertical(w) ? GET_Y_LPARAM(lParam) : GET_X_LPARAM(lParam);
}

void Scroll(Window* w, WORD code, int position) {
    if (w->parent == nullptr) {
        return;
    }
    CallProc(w->parent, Vertical(w) ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, position),
             reinterpret_cast<LPARAM>(w->handle));
}

void SetPosition(Window* w, int position) {
    int clamped = std::clamp(position, w->rangeMin, w->rangeMax);
    if (clamped != w->pos) {
        w->pos = clamped;
        Repaint(w);
    }
}

void AutoTicks(Window* w) {
    w->tics.clear();
    if ((w->style & TBS_AUTOTICKS) == 0 || w->ticFreq <= 0) {
        return;
    }
    for (int tic = w->rangeMin + w->ticFreq; tic < w->rangeMax; tic += w->ticFreq) {
        w->tics.push_back(tic);
    }
}

void Step(Window* w, WORD code) {
    int next = w->pos;
    switch (code) {
    case TB_LINEUP:
        next -= w->lineSize;
        break;
    case TB_LINEDOWN:
        next += w->lineSize;
        break;
    case TB_PAGEUP:
        next -= w->pageSize;
        break;
    case TB_PAGEDOWN:
        next += w->pageSize;
        break;
    case TB_TOP:
        next = w->rangeMin;
        break;
    case TB_BOTTOM:
        next = w->rangeMax;
        break;
    default:
        break;
    }
    SetPosition(w, next);
    Scroll(w, code, 0);
}

} // namespace

int TrackbarThumbX(const Window* w, int position) {
    int span = std::max(1, w->rangeMax - w->rangeMin);
    return kMargin + (int)((long long)(position - w->rangeMin) * Length(w) / span);
}

int TrackbarPositionAt(const Window* w, int x) {
    int span = w->rangeMax - w->rangeMin;
    int offset = std::clamp(x - kMargin, 0, Length(w));
    long long scaled = ((long long)offset * span * 2 + Length(w)) / (2LL * Length(w));
    return w->rangeMin + (int)scaled;
}

LRESULT CALLBACK TrackbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = Lookup(hwnd);
    if (w == nullptr) {
        return 0;
    }
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: {
        TakeFocus(w);
        SetCapture(hwnd);
        w->tracking = true;
        int at = Along(w, lParam);
        int thumb = TrackbarThumbX(w, w->pos);
        if (at >= thumb - kThumbHalf && at <= thumb + kThumbHalf) {
            w->thumbTracking = true;
        } else {
            Step(w, at < thumb ? TB_PAGEUP : TB_PAGEDOWN);
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (w->thumbTracking) {
            int position = TrackbarPositionAt(w, Along(w, lParam));
            if (position != w->pos) {
                SetPosition(w, position);
                Scroll(w, TB_THUMBTRACK, w->pos);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (!w->tracking) {
            return 0;
        }
        if (w->thumbTracking) {
            w->thumbTracking = false;
            Scroll(w, TB_THUMBPOSITION, w->pos);
        }
        if (w->alive) {
            Scroll(w, TB_ENDTRACK, 0);
        }
        w->tracking = false;
        if (w->alive && St().capture == hwnd) {
            ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        w->tracking = false;
        w->thumbTracking = false;
        NotifyHeader(w, NM_RELEASEDCAPTURE);
        return 0;
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_LEFT:
        case VK_UP:
            Step(w, TB_LINEUP);
            break;
        case VK_RIGHT:
        case VK_DOWN:
            Step(w, TB_LINEDOWN);
            break;
        case VK_PRIOR:
            Step(w, TB_PAGEUP);
            break;
        case VK_NEXT:
            Step(w, TB_PAGEDOWN);
            break;
        case VK_HOME:
            Step(w, TB_TOP);
            break;
        case VK_END:
            Step(w, TB_BOTTOM);
            break;
        default:
            break;
        }
        return 0;
    case WM_KEYUP:
        switch (wParam) {
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_HOME:
        case VK_END:
            Scroll(w, TB_ENDTRACK, 0);
            break;
        default:
            break;
        }
        return 0;
    case TBM_GETPOS:
        return w->pos;
    case TBM_GETRANGEMIN:
        return w->rangeMin;
    case TBM_GETRANGEMAX:
        return w->rangeMax;
    case TBM_SETPOS:
        SetPosition(w, (int)lParam);
        return 0;
    case TBM_SETRANGE:
        w->rangeMin = (short)LOWORD(lParam);
        w->rangeMax = (short)HIWORD(lParam);
        AutoTicks(w);
        SetPosition(w, w->pos);
        return 0;
    case TBM_SETRANGEMIN:
        w->rangeMin = (int)lParam;
        AutoTicks(w);
        SetPosition(w, w->pos);
        return 0;
    case TBM_SETRANGEMAX:
        w->rangeMax = (int)lParam;
        AutoTicks(w);
        SetPosition(w, w->pos);
        return 0;
    case TBM_SETTIC: {
        int tic = (int)lParam;
        if (tic < w->rangeMin || tic > w->rangeMax) {
            return FALSE;
        }
        w->tics.push_back(tic);
        Repaint(w);
        return TRUE;
    }
    case TBM_GETTIC: {
        int index = (int)wParam;
        return index >= 0 && index < (int)w->tics.size() ? w->tics[index] : -1;
    }
    case TBM_CLEARTICS:
        w->tics.clear();
        Repaint(w);
        return 0;
    case TBM_GETNUMTICS:
        return (w->style & TBS_NOTICKS) != 0 ? 0 : (LRESULT)w->tics.size() + 2;
    case TBM_SETTICFREQ:
        w->ticFreq = (int)wParam;
        AutoTicks(w);
        Repaint(w);
        return 0;
    case TBM_SETPAGESIZE: {
        int old = w->pageSize;
        w->pageSize = (int)lParam;
        return old;
    }
    case TBM_GETPAGESIZE:
        return w->pageSize;
    case TBM_SETLINESIZE: {
        int old = w->lineSize;
        w->lineSize = (int)lParam;
        return old;
    }
    case TBM_GETLINESIZE:
        return w->lineSize;
    default:
        break;
    }
    return ControlDefault(w, message, wParam, lParam);
}

} // namespace platform::win32::detail
