// The operating-system code with which the control panel and the
// uninstaller tell the systems apart.
#pragma once

#include "apps/common/win.h"

#define OS_CODE_2000 2000 // NT 5.0
#define OS_CODE_XP 2001   // NT 5.x other than 5.0
#define OS_CODE_9X 9598   // 95, 98, Me
#define OS_CODE_WIN32S 3132
#define OS_CODE_UNKNOWN (-1)

INT GetOsCode(void);

// On Windows 2000 only: whether the setup installed the "xp" driver family
// ("osflg", compared without regard to case). On every other code the
// value is not read and the answer is FALSE.
BOOL Win2000RunsXpDrivers(INT osCode);
