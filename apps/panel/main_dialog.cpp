// First, before any C++ header turns on the compiler's own printf: sprintf
// is then msvcrt's, which every system has.
#include <stdio.h>

#include "apps/panel/main_dialog.h"

#include "apps/common/data_exchange.h"
#include "apps/common/os_code.h"
#include "apps/common/settings_store.h"
#include "apps/panel/calibration.h"
#include "apps/panel/companions.h"
#include "apps/panel/resource.h"
#include "drivers/common/touch_protocol.h"

#include <stdlib.h>
#include <string.h>

#define STABILITY_MAX 40
#define SAVE_PAUSE_MS 500
#define SHUTDOWN_PAUSE_MS 200
#define KEYFLIP_CLOSE_TRIES 5

DEFINE_DIALOG_EVENTS(MainDialog, ModalDialog)
OnCommand(IDC_CONFIG, &MainDialog::OnConfig),
    OnMessage(START_CALIBRATION_MESSAGE, &MainDialog::OnStartCalibration),
    OnCommand(IDC_SAVE, &MainDialog::OnSave),
    OnCommand(IDC_SIMULATE_MOUSE, &MainDialog::OnSimulateMouse),
    OnCommandRange(IDC_UP_MODE, IDC_DRAG_MODE, &MainDialog::OnChanged),
    OnControl(CBN_SELCHANGE, IDC_PORT, &MainDialog::OnChanged),
    OnNotify(NM_RELEASEDCAPTURE, IDC_STABILITY, &MainDialog::OnSliderReleased),
    OnCommand(IDC_MOUSEKEY, &MainDialog::OnMouseKey),
    OnCommand(IDC_HELP_BUTTON, &MainDialog::OnHelp),
    OnCommand(IDC_CLOSE, &MainDialog::OnCloseButton),
    OnMessageVoid(WM_CLOSE, &MainDialog::OnCloseWindow), OnSysCommand(&MainDialog::OnSystemCommand),
    OnMessage(WM_PAINT, &MainDialog::OnPaint),
    OnMessage(WM_QUERYDRAGICON, &MainDialog::OnQueryDragIcon),
    OnMessage(NOTIFY_ICON_MESSAGE, &MainDialog::OnNotifyIcon),
    OnCommand(IDM_SHOW, &MainDialog::OnShow), OnCommand(IDM_CONFIG, &MainDialog::OnConfig),
    OnCommand(IDM_SAVE, &MainDialog::OnSave), OnCommand(IDM_EXIT, &MainDialog::OnExit),
    OnCommand(IDM_ABOUT, &MainDialog::OnAbout), OnTimer(&MainDialog::OnMainTimer),
    END_DIALOG_EVENTS()

    // Entries as little-endian bytes, as the driver reads them.
    static VOID WriteTable(LPCSTR name, const USHORT* table) {
    BYTE bytes[PANEL_TABLE_ENTRIES * 2];
    for (INT i = 0; i < PANEL_TABLE_ENTRIES; ++i) {
        bytes[2 * i] = (BYTE)(table[i] & 0xFF);
        bytes[2 * i + 1] = (BYTE)(table[i] >> 8);
    }
    WriteSettingBinary(name, bytes, sizeof bytes);
}

MainDialog::MainDialog() : ModalDialog(IDD_MAIN), devicePresent_(TRUE), icon_(NULL) {
    portText_[0] = '\0';
    icon_ = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_PANEL));
}

void MainDialog::DoDataExchange(DataExchange* exchange) {
    ExchangeComboText(exchange, IDC_PORT, portText_, sizeof portText_);
}

void MainDialog::CloseKeyflipWindows() {
    for (int i = 0; i < KEYFLIP_CLOSE_TRIES; ++i) {
        HWND keyflip = FindWindowA(NULL, KEYFLIP_WINDOW);
        if (keyflip != NULL) {
            SendMessageA(keyflip, WM_CLOSE, 0, 0);
        }
    }
}

void MainDialog::AddAboutItem() {
    HMENU menu = GetSystemMenu(Handle(), FALSE);
    if (menu == NULL) {
        return;
    }
    char text[64];
    if (LoadStringA(GetModuleHandleA(NULL), IDS_ABOUT, text, sizeof text) > 0) {
        AppendMenuA(menu, MF_SEPARATOR, 0, NULL);
        AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, text);
    }
}

