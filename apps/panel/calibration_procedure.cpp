#include "apps/common/panel_settings.h"
#include "apps/common/settings_store.h"
#include "apps/panel/calibration.h"
#include "apps/panel/check_dialog.h"
#include "apps/panel/main_dialog.h"
#include "apps/panel/target_screen.h"
#include "drivers/common/touch_protocol.h"

#define CAPTURE_STOP_PAUSE_MS 200

VOID CalibrationProcedure(MainDialog* main) {
    PanelState* panel = Panel();
    TargetScreen target(main);
    CheckDialog check(main);
    for (;;) {
        panel->Calibration.Calibrating = TRUE;
        if (main->DevicePresent()) {
            // Points queued before raw mode are not calibration touches.
            panel->Link.DrainPoints();
            panel->Link.SendCommand(TOUCH_CMD_RAW_ON);
            SetTimer(panel->MainWindow, POLL_TIMER_ID, POLL_PERIOD_MS, NULL);
        }
        // 1 is the cancel button: nothing is read or saved. The cancel key
        // (2) still saves what is stored.
        if (target.DoModal() != 1) {
            LoadCoefficients(&panel->Settings);
            main->EnableSave();
            main->SaveSettings();
        }
        KillTimer(panel->MainWindow, POLL_TIMER_ID);
        Pause(CAPTURE_STOP_PAUSE_MS);
        if (main->DevicePresent()) {
            panel->Link.SendCommand(TOUCH_CMD_RAW_OFF);
        }
        panel->Calibration.Calibrating = FALSE;
        if (check.DoModal() == CHECK_RESULT_DONE) {
            break;
        }
    }
    WriteSettingText("IsCfg", "YES");
}
