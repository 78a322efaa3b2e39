#include "apps/panel/check_dialog.h"

#include "apps/panel/resource.h"

DEFINE_DIALOG_EVENTS(CheckDialog, ModalDialog)
OnTimer(&CheckDialog::OnTick), OnCommand(IDC_CHECK_OK, &CheckDialog::OnConfirm),
    END_DIALOG_EVENTS()

        CheckDialog::CheckDialog(ModalDialog* parent)
    : ModalDialog(IDD_CHECK, parent) {}

BOOL CheckDialog::OnInitDialog() {
    ModalDialog::OnInitDialog();
    SetDlgItemTextA(Handle(), IDC_CHECK_COUNT, "0");
    SendDlgItemMessageA(Handle(), IDC_CHECK_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, CHECK_TICKS));
    SendDlgItemMessageA(Handle(), IDC_CHECK_BAR, PBM_SETPOS, 0, 0);
    SetTimer(Handle(), CHECK_TIMER_ID, CHECK_TICK_MS, NULL);
    return TRUE;
}

void CheckDialog::OnTick(UINT_PTR id) {
    UNREFERENCED_PARAMETER(id);
    int position = (int)SendDlgItemMessageA(Handle(), IDC_CHECK_BAR, PBM_GETPOS, 0, 0);
    if (position >= CHECK_TICKS) {
        KillTimer(Handle(), CHECK_TIMER_ID);
        EndDialog(0);
        return;
    }
    SendDlgItemMessageA(Handle(), IDC_CHECK_BAR, PBM_SETPOS, position + 1, 0);
    SetDlgItemInt(Handle(), IDC_CHECK_COUNT, position + 1, TRUE);
}

void CheckDialog::OnConfirm() {
    EndDialog(CHECK_RESULT_DONE);
}
