// The panel's main window: the touch mode, the stability slider, the
// companion options, the calibration's start and the save of every
// setting. It owns the timers 1028 (poll) and 1029 (automatic start).
#pragma once

#include "apps/common/modal_dialog.h"
#include "apps/panel/panel_state.h"

#define START_CALIBRATION_MESSAGE 9999
#define NOTIFY_ICON_MESSAGE (WM_USER + 1)
#define AUTO_START_TIMER_ID 1029
#define AUTO_START_DELAY_MS 100
#define NOTIFY_ICON_ID 1

class MainDialog : public ModalDialog {
public:
    MainDialog();

    BOOL DevicePresent() const { return devicePresent_; }
    VOID EnableSave();
    VOID SaveSettings();
    VOID ShutdownPanel();

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(DataExchange* exchange) override;

private:
    BOOL LoadSettings();
    void CloseKeyflipWindows();
    void AddAboutItem();
    void OnConfig();
    LRESULT OnStartCalibration(WPARAM wParam, LPARAM lParam);
    void OnSave();
    void OnSimulateMouse();
    void OnChanged();
    void OnSliderReleased(NMHDR* header, LRESULT* result);
    void OnMouseKey();
    void OnHelp();
    void OnCloseButton();
    void OnCloseWindow();
    void OnSystemCommand(UINT id, LPARAM lParam);
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnQueryDragIcon(WPARAM wParam, LPARAM lParam);
    LRESULT OnNotifyIcon(WPARAM wParam, LPARAM lParam);
    void OnShow();
    void OnExit();
    void OnAbout();
    void OnMainTimer(UINT_PTR id);

    BOOL devicePresent_;
    HICON icon_;
    char portText_[PANEL_PORT_SIZE];

    DECLARE_DIALOG_EVENTS(MainDialog)
};
