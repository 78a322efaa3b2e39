// Resource and control identifiers of tpanel.
#pragma once

#define IDD_ABOUT 100
#define IDS_ABOUT 101
#define IDD_MAIN 102
#define IDD_TARGET 131
#define IDR_TRAY_MENU 133
#define IDI_PANEL 134
#define IDB_PRODUCT 139
#define IDD_CHECK 156

#define IDC_CONFIG 1006
#define IDC_SAVE 1009
#define IDC_TARGET 1011
#define IDC_CANCEL_CALIBRATION 1015
#define IDC_UP_MODE 1017
#define IDC_DOWN_MODE 1018
#define IDC_DRAG_MODE 1019
#define IDC_STABILITY 1021
#define IDC_SIMULATE_MOUSE 1026
#define IDC_CLOSE 1028
#define IDC_PORT 1030
#define IDC_PORT_GROUP 1032
#define IDC_MOUSEKEY 1033
#define IDC_MOUSEKEY_GROUP 1034
#define IDC_CHECK_BAR 1036
#define IDC_CHECK_COUNT 1037
#define IDC_CHECK_OK 1038
#define IDC_HELP_BUTTON 1039
#define IDC_PLAY_BEEP 1040

#define IDM_SHOW 32771
#define IDM_CONFIG 32772
#define IDM_EXIT 32773
#define IDM_SAVE 32774
#define IDM_ABOUT 32775

// The system menu's "About" item.
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
