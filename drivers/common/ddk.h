// The one header every driver source includes first: the real DDK headers on
// Windows, the kernel stand-in on the host. KTEXT makes a UTF-16 literal on
// both (wchar_t is 16 bits on Windows, char16_t on the host).
#pragma once

#if defined(_WIN32)
// mingw-w64's wdm.h redeclares these intrinsics that intrin.h already defined.
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#define __INTRINSIC_DEFINED_InterlockedBitTestAndComplement
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet64
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset64
#define __INTRINSIC_DEFINED_InterlockedBitTestAndComplement64
// Its wdm.h also tests NTDDI_WINVISTA, which its sdkddkver.h never defines.
#ifndef NTDDI_WINVISTA
#define NTDDI_WINVISTA 0x06000000
#endif
extern "C" {
#include <ntddk.h>
#include <usbdi.h>
#include <usbdlib.h>
#include <usbioctl.h>
#include <kbdmou.h>
#include <ntddmou.h>
}
#define KTEXT_(s) L##s
#else
#include "platform/kernel/ntddk.h"
#include "platform/usb/usbdi.h"
#include "platform/input/kbdmou.h"
#define KTEXT_(s) u##s
#endif

#define KTEXT(s) KTEXT_(s)

// The IRQL a routine expects, asserted as a checked build asserts it: the
// host's verifier reports a breach; free builds on Windows compile it away.
#define EXPECT_PASSIVE_LEVEL() ASSERT(KeGetCurrentIrql() == PASSIVE_LEVEL)
#define EXPECT_DISPATCH_LEVEL_OR_BELOW() ASSERT(KeGetCurrentIrql() <= DISPATCH_LEVEL)

#include "drivers/common/hid_minidriver.h"

#define DRIVER_TAG(a, b, c, d)                                                                     \
    ((ULONG)(a) | ((ULONG)(b) << 8) | ((ULONG)(c) << 16) | ((ULONG)(d) << 24))
