// The control panel's link to the touch driver: one process-wide object,
// synchronous, used only from the user-interface thread. Failures show a
// plain "Error" box; a failed point request ends the link for the rest of
// the process (the screen was unplugged).
#pragma once

#include "apps/common/win.h"

// The status ReadPoint reports when the point request failed.
#define DEVICE_LINK_STATUS_FAILED 0xFE

typedef int(WINAPI* MessageBoxFunction)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

class DeviceLink {
public:
    DeviceLink();

    // Opens "\\.\vududode" without read or write access; on failure shows
    // "No USB Infrared screen found" and keeps no handle.
    BOOL OpenDevice();
    // Closes a held handle. Always TRUE.
    BOOL CloseDevice();
    // One IOCTL_TOUCH_GET_POINT. FALSE without a call once removed or
    // without a handle (outputs untouched); FALSE with all outputs 0 when
    // the queue is empty; FALSE with status DEVICE_LINK_STATUS_FAILED, one
    // "USB device has beed removed." box and the link removed when the
    // request fails.
    BOOL ReadPoint(LONG* x, LONG* y, BYTE* status);
    // One IOCTL_TOUCH_COMMAND with the code in byte 0. FALSE without a call
    // once removed or without a handle; FALSE with a "Send Command to Device
    // Fail" box when the request fails, which leaves the link usable.
    BOOL SendCommand(BYTE code);
    // Reads and discards points until ReadPoint gives FALSE.
    VOID DrainPoints();

    HANDLE Handle;                  // NULL when none is held
    LONG Removed;                   // set by the first failed point request, never cleared
    DWORD BytesReturned;            // of the last exchange
    MessageBoxFunction ShowMessage; // MessageBoxA; tests may record instead

private:
    VOID ShowError(LPCSTR text);
};
