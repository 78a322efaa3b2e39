// The class/port connection of the keyboard and mouse stacks as the DDK's
// kbdmou.h declares it, for the host build (mouse side only).
#pragma once

#include "platform/input/ntddmou.h"

#define IOCTL_INTERNAL_MOUSE_CONNECT                                                               \
    CTL_CODE(FILE_DEVICE_MOUSE, 0x0080, METHOD_NEITHER, FILE_ANY_ACCESS)
#define IOCTL_INTERNAL_MOUSE_DISCONNECT                                                            \
    CTL_CODE(FILE_DEVICE_MOUSE, 0x0100, METHOD_NEITHER, FILE_ANY_ACCESS)
#define IOCTL_INTERNAL_MOUSE_ENABLE                                                                \
    CTL_CODE(FILE_DEVICE_MOUSE, 0x0200, METHOD_NEITHER, FILE_ANY_ACCESS)
#define IOCTL_INTERNAL_MOUSE_DISABLE                                                               \
    CTL_CODE(FILE_DEVICE_MOUSE, 0x0400, METHOD_NEITHER, FILE_ANY_ACCESS)

// Input of IOCTL_INTERNAL_MOUSE_CONNECT, passed as the type-3 input buffer.
typedef struct _CONNECT_DATA {
    PDEVICE_OBJECT ClassDeviceObject;
    PVOID ClassService;
} CONNECT_DATA, *PCONNECT_DATA;

// The class service callback: (class device object, first packet, one past
// the last packet, consumed count). Called at DISPATCH_LEVEL.
typedef VOID (*PSERVICE_CALLBACK_ROUTINE)(PVOID NormalContext, PVOID SystemArgument1,
                                          PVOID SystemArgument2, PVOID SystemArgument3);
