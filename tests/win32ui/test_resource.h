// Identifiers of the test dialog resources.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_TEST 100
#define IDD_CLASSIC 101
#define IDD_CHILD 102
#define IDI_TEST 134
#define IDB_TEST 139
#define IDM_TEST 133
#define IDS_ABOUT 101

#define IDC_CONFIG 1006
#define IDC_PATH 1013
#define IDC_MODE1 1017
#define IDC_MODE2 1018
#define IDC_MODE3 1019
#define IDC_SLIDER 1021
#define IDC_SIMULATE 1026
#define IDC_PORT 1030
#define IDC_BAR 1036
#define IDC_COUNT 1037
#define IDC_PICTURE 1041
#define IDC_LOGO 1042

#define IDM_SHOW 32771
#define IDM_EXIT 32773