BOOL MainDialog::OnInitDialog() {
    PanelState* panel = Panel();
    devicePresent_ = TRUE;
    ModalDialog::OnInitDialog();
    // Known from the start: the poll timer and message 9999 need it even
    // when the settings are not loaded.
    panel->MainWindow = Handle();
    CloseKeyflipWindows();
    panel->Settings.OsCode = GetOsCode();
    RemoveAutostart("TouchCtl");
    AddAboutItem();
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, (LPARAM)icon_);
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, (LPARAM)icon_);
    // Taken in every case, so that a later save never divides by a zero
    // screen extent.
    panel->Settings.ScreenWidth = GetSystemMetrics(SM_CXSCREEN);
    panel->Settings.ScreenHeight = GetSystemMetrics(SM_CYSCREEN);

    if (!SettingsKeyExists()) {
        MessageBoxA(Handle(), "Please config the device immediately.", "Prompt",
                    MB_OK | MB_ICONERROR);
        UpdateData(FALSE);
        return TRUE;
    }
    LoadSettings();
    return TRUE;
}

BOOL MainDialog::LoadSettings() {
    PanelState* panel = Panel();
    CheckDlgButton(Handle(), IDC_UP_MODE, BST_UNCHECKED);
    CheckDlgButton(Handle(), IDC_DOWN_MODE, BST_UNCHECKED);
    CheckDlgButton(Handle(), IDC_DRAG_MODE, BST_UNCHECKED);
    char text[SETTING_TEXT_QUERY + 1] = "";
    ReadSettingText("doneMode", text, sizeof text);
    static const char* const kModes[] = {"1", "2", "3"};
    for (int i = 0; i < 3; ++i) {
        if (strcmp(text, kModes[i]) == 0) {
            CheckDlgButton(Handle(), IDC_UP_MODE + i, BST_CHECKED);
        }
    }

    HWND slider = Item(IDC_STABILITY);
    SendMessageA(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, STABILITY_MAX));
    for (int tick = 1; tick < STABILITY_MAX; ++tick) {
        SendMessageA(slider, TBM_SETTIC, 0, tick);
    }
    strcpy(text, "30");
    ReadSettingText("moveSlider", text, sizeof text);
    SendMessageA(slider, TBM_SETPOS, TRUE, atoi(text));

    ReadSettingText("comport", panel->Settings.Port, sizeof panel->Settings.Port);
    SendDlgItemMessageA(
        Handle(), IDC_PORT, CB_SETCURSEL,
        SendDlgItemMessageA(Handle(), IDC_PORT, CB_FINDSTRING, 0, (LPARAM)panel->Settings.Port), 0);
    LoadPanelSettings(&panel->Settings);
    CheckDlgButton(Handle(), IDC_SIMULATE_MOUSE,
                   panel->Settings.SimulateMouse == 1 ? BST_CHECKED : BST_UNCHECKED);
    if (!panel->Link.OpenDevice()) {
        devicePresent_ = FALSE;
    }
    CheckDlgButton(Handle(), IDC_PLAY_BEEP,
                   panel->Settings.PlayBeep == 1 ? BST_CHECKED : BST_UNCHECKED);
    if (devicePresent_) {
        ShowWindow(Item(IDC_CONFIG), SW_SHOW);
        if (!IsCalibrated()) {
            SetTimer(Handle(), AUTO_START_TIMER_ID, AUTO_START_DELAY_MS, NULL);
        }
    } else {
        ShowWindow(Item(IDC_CONFIG), SW_HIDE);
    }
    return TRUE;
}

VOID MainDialog::EnableSave() {
    EnableWindow(Item(IDC_SAVE), TRUE);
}

VOID MainDialog::SaveSettings() {
    PanelState* panel = Panel();
    PanelSettings* settings = &panel->Settings;
    EnsureSettingsKey();
    static const char* const kModes[] = {"1", "2", "3"};
    for (int i = 0; i < 3; ++i) {
        if (IsDlgButtonChecked(Handle(), IDC_UP_MODE + i) == BST_CHECKED) {
            WriteSettingText("doneMode", kModes[i]);
            break;
        }
    }
    ApplySimulateMouse(IsDlgButtonChecked(Handle(), IDC_SIMULATE_MOUSE) == BST_CHECKED);
    ApplyBeep(IsDlgButtonChecked(Handle(), IDC_PLAY_BEEP) == BST_CHECKED);

    HWND port = Item(IDC_PORT);
    LRESULT current = SendMessageA(port, CB_GETCURSEL, 0, 0);
    if (current != CB_ERR &&
        SendMessageA(port, CB_GETLBTEXTLEN, current, 0) < (LRESULT)sizeof settings->Port) {
        SendMessageA(port, CB_GETLBTEXT, current, (LPARAM)settings->Port);
    }
    WriteSettingText("comport", settings->Port);

    char text[16];
    sprintf(text, "%d", (int)SendDlgItemMessageA(Handle(), IDC_STABILITY, TBM_GETPOS, 0, 0));
    WriteSettingText("moveSlider", text);

    // Without coefficients there is no calibration to compute tables
    // from: the tables setup wrote stay.
    if (settings->HasCoefficients) {
        LONG scale = TableScale(settings->OsCode);
        for (INT i = 0; i < PANEL_TABLE_ENTRIES; ++i) {
            settings->XTable[i] = ComputeTableEntry(settings, TableAxisX, i, scale);
            settings->YTable[i] = ComputeTableEntry(settings, TableAxisY, i, scale);
        }
        WriteTable("XArray", settings->XTable);
        WriteTable("YArray", settings->YTable);
    }
    if (devicePresent_) {
        panel->Link.SendCommand(TOUCH_CMD_RELOAD);
    }
    EnableWindow(Item(IDC_SAVE), FALSE);
    Pause(SAVE_PAUSE_MS);
}

