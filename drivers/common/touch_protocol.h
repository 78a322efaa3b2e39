// What the touch driver and its clients (the input drivers, the control
// panel, the setup wizard) agree on. Include after ddk.h (drivers) or the
// programs' Win32 header: it uses their UCHAR/USHORT/ULONG/GUID.
#pragma once

#include <stddef.h>

// Control codes: device type 0x22, METHOD_BUFFERED, FILE_ANY_ACCESS.
#define IOCTL_TOUCH_COMMAND 0x220004UL       // device control, control panel
#define IOCTL_TOUCH_GET_POINT 0x220008UL     // device control, control panel
#define IOCTL_TOUCH_READ_POINT 0x222004UL    // internal device control, input drivers
#define IOCTL_TOUCH_RELEASE_READS 0x222008UL // internal device control, input drivers

// Commands carried in byte 0 of TOUCH_COMMAND_FRAME.
#define TOUCH_CMD_RAW_ON 4
#define TOUCH_CMD_RAW_OFF 5
#define TOUCH_CMD_RELOAD 6

// Touch status bytes of a report.
#define TOUCH_STATUS_DOWN 0x81
#define TOUCH_STATUS_HOLD 0x82
#define TOUCH_STATUS_UP 0x84

// X = Y = status = 111 in a point frame means: no point queued.
#define TOUCH_NO_POINT 111

#define TOUCH_DEVICE_NAME_TEXT "\\Device\\vududo"
#define TOUCH_DOS_NAME_TEXT "\\DosDevices\\vududode"
#define TOUCH_USER_NAME "\\\\.\\vududode"
#define TOUCH_DOS_DEVICE "vududode"

// {C0CF0648-5F6E-11D2-B677-00C0DFE4C1FB}
static const GUID GUID_TOUCH_INTERFACE = {
    0xC0CF0648, 0x5F6E, 0x11D2, {0xB6, 0x77, 0x00, 0xC0, 0xDF, 0xE4, 0xC1, 0xFB}};

#pragma pack(push, 1)

// One 8-byte report of the screen, as received.
typedef struct _TOUCH_REPORT {
    UCHAR Reserved0;
    UCHAR Status;
    USHORT RawX;
    USHORT RawY;
    UCHAR Reserved6[2];
} TOUCH_REPORT, *PTOUCH_REPORT;

// Output of IOCTL_TOUCH_READ_POINT; byte for byte the HID bridge's input report.
typedef struct _TOUCH_POINT {
    UCHAR Status; // button (1 down, 0 up), or the raw status byte in raw mode
    USHORT X;
    USHORT Y;
} TOUCH_POINT, *PTOUCH_POINT;

// Input of IOCTL_TOUCH_COMMAND: exactly 16 bytes.
typedef struct _TOUCH_COMMAND_FRAME {
    UCHAR Command;
    UCHAR Reserved[15];
} TOUCH_COMMAND_FRAME, *PTOUCH_COMMAND_FRAME;

// Output of IOCTL_TOUCH_GET_POINT: exactly 16 bytes.
typedef struct _TOUCH_POINT_FRAME {
    ULONG Reserved;
    ULONG X;
    ULONG Y;
    ULONG Status;
} TOUCH_POINT_FRAME, *PTOUCH_POINT_FRAME;

#pragma pack(pop)

static_assert(sizeof(TOUCH_REPORT) == 8, "report_size");
static_assert(offsetof(TOUCH_REPORT, Status) == 1, "report_status");
static_assert(offsetof(TOUCH_REPORT, RawX) == 2, "report_x");
static_assert(offsetof(TOUCH_REPORT, RawY) == 4, "report_y");
static_assert(sizeof(TOUCH_POINT) == 5, "point_size");
static_assert(offsetof(TOUCH_POINT, X) == 1, "point_x");
static_assert(offsetof(TOUCH_POINT, Y) == 3, "point_y");
static_assert(sizeof(TOUCH_COMMAND_FRAME) == 16, "command_size");
static_assert(sizeof(TOUCH_POINT_FRAME) == 16, "frame_size");
static_assert(offsetof(TOUCH_POINT_FRAME, X) == 4, "frame_x");
static_assert(offsetof(TOUCH_POINT_FRAME, Y) == 8, "frame_y");
static_assert(offsetof(TOUCH_POINT_FRAME, Status) == 12, "frame_status");
static_assert(IOCTL_TOUCH_COMMAND == ((0x22UL << 16) | (1UL << 2)), "command_code");
static_assert(IOCTL_TOUCH_GET_POINT == ((0x22UL << 16) | (2UL << 2)), "get_point_code");
static_assert(IOCTL_TOUCH_READ_POINT == ((0x22UL << 16) | (0x801UL << 2)), "read_point_code");
static_assert(IOCTL_TOUCH_RELEASE_READS == ((0x22UL << 16) | (0x802UL << 2)), "release_code");
