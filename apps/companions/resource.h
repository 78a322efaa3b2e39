// Resource identifiers of the companion programs.
#pragma once

#define IDD_KEYFLIP 100
#define IDD_BEEP 101
#define IDC_RIGHT_BUTTON 1001
#define IDC_BEEP_STATE 1002
