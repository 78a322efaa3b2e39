// Events, WaitForSingleObject, Sleep and GetTickCount on the kernel's
// virtual clock. Waits block through the program runtime (BlockUntil), so
// control passes to other programs and timed events while one waits.
#include "platform/kernel/kernel.h"
#include "platform/win32/handle_table.h"
#include "platform/win32/runtime.h"
#include "platform/win32/win_base.h"

#include <atomic>

using namespace platform::win32::detail;

namespace {

struct EventObject : HandleObject {
    bool manualReset = false;
    std::atomic<bool> signalled{false};

    // A satisfied wait resets an auto-reset event.
    bool TryAcquire() { return manualReset ? signalled.load() : signalled.exchange(false); }
};

uint64_t DeadlineAfter(DWORD milliseconds) {
    if (milliseconds == INFINITE)
        return platform::win32::kNoDeadline;
    return platform::kernel::Kernel::Current().Now() + uint64_t(milliseconds) * 10000;
}

std::shared_ptr<EventObject> FindEvent(HANDLE handle) {
    auto object = FindHandleAs<EventObject>(reinterpret_cast<uintptr_t>(handle));
    if (!object)
        SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

} // namespace

// Named events are not shared between programs: the name is ignored.
HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                           BOOL bInitialState, LPCSTR lpName) {
    UNREFERENCED_PARAMETER(lpEventAttributes);
    UNREFERENCED_PARAMETER(lpName);
    auto object = std::make_shared<EventObject>();
    object->manualReset = bManualReset != FALSE;
    object->signalled = bInitialState != FALSE;
    SetLastError(ERROR_SUCCESS);
    return reinterpret_cast<HANDLE>(InsertHandle(std::move(object)));
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
    auto object = FindEvent(hEvent);
    if (!object)
        return FALSE;
    object->signalled = true;
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
    auto object = FindEvent(hEvent);
    if (!object)
        return FALSE;
    object->signalled = false;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    auto object = FindEvent(hHandle);
    if (!object)
        return WAIT_FAILED;
    bool signalled = platform::win32::BlockUntil([&] { return object->TryAcquire(); },
                                                 DeadlineAfter(dwMilliseconds));
    return signalled ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

VOID WINAPI Sleep(DWORD dwMilliseconds) {
    platform::win32::BlockUntil([] { return false; }, DeadlineAfter(dwMilliseconds));
}

// Milliseconds since boot, advancing by whole clock ticks as on Windows.
DWORD WINAPI GetTickCount(VOID) {
    const platform::kernel::Kernel& kernel = platform::kernel::Kernel::Current();
    uint64_t ticks = kernel.Now() / kernel.TickLength();
    return static_cast<DWORD>(ticks * kernel.TickLength() / 10000);
}
