// beep.dll: the sound the beep program makes at each press.
#pragma once

#include "apps/common/win.h"

#if defined(_WIN32) && defined(BEEP_DLL_BUILD)
#define BEEP_API __declspec(dllexport)
#elif defined(_WIN32)
#define BEEP_API __declspec(dllimport)
#else
#define BEEP_API
#endif

extern "C" BEEP_API BOOL PlayPressBeep(void);
