// The confirmation after a calibration: OK within ten seconds ends the
// procedure (2, also by the cancel key or the close box); the eleventh
// one-second tick (0) or Enter (1) restarts it.
#pragma once

#include "apps/common/modal_dialog.h"

#define CHECK_TIMER_ID 0
#define CHECK_TICK_MS 1000
#define CHECK_TICKS 10
#define CHECK_RESULT_DONE 2

class CheckDialog : public ModalDialog {
public:
    explicit CheckDialog(ModalDialog* parent);

protected:
    BOOL OnInitDialog() override;

private:
    void OnTick(UINT_PTR id);
    void OnConfirm();

    DECLARE_DIALOG_EVENTS(CheckDialog)
};
