#include "tests/touchsim/probe_program.h"

#include "platform/win32/windows.h"
#include "tests/touchsim/probe_resource.h"

#include <cstring>

namespace touchsim_testing {
namespace {

void SaveMode() {
    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Touch\\usbConfig", 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
        return;
    const char mode[] = "2";
    RegSetValueExA(key, "doneMode", 0, REG_SZ, reinterpret_cast<const BYTE*>(mode),
                   static_cast<DWORD>(std::strlen(mode)));
    RegCloseKey(key);
}

INT_PTR CALLBACK ProbeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message != WM_COMMAND)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_CHECK:
        MessageBoxA(dialog, "No USB Infrared screen found", "Error", MB_OK | MB_ICONERROR);
        return TRUE;
    case IDC_SAVE:
        SaveMode();
        return TRUE;
    case IDOK:
    case IDCANCEL:
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

int WINAPI ProbeMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return static_cast<int>(
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PROBE), nullptr, ProbeProc, 0));
}

} // namespace

platform::win32::ProgramSpec ProbeProgram() {
    platform::win32::ProgramSpec spec;
    spec.name = "probe";
    spec.entry = ProbeMain;
    spec.module = "touchsim_probe";
    return spec;
}

} // namespace touchsim_testing
