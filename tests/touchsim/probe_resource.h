// Identifiers of the probe program's dialog.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_PROBE 100
#define IDC_CHECK 1001
#define IDC_SAVE 1002
