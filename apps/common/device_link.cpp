#include "apps/common/device_link.h"

#include "drivers/common/touch_protocol.h"

#include <string.h>

static ULONG FrameField(const BYTE* frame, size_t offset) {
    return (ULONG)frame[offset] | (ULONG)frame[offset + 1] << 8 | (ULONG)frame[offset + 2] << 16 |
           (ULONG)frame[offset + 3] << 24;
}

DeviceLink::DeviceLink() : Handle(NULL), Removed(0), BytesReturned(0), ShowMessage(MessageBoxA) {}

VOID DeviceLink::ShowError(LPCSTR text) {
    ShowMessage(NULL, text, "Error", MB_OK | MB_ICONERROR);
}

BOOL DeviceLink::OpenDevice() {
    HANDLE handle = CreateFileA(TOUCH_USER_NAME, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, 0, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        ShowError("No USB Infrared screen found");
        return FALSE;
    }
    Handle = handle;
    return TRUE;
}

BOOL DeviceLink::CloseDevice() {
    if (Handle != NULL) {
        CloseHandle(Handle);
        Handle = NULL;
    }
    return TRUE;
}

BOOL DeviceLink::ReadPoint(LONG* x, LONG* y, BYTE* status) {
    if (Removed || Handle == NULL) {
        return FALSE;
    }
    BYTE frame[sizeof(TOUCH_POINT_FRAME)];
    memset(frame, 0, sizeof frame);
    SetLastError(0);
    if (!DeviceIoControl(Handle, IOCTL_TOUCH_GET_POINT, NULL, 0, frame, sizeof frame,
                         &BytesReturned, NULL)) {
        Removed = 1;
        CloseDevice();
        *status = DEVICE_LINK_STATUS_FAILED;
        ShowError("USB device has beed removed.");
        return FALSE;
    }
    *x = (LONG)FrameField(frame, offsetof(TOUCH_POINT_FRAME, X));
    *y = (LONG)FrameField(frame, offsetof(TOUCH_POINT_FRAME, Y));
    *status = frame[offsetof(TOUCH_POINT_FRAME, Status)];
    if (*status == TOUCH_NO_POINT && *y == TOUCH_NO_POINT && *x == TOUCH_NO_POINT) {
        *x = 0;
        *y = 0;
        *status = 0;
        return FALSE;
    }
    return TRUE;
}

BOOL DeviceLink::SendCommand(BYTE code) {
    if (Removed || Handle == NULL) {
        return FALSE;
    }
    TOUCH_COMMAND_FRAME frame;
    memset(&frame, 0, sizeof frame);
    frame.Command = code;
    SetLastError(0);
    if (!DeviceIoControl(Handle, IOCTL_TOUCH_COMMAND, &frame, sizeof frame, NULL, 0, &BytesReturned,
                         NULL)) {
        ShowError("Send Command to Device Fail");
        return FALSE;
    }
    return TRUE;
}

VOID DeviceLink::DrainPoints() {
    LONG x;
    LONG y;
    BYTE status;
    while (ReadPoint(&x, &y, &status)) {
    }
}
