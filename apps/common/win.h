// The one header every program source includes first: the real Win32 headers
// on Windows, the Win32 stand-in on the host.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#include <commctrl.h>
#include <setupapi.h>
#include <ddeml.h>
#include <shlobj.h>
#else
#include "platform/win32/windows.h"
#endif
