// The calibration procedure: target screen, touch capture, the pair
// estimates, the confirmation, and the tables computed from the
// coefficients.
#pragma once

#include "apps/panel/panel_state.h"

// A target's screen position and the raw position recorded for it.
typedef struct _CalibrationPoint {
    double ScreenX;
    double ScreenY;
    double RawX;
    double RawY;
} CalibrationPoint;

// The line through both points of a pair, per axis.
Estimate PairEstimate(const CalibrationPoint* a, const CalibrationPoint* b);
// A pair whose raw positions lie within 0.1 unit on either axis has no
// line through it.
BOOL PairIsDistinct(const CalibrationPoint* a, const CalibrationPoint* b);

typedef enum _TableAxis { TableAxisX, TableAxisY } TableAxis;

// 65535, or 32767 on Windows 2000 unless "osflg" names the xp family.
LONG TableScale(INT osCode);
// Entry i (0 to 4999) of an axis's table: the absolute coordinate of the
// pixel that raw unit i maps to.
USHORT ComputeTableEntry(const PanelSettings* settings, TableAxis axis, INT index, LONG scale);

// Blocks the thread for milliseconds without handling messages.
VOID Pause(DWORD milliseconds);

// The capture of the 5 ms poll timer: one point from the device, turned
// into a left press or release for the target screen.
VOID PollTouch(CalibrationState* state, DeviceLink* link, const PanelSettings* settings);
// FALSE when no new point was fetched.
BOOL FetchTouch(CalibrationState* state, DeviceLink* link, TouchSample* sample);
VOID InjectButtons(CalibrationState* state, const PanelSettings* settings, LONG request, LONG x,
                   LONG y);
// The mouse_event flag for a change of the button mask from last to now.
DWORD ButtonTransition(DWORD last, DWORD now);

// The whole procedure, modal over the main window.
VOID CalibrationProcedure(MainDialog* main);

#define POLL_TIMER_ID 1028
#define POLL_PERIOD_MS 5
