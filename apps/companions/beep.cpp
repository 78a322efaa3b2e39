// beep: sounds a short beep at each press of the left button, found by
// polling the button's physical state.
#include "apps/common/app.h"
#include "apps/common/modal_dialog.h"
#include "apps/companions/beep_sound.h"
#include "apps/companions/companion_entries.h"
#include "apps/companions/resource.h"

#define POLL_TIMER_ID 1
#define POLL_PERIOD_MS 20

namespace {

class BeepDialog : public ModalDialog {
public:
    BeepDialog() : ModalDialog(IDD_BEEP), wasDown_(FALSE) {}

protected:
    BOOL OnInitDialog() override {
        ModalDialog::OnInitDialog();
        wasDown_ = (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0;
        SetTimer(Handle(), POLL_TIMER_ID, POLL_PERIOD_MS, NULL);
        return TRUE;
    }

private:
    void OnPoll(UINT_PTR id) {
        UNREFERENCED_PARAMETER(id);
        SHORT state = GetAsyncKeyState(VK_LBUTTON);
        BOOL down = (state & 0x8000) != 0;
        // The low bit catches a click that began and ended between polls.
        if ((down && !wasDown_) || (state & 1) != 0) {
            PlayPressBeep();
        }
        wasDown_ = down;
    }

    void OnCloseWindow() {
        KillTimer(Handle(), POLL_TIMER_ID);
        Default();
    }

    BOOL wasDown_;

    DECLARE_DIALOG_EVENTS(BeepDialog)
};

DEFINE_DIALOG_EVENTS(BeepDialog, ModalDialog)
OnTimer(&BeepDialog::OnPoll), OnMessageVoid(WM_CLOSE, &BeepDialog::OnCloseWindow),
    END_DIALOG_EVENTS()

        class BeepApp : public Application {
public:
    BOOL InitInstance() override {
        BeepDialog dialog;
        SetMainDialog(&dialog);
        dialog.DoModal();
        SetMainDialog(NULL);
        return FALSE;
    }
};

} // namespace

PROGRAM_ENTRY(BeepMain, BeepApp)
