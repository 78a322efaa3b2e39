// Windows 2000 and XP: the root-enumerated Mouse-class device
// "ROOT\TOUCHSCREEN\NNNN" for the mouse service driver, and the touch
// driver's files and service.
#include "apps/setup/install_common.h"
#include "apps/setup/install_drivers.h"
#include "apps/setup/setup_files.h"

#include <string.h>

#define ROOT_TOUCH_ENUMERATOR "ROOT\\TOUCHSCREEN"
#define ROOT_TOUCH_LAST_ID 19

namespace {

// {4D36E96F-E325-11CE-BFC1-08002BE10318}
const GUID kMouseClass = {
    0x4D36E96F, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

BOOL RunRegKeySection(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD keyType, HINF inf,
                      LPCSTR section) {
    HKEY key = SetupDiCreateDevRegKeyA(set, device, DICS_FLAG_GLOBAL, 0, keyType, inf, section);
    if (key == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE))
        return FALSE;
    RegCloseKey(key);
    return TRUE;
}

// The created device's installation; FALSE (after the error box) stops it
// where it failed, with the last error set.
BOOL InstallRootDevice(HWND owner, HINF inf, HDEVINFO set, SP_DEVINFO_DATA* device,
                       LPCSTR infPath) {
    if (!SetupDiRegisterDeviceInfo(set, device, 0, NULL, NULL, NULL))
        return FALSE;
    SP_DEVINSTALL_PARAMS_A params;
    memset(&params, 0, sizeof params);
    params.cbSize = sizeof params;
    params.Flags = DI_ENUMSINGLEINF | DI_NOFILECOPY;
    params.FlagsEx = 0;
    params.hwndParent = owner;
    strcpy(params.DriverPath, infPath); // its length was checked by the caller
    if (!SetupDiSetDeviceInstallParamsA(set, device, &params))
        return FALSE;
    if (!RunRegKeySection(set, device, DIREG_DEV, inf, "pelmoxp1") ||
        !RunRegKeySection(set, device, DIREG_DRV, inf, "pelmoxp"))
        return FALSE;
    if (!SetupDiEnumDeviceInfo(set, 0, device) ||
        !SetupDiCallClassInstaller(DIF_SELECTDEVICE, set, device) ||
        !SetupDiCallClassInstaller(DIF_INSTALLDEVICE, set, device))
        return FALSE;
    if (!SetupInstallFromInfSectionA(owner, inf, "Orvan.Mfg", SPINST_INIFILES | SPINST_REGISTRY,
                                     NULL, NULL, 0, NULL, NULL, NULL, NULL))
        MessageBoxA(owner, "Install Error", "Error", MB_OK | MB_ICONERROR);
    return SetupInstallServicesFromInfSectionA(inf, "pelmoxp.Services", 0);
}

void TouchDriverSections(HWND owner, HINF inf, LPCSTR, PVOID) {
    if (!SetupInstallFromInfSectionA(owner, inf, "Orvan.Mfg", SPINST_INIFILES | SPINST_REGISTRY,
                                     NULL, NULL, 0, NULL, NULL, NULL, NULL))
        MessageBoxA(owner, "Install fail", "Error", MB_OK | MB_ICONERROR);
    if (!SetupInstallServicesFromInfSectionA(inf, "korvex.NT.Services", 0))
        ShowLastError();
}

} // namespace

void RemoveRootTouchDevices(HWND owner) {
    HDEVINFO set = SetupDiGetClassDevsA(&kMouseClass, ROOT_TOUCH_ENUMERATOR, owner, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device;
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i)
        SetupDiCallClassInstaller(DIF_REMOVE, set, &device);
    SetupDiDestroyDeviceInfoList(set);
}

BOOL CreateRootTouchDevice(HWND owner) {
    char setupDirectory[SETUP_PATH_SIZE], infPath[SETUP_PATH_SIZE];
    if (!GetSetupDirectory(setupDirectory, sizeof setupDirectory) ||
        !JoinPath(infPath, sizeof infPath, setupDirectory, "win2kxp\\pelmoxp.inf"))
        return FALSE;
    HINF inf = SetupOpenInfFileA(infPath, "MOUSE", INF_STYLE_WIN4, NULL);
    if (inf == INVALID_HANDLE_VALUE)
        return FALSE;
    BOOL result = TRUE;
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kMouseClass, owner);
    if (set == INVALID_HANDLE_VALUE) {
        ShowLastError();
    } else {
        SP_DEVINFO_DATA device;
        device.cbSize = sizeof device;
        BOOL created = FALSE;
        for (int number = 0; number <= ROOT_TOUCH_LAST_ID && !created; ++number) {
            char id[] = ROOT_TOUCH_ENUMERATOR "\\0000"; // the number as "%04d"
            id[sizeof id - 3] = static_cast<char>('0' + number / 10);
            id[sizeof id - 2] = static_cast<char>('0' + number % 10);
            created = SetupDiCreateDeviceInfoA(set, id, &kMouseClass,
                                               "win2kxp usb infrared touchscreen Service", owner, 0,
                                               &device);
        }
        // DriverPath holds MAX_PATH characters with the terminator.
        if (created && strlen(infPath) >= MAX_PATH)
            result = FALSE;
        else if (created && !InstallRootDevice(owner, inf, set, &device, infPath))
            ShowLastError();
        SetupDiDestroyDeviceInfoList(set);
    }
    SetupCloseInfFile(inf);
    return result;
}

BOOL InstallMouseServiceNt(HWND owner) {
    char setupDirectory[SETUP_PATH_SIZE], infPath[SETUP_PATH_SIZE];
    if (!GetSetupDirectory(setupDirectory, sizeof setupDirectory) ||
        !JoinPath(infPath, sizeof infPath, setupDirectory, "win2kxp\\pelmoxp.inf"))
        return FALSE;
    if (!SetupDiInstallClassA(owner, infPath, DI_FORCECOPY, NULL))
        return FALSE;
    return CreateRootTouchDevice(owner);
}

BOOL InstallTouchDriverNt(HWND owner) {
    char system[SETUP_PATH_SIZE];
    if (!GetSystemDir(system, sizeof system))
        return FALSE;
    return InstallInfFiles(owner, "win2kxp\\trilloxp.inf", NULL, "korvex.NT", system,
                           TouchDriverSections, NULL);
}

BOOL InstallDriversNt(HWND owner, LPCSTR autostartCommand) {
    if (!InstallMouseServiceNt(owner))
        return FALSE;
    if (!TouchDriverPresent() && !InstallTouchDriverNt(owner)) {
        MessageBoxA(owner, "Sorry Install usb device fail", "Prompt", MB_OK | MB_ICONERROR);
        return FALSE;
    }
    RegisterAutostart(autostartCommand);
    return TRUE;
}
