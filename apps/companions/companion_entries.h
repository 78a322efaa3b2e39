// The host's entry points of the companion programs, for the machine's
// program catalogue. On Windows each program's entry is its WinMain.
#pragma once

#include "apps/common/win.h"

#if !defined(_WIN32)
int WINAPI KeyflipMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);
int WINAPI BeepMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);
#endif
