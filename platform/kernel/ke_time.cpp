// The tick count and system time, read from the virtual clock.
#include "platform/kernel/kernel_state.h"

using platform::kernel::detail::Clock;
using platform::kernel::detail::K;

VOID KeQueryTickCount(PLARGE_INTEGER CurrentCount) {
    CurrentCount->QuadPart = static_cast<LONGLONG>(K().clock.Now() / K().clock.TickLength());
}

ULONG KeQueryTimeIncrement(void) {
    return K().clock.TickLength();
}

VOID KeQuerySystemTime(PLARGE_INTEGER CurrentTime) {
    CurrentTime->QuadPart = static_cast<LONGLONG>(Clock::kBootSystemTime + K().clock.Now());
}
