// The companion programs (keyflip: window "Function"; beep: window "beep"),
// the help file and the About box. Missing programs fail silently.
#pragma once

#include "apps/common/modal_dialog.h"
#include "apps/panel/resource.h"

#define KEYFLIP_WINDOW "Function"
#define BEEP_WINDOW "beep"

// The directory of the panel's own program file, ending in "\".
BOOL PanelDirectory(LPSTR buffer, DWORD size);

VOID ApplySimulateMouse(BOOL on);
VOID ApplyBeep(BOOL on);
VOID ToggleKeyflip(VOID);
VOID OpenHelp(HWND owner);

class AboutDialog : public ModalDialog {
public:
    explicit AboutDialog(ModalDialog* parent) : ModalDialog(IDD_ABOUT, parent) {}
};
