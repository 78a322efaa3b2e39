// Driver installation per operating system: the HID bridge and the touch
// driver on Windows 98, the root mouse device and the touch driver on
// 2000/XP. Every INF lies beside the setup program, below "win98\" or
// "win2kxp\". Runs on the user-interface thread; `owner` owns the message
// boxes and the setup library's progress windows.
#pragma once

#include "apps/common/win.h"

#define TOUCH_USB_ID "VID_595A&PID_0001"

// 98: always TRUE.
BOOL InstallDriversWin98(HWND owner, LPCSTR autostartCommand);
BOOL InstallHidBridge98(HWND owner);
BOOL RemoveOldUsbRegistration98(LPCSTR usbId);
BOOL InstallTouchDriver98(HWND owner);

// Both: whether the touch driver is loaded.
BOOL TouchDriverPresent(void);

// 2000/XP.
void RemoveRootTouchDevices(HWND owner);
BOOL InstallDriversNt(HWND owner, LPCSTR autostartCommand);
BOOL InstallMouseServiceNt(HWND owner);
BOOL CreateRootTouchDevice(HWND owner);
BOOL InstallTouchDriverNt(HWND owner);

// Skips files that cannot be deleted; all else goes to the default
// callback, whose context `context` is.
UINT CALLBACK FileQueueCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2);
