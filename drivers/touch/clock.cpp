// The decoding core's clock over the kernel's tick count. Any IRQL.
#include "drivers/touch/korvex.h"

ULONGLONG TouchClockTicks(VOID) {
    // KeQueryTickCount reads the 64-bit count consistently on 32-bit systems.
    LARGE_INTEGER ticks;
    KeQueryTickCount(&ticks);
    return (ULONGLONG)ticks.QuadPart;
}

ULONG TouchClockTickLength(VOID) {
    return KeQueryTimeIncrement();
}
