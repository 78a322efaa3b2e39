// The progress bar common control. Positions are clamped to the range;
// PBM_STEPIT past the maximum starts over from the minimum.
#include "platform/win32/controls.h"
#include "platform/win32/window_manager.h"

#include <algorithm>

namespace platform::win32::detail {
namespace {

struct ProgressRange {
    int iLow;
    int iHigh;
};

LRESULT Move(Window* w, int position) {
    int old = w->pos;
    w->pos = std::clamp(position, w->rangeMin, std::max(w->rangeMin, w->rangeMax));
    if (w->pos != old) {
        Repaint(w);
    }
    return old;
}

LRESULT SetRange(Window* w, int low, int high) {
    LRESULT old = MAKELONG(w->rangeMin, w->rangeMax);
    w->rangeMin = low;
    w->rangeMax = high;
    Move(w, w->pos);
    Repaint(w);
    return old;
}

} // namespace

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = Lookup(hwnd);
    if (w == nullptr) {
        return 0;
    }
    switch (message) {
    case PBM_SETRANGE:
        return SetRange(w, (int)(WORD)LOWORD(lParam), (int)(WORD)HIWORD(lParam));
    case PBM_SETRANGE32:
        return SetRange(w, (int)wParam, (int)lParam);
    case PBM_GETRANGE:
        if (lParam != 0) {
            auto* range = reinterpret_cast<ProgressRange*>(lParam);
            range->iLow = w->rangeMin;
            range->iHigh = w->rangeMax;
        }
        return wParam != 0 ? w->rangeMin : w->rangeMax;
    case PBM_SETPOS:
        return Move(w, (int)wParam);
    case PBM_DELTAPOS:
        return Move(w, w->pos + (int)wParam);
    case PBM_GETPOS:
        return w->pos;
    case PBM_SETSTEP: {
        int old = w->step;
        w->step = (int)wParam;
        return old;
    }
    case PBM_STEPIT: {
        int old = w->pos;
        int next = w->pos + w->step;
        if (next > w->rangeMax) {
            next = w->rangeMin + (next - w->rangeMax);
        }
        Move(w, next);
        return old;
    }
    default:
        break;
    }
    return ControlDefault(w, message, wParam, lParam);
}

} // namespace platform::win32::detail
