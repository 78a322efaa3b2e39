// Events, waits and delays.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"

using platform::kernel::detail::K;

VOID KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State) {
    K().dispatcher.Initialize(Event, Type, State);
}

LONG KeSetEvent(PRKEVENT Event, KPRIORITY Increment, BOOLEAN Wait) {
    UNREFERENCED_PARAMETER(Increment);
    UNREFERENCED_PARAMETER(Wait);
    platform::kernel::detail::CheckNotInDeletedDevice(Event, "KeSetEvent");
    return K().dispatcher.Set(Event);
}

LONG KeResetEvent(PRKEVENT Event) {
    return K().dispatcher.Reset(Event);
}

VOID KeClearEvent(PRKEVENT Event) {
    K().dispatcher.Reset(Event);
}

LONG KeReadStateEvent(PRKEVENT Event) {
    return K().dispatcher.Read(Event);
}

NTSTATUS KeWaitForSingleObject(PVOID Object, KWAIT_REASON WaitReason, KPROCESSOR_MODE WaitMode,
                               BOOLEAN Alertable, PLARGE_INTEGER Timeout) {
    UNREFERENCED_PARAMETER(WaitReason);
    UNREFERENCED_PARAMETER(WaitMode);
    UNREFERENCED_PARAMETER(Alertable);
    return K().dispatcher.Wait(static_cast<PRKEVENT>(Object), Timeout, "KeWaitForSingleObject");
}

NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE WaitMode, BOOLEAN Alertable,
                                PLARGE_INTEGER Interval) {
    UNREFERENCED_PARAMETER(WaitMode);
    UNREFERENCED_PARAMETER(Alertable);
    LARGE_INTEGER none;
    none.QuadPart = 0;
    return K().dispatcher.Wait(nullptr, Interval ? Interval : &none, "KeDelayExecutionThread");
}
