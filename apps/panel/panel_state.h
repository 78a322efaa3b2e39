// The control panel's process-wide state: the device link, the settings
// copy, the calibration's capture state and the main window. One instance
// per run of the program, owned by its application object.
#pragma once

#include "apps/common/device_link.h"
#include "apps/common/panel_settings.h"
#include "apps/common/win.h"

// The states a fetched touch is mapped to.
#define TOUCH_STATE_PRESSED 0xA0
#define TOUCH_STATE_RELEASED 0x80

// Requests of InjectButtons.
#define INJECT_LEFT 0x20
#define INJECT_RIGHT 0x10
#define INJECT_NONE 0

// Coefficients of pixel = K * raw + C per axis.
typedef struct _Estimate {
    double Kx;
    double Ky;
    double Cx;
    double Cy;
} Estimate;

// (X, Y, state); all zero means none.
typedef struct _TouchSample {
    LONG X;
    LONG Y;
    LONG State;
} TouchSample;

typedef struct _InjectedButtons {
    LONG Request;
    LONG X;
    LONG Y;
} InjectedButtons;

typedef struct _CalibrationState {
    BOOL Calibrating;
    LONG LastRawX;
    LONG LastRawY;
    TouchSample LastFetched; // never reset after start
    TouchSample LastPolled;  // reset after every release
    InjectedButtons LastInjected;
    DWORD LastButtons; // bit 0 left, bit 1 right
    Estimate FirstEstimate;
    Estimate SecondEstimate;
} CalibrationState;

class MainDialog;

typedef struct _PanelState {
    DeviceLink Link;
    PanelSettings Settings;
    CalibrationState Calibration;
    HWND MainWindow;
    MainDialog* Main;
} PanelState;

// The state of the running panel (of the calling thread's program on the
// host, where several programs share one process).
PanelState* Panel();