VOID MainDialog::ShutdownPanel() {
    NOTIFYICONDATAA icon;
    memset(&icon, 0, sizeof icon);
    icon.cbSize = sizeof icon;
    icon.hWnd = Handle();
    icon.uID = NOTIFY_ICON_ID;
    Shell_NotifyIconA(NIM_DELETE, &icon);
    Pause(SHUTDOWN_PAUSE_MS);
    if (devicePresent_) {
        Panel()->Link.CloseDevice();
    }
    Default();
}

void MainDialog::OnConfig() {
    CalibrationProcedure(this);
}

LRESULT MainDialog::OnStartCalibration(WPARAM wParam, LPARAM lParam) {
    UNREFERENCED_PARAMETER(wParam);
    UNREFERENCED_PARAMETER(lParam);
    CalibrationProcedure(this);
    return 0;
}

void MainDialog::OnSave() {
    SaveSettings();
}

void MainDialog::OnSimulateMouse() {
    SaveSettings();
}

void MainDialog::OnChanged() {
    EnableSave();
}

void MainDialog::OnSliderReleased(NMHDR* header, LRESULT* result) {
    UNREFERENCED_PARAMETER(header);
    *result = 0;
    EnableSave();
}

void MainDialog::OnMouseKey() {
    ToggleKeyflip();
}

void MainDialog::OnHelp() {
    OpenHelp(Handle());
}

void MainDialog::OnCloseButton() {
    SaveSettings();
    ShutdownPanel();
    EndDialog(0);
}

void MainDialog::OnCloseWindow() {
    ShutdownPanel();
}

void MainDialog::OnSystemCommand(UINT id, LPARAM lParam) {
    UNREFERENCED_PARAMETER(lParam);
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        OnAbout();
        return;
    }
    Default();
}

LRESULT MainDialog::OnPaint(WPARAM wParam, LPARAM lParam) {
    UNREFERENCED_PARAMETER(wParam);
    UNREFERENCED_PARAMETER(lParam);
    if (!PaintIconWhenMinimised(Handle(), icon_))
        return Default();
    return 0;
}

LRESULT MainDialog::OnQueryDragIcon(WPARAM wParam, LPARAM lParam) {
    UNREFERENCED_PARAMETER(wParam);
    UNREFERENCED_PARAMETER(lParam);
    return (LRESULT)icon_;
}

LRESULT MainDialog::OnNotifyIcon(WPARAM wParam, LPARAM lParam) {
    UNREFERENCED_PARAMETER(wParam);
    if (IsWindowVisible(Handle())) {
        return 0;
    }
    if (lParam == WM_LBUTTONDOWN) {
        ShowWindow(Handle(), SW_SHOW);
        SetForegroundWindow(Handle());
    } else if (lParam == WM_RBUTTONDOWN && !Panel()->Calibration.Calibrating) {
        HMENU menu = LoadMenuA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDR_TRAY_MENU));
        if (menu != NULL) {
            POINT at;
            GetCursorPos(&at);
            TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON, at.x, at.y, 0, Handle(), NULL);
            DestroyMenu(menu);
        }
    }
    return 0;
}

void MainDialog::OnShow() {
    ShowWindow(Handle(), SW_SHOW);
}

void MainDialog::OnExit() {
    ShutdownPanel();
}

void MainDialog::OnAbout() {
    AboutDialog about(this);
    about.DoModal();
}

void MainDialog::OnMainTimer(UINT_PTR id) {
    PanelState* panel = Panel();
    if (id == AUTO_START_TIMER_ID) {
        KillTimer(Handle(), AUTO_START_TIMER_ID);
        PostMessageA(Handle(), START_CALIBRATION_MESSAGE, 0, 0);
    } else if (id == POLL_TIMER_ID) {
        PollTouch(&panel->Calibration, &panel->Link, &panel->Settings);
    }
}
