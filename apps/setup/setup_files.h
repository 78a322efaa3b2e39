// Installation steps of the setup program that the driver installation
// calls: the platform code, the autostart entry and the last-error box.
#pragma once

#include "apps/common/win.h"

#define PLATFORM_9598 9598
#define PLATFORM_NT 2001
#define PLATFORM_WIN32S 3132
#define PLATFORM_UNKNOWN (-1)

INT ClassifyPlatform(void);
BOOL RegisterAutostart(LPCSTR command);
void ShowLastError(void);
