#include "apps/setup/resource.h"
#include "apps/setup/wizard_pages.h"

#include <string.h>

OsTypePage::OsTypePage(WizardState* state) : WizardPage(IDD_OS_TYPE, state) {}

BOOL OsTypePage::OnInitDialog() {
    WizardPage::OnInitDialog();
    int platform = ClassifyPlatform();
    Enable(IDC_OS_98, FALSE);
    Enable(IDC_OS_2000, FALSE);
    ShowWindow(Item(IDC_OS_2000), SW_HIDE);
    SetDlgItemTextA(Handle(), IDC_OS_XP, "USB Win2k/XP driver");
    Enable(IDC_OS_XP, FALSE);
    if (platform == PLATFORM_9598) {
        Enable(IDC_OS_98, TRUE);
    } else if (platform == PLATFORM_NT) {
        Enable(IDC_OS_XP, TRUE);
    }
    // The earlier choice shows, but Next waits for a click.
    if (lstrcmpiA(state_->osChoice, "usb98") == 0) {
        CheckDlgButton(Handle(), IDC_OS_98, BST_CHECKED);
    } else if (lstrcmpiA(state_->osChoice, "usbxp") == 0) {
        CheckDlgButton(Handle(), IDC_OS_XP, BST_CHECKED);
    }
    return TRUE;
}

void OsTypePage::Choose(int id) {
    CheckRadioButton(Handle(), IDC_OS_98, IDC_OS_XP, id);
    Enable(IDC_NEXT, TRUE);
}

void OsTypePage::OnChoose98() {
    Choose(IDC_OS_98);
}

void OsTypePage::OnChooseXp() {
    Choose(IDC_OS_XP);
}

void OsTypePage::OnOsNext() {
    memset(state_->osChoice, 0, sizeof state_->osChoice);
    if (IsDlgButtonChecked(Handle(), IDC_OS_98) == BST_CHECKED) {
        memcpy(state_->osChoice, "usb98", 6);
    } else if (IsDlgButtonChecked(Handle(), IDC_OS_XP) == BST_CHECKED) {
        memcpy(state_->osChoice, "usbxp", 6);
    }
    if (state_->osChoice[0] == '\0') {
        PageMessageBox(Handle(), "Please select OS type", MB_OK);
        return;
    }
    OnNext();
}

DEFINE_DIALOG_EVENTS(OsTypePage, WizardPage)
OnCommand(IDC_OS_98, &OsTypePage::OnChoose98), OnCommand(IDC_OS_XP, &OsTypePage::OnChooseXp),
    OnCommand(IDC_NEXT, &OsTypePage::OnOsNext), END_DIALOG_EVENTS()
