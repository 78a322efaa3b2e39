#include "apps/panel/calibration.h"

#include "apps/common/settings_store.h"

#include <string.h>

#define PIXEL_LIMIT 1000000

Estimate PairEstimate(const CalibrationPoint* a, const CalibrationPoint* b) {
    Estimate e;
    e.Kx = (a->ScreenX - b->ScreenX) / (a->RawX - b->RawX);
    e.Ky = (a->ScreenY - b->ScreenY) / (a->RawY - b->RawY);
    e.Cx = (a->RawX * b->ScreenX - a->ScreenX * b->RawX) / (a->RawX - b->RawX);
    e.Cy = (b->ScreenY * a->RawY - b->RawY * a->ScreenY) / (a->RawY - b->RawY);
    return e;
}

static double Distance(double a, double b) {
    return a > b ? a - b : b - a;
}

BOOL PairIsDistinct(const CalibrationPoint* a, const CalibrationPoint* b) {
    return Distance(a->RawX, b->RawX) > 0.1 && Distance(a->RawY, b->RawY) > 0.1;
}

LONG TableScale(INT osCode) {
    if (osCode != 2000) {
        return 65535;
    }
    char flag[OS_FLAG_BUFFER];
    memset(flag, 0, sizeof flag);
    ReadOsFlag(flag);
    return lstrcmpiA(flag, "xp") == 0 ? 65535 : 32767;
}

USHORT ComputeTableEntry(const PanelSettings* settings, TableAxis axis, INT index, LONG scale) {
    double k = axis == TableAxisX ? settings->Kx : settings->Ky;
    double c = axis == TableAxisX ? settings->Cx : settings->Cy;
    INT extent = axis == TableAxisX ? settings->ScreenWidth : settings->ScreenHeight;
    double position = index * k + c + 0.5;
    // Out of range (or not a number) before the conversion, which would
    // otherwise be undefined; such positions end as 0 all the same.
    LONG pixel = 0;
    if (position > -1.0 && position < PIXEL_LIMIT + 1.0) {
        pixel = (LONG)position;
    }
    if (pixel < 0 || pixel > PIXEL_LIMIT) {
        pixel = 0;
    }
    if (extent <= 0) {
        return 0;
    }
    double value = (double)pixel / extent * scale;
    if (value > scale) {
        return (USHORT)scale;
    }
    return (USHORT)(LONG)value;
}

VOID Pause(DWORD milliseconds) {
    HANDLE never = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (never == NULL) {
        return;
    }
    WaitForSingleObject(never, milliseconds);
    CloseHandle(never);
}
