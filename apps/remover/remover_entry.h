// The host's entry point of the uninstaller, for the machine's program
// catalogue. On Windows the program's entry is its WinMain.
#pragma once

#include "apps/common/win.h"

#if !defined(_WIN32)
int WINAPI RemoverMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);
#endif
