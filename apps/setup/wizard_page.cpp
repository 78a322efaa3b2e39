#include "apps/setup/resource.h"
#include "apps/setup/wizard_pages.h"

DEFINE_DIALOG_EVENTS(WizardPage, ModalDialog)
OnCommand(IDC_EXIT, &WizardPage::OnCancel), OnCommand(IDC_PREV, &WizardPage::OnPrev),
    END_DIALOG_EVENTS()
