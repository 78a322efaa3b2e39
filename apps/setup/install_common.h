// What the driver installations of both systems share: paths beside the
// setup program and in the Windows directory, and the common step that
// queues and copies an INF's files. Private to the driver installation.
#pragma once

#include "apps/common/win.h"

#define SETUP_PATH_SIZE MAX_PATH

// The setup program's directory with its trailing backslash.
BOOL GetSetupDirectory(LPSTR buffer, DWORD size);
// The Windows or system directory; FALSE when it does not fit `size`.
BOOL GetWindowsDir(LPSTR buffer, DWORD size);
BOOL GetSystemDir(LPSTR buffer, DWORD size);
// buffer = first + second; FALSE (buffer empty) when it does not fit.
BOOL JoinPath(LPSTR buffer, DWORD size, LPCSTR first, LPCSTR second);

// The operation's own steps, run while the INF is still open.
typedef void (*INF_FURTHER_STEPS)(HWND owner, HINF inf, LPCSTR setupDirectory, PVOID context);

// Opens setupDirectory + infName (style 2, with infClass if not NULL), sets
// directory id 65659 to `targetDirectory`, queues `filesSection` from the
// setup directory with SP_COPY_NEWER and commits it with FileQueueCallback,
// runs `further`, and cleans up. TRUE when queueing and committing
// succeeded; FALSE when the INF, its id or its queue could not be set up.
BOOL InstallInfFiles(HWND owner, LPCSTR infName, LPCSTR infClass, LPCSTR filesSection,
                     LPCSTR targetDirectory, INF_FURTHER_STEPS further, PVOID context);
