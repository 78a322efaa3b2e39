// The painted window behind the pages, covering the screen. Its first
// timer tick runs the wizard; when the wizard ends it closes, and with it
// the program.
#pragma once

#include "apps/common/modal_dialog.h"
#include "apps/setup/wizard.h"

class BackgroundWindow : public ModalDialog {
public:
    explicit BackgroundWindow(WizardState* state);

protected:
    BOOL OnInitDialog() override;

private:
    void Paint(HDC dc);
    void InvalidateAll();
    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnInvalidatingMessage(WPARAM, LPARAM);
    LRESULT OnActivate(WPARAM, LPARAM);
    void OnTick(UINT_PTR id);

    WizardState* state_;
    int screenWidth_;
    int screenHeight_;

    DECLARE_DIALOG_EVENTS(BackgroundWindow)
};
