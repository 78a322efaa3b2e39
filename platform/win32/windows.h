// The Win32 stand-in as programs see it: the subset of windows.h, commctrl.h,
// setupapi.h, ddeml.h and shlobj.h that the programs call, under the real names.
#pragma once

#include "platform/win32/win_types.h"
#include "platform/win32/win_base.h"
#include "platform/win32/win_user.h"
#include "platform/win32/win_dde.h"
#include "platform/win32/win_shell.h"
#include "platform/setupapi/setupapi.h"
