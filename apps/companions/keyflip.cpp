// keyflip: while "Right button" is checked the primary mouse button is
// swapped, so a touch clicks with the right button. The system's own
// setting comes back when the window closes.
#include "apps/common/app.h"
#include "apps/common/modal_dialog.h"
#include "apps/companions/companion_entries.h"
#include "apps/companions/resource.h"

namespace {

class KeyflipDialog : public ModalDialog {
public:
    KeyflipDialog() : ModalDialog(IDD_KEYFLIP), wasSwapped_(FALSE) {}

protected:
    BOOL OnInitDialog() override {
        ModalDialog::OnInitDialog();
        // SwapMouseButton answers with the state it replaces.
        wasSwapped_ = SwapMouseButton(FALSE);
        SwapMouseButton(wasSwapped_);
        return TRUE;
    }

private:
    void OnRightButton() {
        BOOL on = IsDlgButtonChecked(Handle(), IDC_RIGHT_BUTTON) == BST_CHECKED;
        SwapMouseButton(on ? !wasSwapped_ : wasSwapped_);
    }

    void OnCloseWindow() {
        SwapMouseButton(wasSwapped_);
        Default();
    }

    BOOL wasSwapped_;

    DECLARE_DIALOG_EVENTS(KeyflipDialog)
};

DEFINE_DIALOG_EVENTS(KeyflipDialog, ModalDialog)
OnCommand(IDC_RIGHT_BUTTON, &KeyflipDialog::OnRightButton),
    OnMessageVoid(WM_CLOSE, &KeyflipDialog::OnCloseWindow),
    END_DIALOG_EVENTS()

        class KeyflipApp : public Application {
public:
    BOOL InitInstance() override {
        KeyflipDialog dialog;
        SetMainDialog(&dialog);
        dialog.DoModal();
        SetMainDialog(NULL);
        return FALSE;
    }
};

} // namespace

PROGRAM_ENTRY(KeyflipMain, KeyflipApp)
