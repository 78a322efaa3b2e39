// The control panel's copy of the settings (one per process, zeroed at
// start) and its load at start-up.
#pragma once

#include "apps/common/win.h"

#define PANEL_TABLE_ENTRIES 5000
#define PANEL_PORT_SIZE 12

typedef struct _PanelSettings {
    char Port[PANEL_PORT_SIZE]; // "comport", cut to 11 characters
    double Kx;
    double Ky;
    double Cx;
    double Cy;
    // All four coefficients were found. Before the first calibration they
    // do not exist: the load then leaves them 0.0 and this FALSE, so a save
    // can tell that it has no calibration to compute tables from.
    BOOL HasCoefficients;
    INT SimulateMouse; // "chgbutton"
    INT PlayBeep;      // "beep"
    USHORT XTable[PANEL_TABLE_ENTRIES];
    USHORT YTable[PANEL_TABLE_ENTRIES];
    INT ScreenWidth;
    INT ScreenHeight;
    INT OsCode;
} PanelSettings;

// Coefficients (text to double), Port, SimulateMouse, PlayBeep (text to
// integer, "0" when missing or empty) and the screen size. Port keeps its
// contents when "comport" is missing. OsCode and the tables are not touched.
VOID LoadPanelSettings(PanelSettings* settings);

// Reads the four coefficients alone (after a calibration wrote them).
VOID LoadCoefficients(PanelSettings* settings);
