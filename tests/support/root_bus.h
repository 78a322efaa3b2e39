// A test bus driver for the input stacks' root device: one PDO per test,
// logging every request that reaches it and able to finish them later, from
// the scheduler at DISPATCH_LEVEL, as a bus driver that works asynchronously
// would. Also the requests a test sends down such a stack itself.
#pragma once

#include "platform/kernel/kernel.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace input_testing {

constexpr uint64_t kMs = 10'000; // 100-ns units

inline std::string Hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x", value);
    return text;
}

struct RootScript {
    std::mutex mutex;
    std::vector<std::string> log; // "pnp 00", "power 02"
    bool later = false;           // finish requests 1 ms later at DISPATCH_LEVEL

    size_t Count(const std::string& entry) {
        std::lock_guard lock(mutex);
        return static_cast<size_t>(std::count(log.begin(), log.end(), entry));
    }
};

inline RootScript*& ScriptOf(PDEVICE_OBJECT pdo) {
    return *static_cast<RootScript**>(pdo->DeviceExtension);
}

inline NTSTATUS RootFinish(PIRP irp, NTSTATUS status, bool later) {
    if (!later) {
        irp->IoStatus.Status = status;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return status;
    }
    IoMarkIrpPending(irp);
    auto& kernel = platform::kernel::Kernel::Current();
    kernel.Schedule(
        kernel.Now() + kMs,
        [irp, status] {
            irp->IoStatus.Status = status;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
        },
        DISPATCH_LEVEL);
    return STATUS_PENDING;
}

// State changes succeed; anything else keeps the status it came with.
inline NTSTATUS RootPnp(PDEVICE_OBJECT pdo, PIRP irp) {
    RootScript& script = *ScriptOf(pdo);
    const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    bool later;
    {
        std::lock_guard lock(script.mutex);
        script.log.push_back("pnp " + Hex2(minor));
        later = script.later;
    }
    switch (minor) {
    case IRP_MN_START_DEVICE:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_QUERY_PNP_DEVICE_STATE:
        return RootFinish(irp, STATUS_SUCCESS, later);
    default:
        return RootFinish(irp, irp->IoStatus.Status, later);
    }
}

inline NTSTATUS RootPower(PDEVICE_OBJECT pdo, PIRP irp) {
    RootScript& script = *ScriptOf(pdo);
    bool later;
    {
        std::lock_guard lock(script.mutex);
        script.log.push_back("power " + Hex2(IoGetCurrentIrpStackLocation(irp)->MinorFunction));
        later = script.later;
    }
    PoStartNextPowerIrp(irp);
    return RootFinish(irp, STATUS_SUCCESS, later);
}

inline NTSTATUS RootEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->MajorFunction[IRP_MJ_PNP] = RootPnp;
    driver->MajorFunction[IRP_MJ_POWER] = RootPower;
    return STATUS_SUCCESS;
}

// --- Requests a test sends itself.

struct Answer {
    NTSTATUS status;
    ULONG_PTR information;
};

// A Plug and Play request as the manager builds one, waited for.
inline Answer SendPnp(PDEVICE_OBJECT target, UCHAR minor, ULONG_PTR information = 0,
                      BUS_QUERY_ID_TYPE idType = BusQueryDeviceID) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    PIRP irp = IoAllocateIrp(target->StackSize, FALSE);
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    irp->IoStatus.Information = information;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_PNP;
    next->MinorFunction = minor;
    next->Parameters.QueryId.IdType = idType;
    IoSetCompletionRoutine(
        irp,
        [](PDEVICE_OBJECT, PIRP, PVOID context) -> NTSTATUS {
            KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
            return STATUS_MORE_PROCESSING_REQUIRED;
        },
        &done, TRUE, TRUE, TRUE);
    if (IoCallDriver(target, irp) == STATUS_PENDING)
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    Answer answer{irp->IoStatus.Status, irp->IoStatus.Information};
    IoFreeIrp(irp);
    return answer;
}

// An internal device control request, waited for. A request that fails at
// once leaves the status block untouched, as on Windows: Information 0.
inline Answer SendInternal(PDEVICE_OBJECT target, ULONG code, PVOID in, ULONG inLength,
                           PVOID out = nullptr, ULONG outLength = 0) {
    KEVENT done;
    IO_STATUS_BLOCK status{};
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    PIRP irp = IoBuildDeviceIoControlRequest(code, target, in, inLength, out, outLength, TRUE,
                                             &done, &status);
    NTSTATUS called = IoCallDriver(target, irp);
    if (called == STATUS_PENDING)
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    else if (!NT_SUCCESS(called))
        return {called, 0}; // the I/O manager leaves the status block alone
    return {status.Status, status.Information};
}

} // namespace input_testing
