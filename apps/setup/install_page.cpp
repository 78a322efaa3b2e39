#include "apps/setup/resource.h"
#include "apps/setup/wizard_pages.h"

#include <string.h>

InstallPage::InstallPage(WizardState* state) : WizardPage(IDD_INSTALL, state) {}

BOOL InstallPage::OnInitDialog() {
    WizardPage::OnInitDialog();
    state_->installPage = Handle();
    // Fits: the path holds at most INSTALL_PATH_MAX characters.
    static const char kPanel[] = "\\tpanel.exe";
    size_t length = strlen(state_->installPath);
    memcpy(state_->controlPanelPath, state_->installPath, length);
    memcpy(state_->controlPanelPath + length, kPanel, sizeof kPanel);
    return TRUE;
}

void InstallPage::OnStart() {
    StartInstall(state_);
    EndDialog(PAGE_NEXT);
}

DEFINE_DIALOG_EVENTS(InstallPage, WizardPage)
OnCommand(IDC_INSTALL_PREV, &InstallPage::OnPrev), OnCommand(IDC_START, &InstallPage::OnStart),
    END_DIALOG_EVENTS()
