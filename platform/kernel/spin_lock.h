// Spin lock words shared by the Ke spin lock calls, the interlocked lists and
// the cancel spin lock: zero is free, a held lock holds its owner's ThreadTag.
#pragma once

#include "platform/kernel/ntddk.h"

namespace platform::kernel::detail {

// Takes the lock without touching the IRQL. Reports (and does not spin) when
// the calling thread holds it already; reports a lock held for longer than a
// generous real-time cap and then takes it over.
void AcquireSpinWord(PKSPIN_LOCK lock, const char* caller);
// False (and reported) when the calling thread does not hold the lock.
bool ReleaseSpinWord(PKSPIN_LOCK lock, const char* caller);
bool HoldsSpinWord(PKSPIN_LOCK lock);
// Runs Kernel::SetLockReleaseHook's hook, if any, for a lock just released.
void RunLockReleaseHook(PKSPIN_LOCK lock);

} // namespace platform::kernel::detail
