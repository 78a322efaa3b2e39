#include "apps/setup/install_drivers.h"
#include "apps/setup/resource.h"
#include "apps/setup/wizard.h"

void StartInstall(WizardState* state) {
    HWND page = state->installPage;
    EnableWindow(GetDlgItem(page, IDC_INSTALL_PREV), FALSE);
    BOOL installed;
    if (lstrcmpiA(state->osChoice, "usb98") == 0) {
        // A failed copy has shown its message.
        if (!CopyProgramFiles(state->installPath, page)) {
            return;
        }
        installed = InstallDriversWin98(page, state->controlPanelPath);
        WriteOsFlag("98");
    } else if (lstrcmpiA(state->osChoice, "usbxp") == 0) {
        if (!CopyProgramFiles(state->installPath, page)) {
            return;
        }
        RemoveRootTouchDevices(page);
        installed = InstallDriversNt(page, state->controlPanelPath);
        WriteOsFlag("xp");
    } else {
        return;
    }
    if (!installed) {
        return;
    }
    CreateProgramGroup(state->installPath, page);
    MessageBoxA(page, "Install finished,the computer will reboot.", "Prompt",
                MB_OK | MB_ICONINFORMATION);
    RestartComputer();
}
