// The full-screen target screen: one target at a time at 10 % and 90 % of
// the screen; every completed click on it records the last raw touch for
// the current target. Ends with 0 after the fourth target, 1 by its
// (hidden) cancel button, 2 by the cancel key.
#pragma once

#include "apps/common/modal_dialog.h"
#include "apps/panel/calibration.h"

#define TARGET_COUNT 4

class TargetScreen : public ModalDialog {
public:
    explicit TargetScreen(ModalDialog* parent);

    INT TargetIndex;
    INT CalWidth;
    INT CalHeight;
    RECT CalRect;
    CalibrationPoint PairA; // ScreenA and RawA
    CalibrationPoint PairB; // ScreenB and RawB

    // The screen position of target index (0 to 3) in the maximised window.
    VOID TargetPosition(INT index, double* x, double* y) const;

protected:
    BOOL OnInitDialog() override;

private:
    void OnTarget();
    void OnCancelCalibration();
    LRESULT OnLButtonUp(WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void OnDestroy();
    void RecordTarget();
    void Paint();
    void PlaceCancelButton();

    DECLARE_DIALOG_EVENTS(TargetScreen)
};
