#include "apps/setup/resource.h"
#include "apps/setup/wizard_pages.h"

namespace {

const UINT_PTR kTickTimer = 1;
const int kLastPosition = 3;

} // namespace

ProgressPage::ProgressPage(WizardState* state) : ModalDialog(IDD_PROGRESS), state_(state) {}

BOOL ProgressPage::OnInitDialog() {
    ModalDialog::OnInitDialog();
    SendDlgItemMessageA(Handle(), IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, kLastPosition));
    SendDlgItemMessageA(Handle(), IDC_PROGRESS, PBM_SETPOS, 0, 0);
    SetTimer(Handle(), kTickTimer, 1000, NULL);
    return TRUE;
}

void ProgressPage::OnTick(UINT_PTR) {
    if (state_->progressCounter > kLastPosition) {
        KillTimer(Handle(), kTickTimer);
        EndDialog(PAGE_NEXT);
        return;
    }
    SendDlgItemMessageA(Handle(), IDC_PROGRESS, PBM_SETPOS, (WPARAM)state_->progressCounter, 0);
    ++state_->progressCounter;
}

DEFINE_DIALOG_EVENTS(ProgressPage, ModalDialog)
OnTimer(&ProgressPage::OnTick), END_DIALOG_EVENTS()
