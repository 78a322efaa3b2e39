#include "apps/common/panel_settings.h"

#include "apps/common/settings_store.h"

#include <stdlib.h>

// FALSE when the value does not exist (the number is then 0.0).
static BOOL ReadCoefficient(LPCSTR name, double* number) {
    char text[SETTING_TEXT_QUERY + 1] = "";
    LONG error = ReadSettingText(name, text, sizeof text);
    *number = atof(text);
    return error == ERROR_SUCCESS;
}

static INT ReadSwitch(LPCSTR name) {
    char text[SETTING_TEXT_QUERY + 1] = "0";
    ReadSettingText(name, text, sizeof text);
    return atoi(text);
}

VOID LoadCoefficients(PanelSettings* settings) {
    BOOL found = ReadCoefficient("Kx", &settings->Kx);
    found &= ReadCoefficient("Ky", &settings->Ky);
    found &= ReadCoefficient("Cx", &settings->Cx);
    found &= ReadCoefficient("Cy", &settings->Cy);
    settings->HasCoefficients = found;
}

VOID LoadPanelSettings(PanelSettings* settings) {
    LoadCoefficients(settings);
    ReadSettingText("comport", settings->Port, sizeof settings->Port);
    settings->SimulateMouse = ReadSwitch("chgbutton");
    settings->PlayBeep = ReadSwitch("beep");
    settings->ScreenWidth = GetSystemMetrics(SM_CXSCREEN);
    settings->ScreenHeight = GetSystemMetrics(SM_CYSCREEN);
}
