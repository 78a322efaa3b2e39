// The host's entry point of the setup wizard, for the machine's program
// catalogue. On Windows the program's entry is its WinMain.
#pragma once

#include "apps/common/win.h"

#if !defined(_WIN32)
int WINAPI SetupMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);
#endif
