// Resource and control identifiers of the setup wizard.
#pragma once

#define IDD_PROGRESS 102
#define IDR_SETUP 128
#define IDD_LICENCE 129
#define IDB_SIDE 131
#define IDD_OS_TYPE 132
#define IDB_OS_TYPE 134
#define IDD_PATH 135
#define IDD_INSTALL 136
#define IDD_BACKGROUND 137
#define IDR_AGREEMENT 138

#define IDC_PROGRESS 1000
#define IDC_PREV 1002
#define IDC_NEXT 1003
#define IDC_AGREE 1005
#define IDC_DISAGREE 1006
#define IDC_OS_98 1007
#define IDC_OS_2000 1008
#define IDC_OS_XP 1009
#define IDC_PATH 1013
#define IDC_EXIT 1014
#define IDC_SELECT 1016
#define IDC_START 1021
#define IDC_AGREEMENT 1022
#define IDC_INSTALL_PREV 1023
// The copy's source and destination, as setup_files.h names them.
#ifndef IDC_COPY_SOURCE
#define IDC_COPY_SOURCE 1019
#define IDC_COPY_DESTINATION 1020
#endif

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
