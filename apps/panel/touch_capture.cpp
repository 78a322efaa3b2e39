// The capture behind the 5 ms poll timer. The driver is in raw mode: it
// queues the screen's own reports and moves no pointer, so each touch is
// turned into a left press and release here, which the target screen
// records wherever the pointer stands.
#include "apps/panel/calibration.h"

#include "drivers/common/touch_protocol.h"

#include <string.h>

static BOOL IsNone(const TouchSample* s) {
    return s->X == 0 && s->Y == 0 && s->State == 0;
}

static BOOL SameSample(const TouchSample* a, const TouchSample* b) {
    return a->X == b->X && a->Y == b->Y && a->State == b->State;
}

BOOL FetchTouch(CalibrationState* state, DeviceLink* link, TouchSample* sample) {
    LONG x = 0;
    LONG y = 0;
    BYTE status = 0;
    if (!link->ReadPoint(&x, &y, &status)) {
        return FALSE;
    }
    switch (status) {
    case TOUCH_STATUS_DOWN:
    case TOUCH_STATUS_HOLD:
        sample->State = TOUCH_STATE_PRESSED;
        break;
    case TOUCH_STATUS_UP:
        sample->State = TOUCH_STATE_RELEASED;
        break;
    default:
        return FALSE;
    }
    sample->X = x;
    sample->Y = y;
    // The very first point of the process only primes the comparison.
    if (IsNone(&state->LastFetched)) {
        state->LastFetched = *sample;
    }
    if (SameSample(sample, &state->LastFetched)) {
        return FALSE;
    }
    state->LastFetched = *sample;
    return TRUE;
}

DWORD ButtonTransition(DWORD last, DWORD now) {
    if (now == last) {
        return MOUSEEVENTF_MOVE;
    }
    if (((last ^ now) & 2) != 0) {
        return (now & 2) != 0 ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
    }
    return (now & 1) != 0 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
}

static LONG ScaleToAbsolute(LONG value, INT extent) {
    if (extent <= 0) {
        return 0;
    }
    if (value > extent) {
        value = extent;
    }
    return (LONG)((double)value / extent * 65535);
}

VOID InjectButtons(CalibrationState* state, const PanelSettings* settings, LONG request, LONG x,
                   LONG y) {
    InjectedButtons* last = &state->LastInjected;
    if (last->Request == request && last->X == x && last->Y == y) {
        return;
    }
    last->Request = request;
    last->X = x;
    last->Y = y;
    DWORD mask = request == INJECT_LEFT ? 1 : request == INJECT_RIGHT ? 2 : 0;
    LONG dx = ScaleToAbsolute(x, settings->ScreenWidth);
    LONG dy = ScaleToAbsolute(y, settings->ScreenHeight);
    DWORD event = ButtonTransition(state->LastButtons, mask);
    state->LastButtons = mask;
    // No MOUSEEVENTF_ABSOLUTE: a relative motion, so with the zero position
    // of the capture the button acts where the pointer stands.
    mouse_event(event, (DWORD)dx, (DWORD)dy, 0, 0);
}

VOID PollTouch(CalibrationState* state, DeviceLink* link, const PanelSettings* settings) {
    TouchSample sample;
    if (!FetchTouch(state, link, &sample) || !state->Calibrating) {
        return;
    }
    // The first point after a release is only remembered: a touch lifted
    // without moving injects nothing.
    if (IsNone(&state->LastPolled)) {
        state->LastPolled = sample;
        return;
    }
    if (SameSample(&sample, &state->LastPolled)) {
        return;
    }
    state->LastPolled = sample;
    if (sample.State == TOUCH_STATE_RELEASED) {
        memset(&state->LastPolled, 0, sizeof state->LastPolled);
    }
    state->LastRawX = sample.X;
    state->LastRawY = sample.Y;
    InjectButtons(state, settings, sample.State == TOUCH_STATE_PRESSED ? INJECT_LEFT : INJECT_NONE,
                  0, 0);
    Pause(2);
}
