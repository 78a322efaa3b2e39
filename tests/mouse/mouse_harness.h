// The mouse service driver on its root device, with the mouse class stand-in
// above it, brought up and down by the Plug and Play manager.
//
// The root device's PDO belongs to a test bus driver that logs every request
// reaching it and can finish them later, from the scheduler at
// DISPATCH_LEVEL, as a bus driver that works asynchronously would. The Plug
// and Play manager of the stand-in knows no upper filters yet, so the stack's
// entry adds the mouse class device right after the driver's own AddDevice,
// where the class filter of the Mouse setup class would go.
#pragma once

#include "drivers/mouse/pelmoxp.h"
#include "platform/input/mouse_class.h"
#include "platform/trace/trace.h"
#include "tests/support/kernel_fixture.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace mouse_testing {

constexpr uint64_t kMs = 10'000; // 100-ns units

inline std::string Hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x", value);
    return text;
}

// --- The root bus: one PDO per test.

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

// --- The stack's entry: pelmoxp with the mouse class above it.

inline platform::input::MouseClass* gMouseClass = nullptr;
// Runs right after pelmoxp's own AddDevice, before the start.
inline std::function<void()> gAfterAddDevice;

inline NTSTATUS StackAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    NTSTATUS status = MouseAddDevice(driver, pdo);
    if (NT_SUCCESS(status) && gAfterAddDevice)
        gAfterAddDevice();
    if (NT_SUCCESS(status) && gMouseClass != nullptr)
        status = gMouseClass->AddDevice(pdo);
    return status;
}

inline NTSTATUS MouseStackEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    NTSTATUS status = MouseDriverEntry(driver, registryPath);
    driver->DriverExtension->AddDevice = StackAddDevice;
    return status;
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

// --- The fixture.

using DeviceState = platform::kernel::Kernel::DeviceState;
using platform::input::MouseClass;

class MouseStackTest : public kernel_testing::KernelFixture {
protected:
    void SetUp() override {
        platform::trace::SetSink([this](const std::string& line) {
            std::lock_guard lock(traceMutex_);
            trace_.push_back(line);
        });
        mouseClass.emplace();
        gMouseClass = &*mouseClass;
        busDriver_ = kernel.LoadDriver("rootbus", RootEntry);
        ASSERT_EQ(IoCreateDevice(busDriver_, sizeof(RootScript*), nullptr, FILE_DEVICE_BUS_EXTENDER,
                                 FILE_AUTOGENERATED_DEVICE_NAME, FALSE, &rootPdo),
                  STATUS_SUCCESS);
        ScriptOf(rootPdo) = &root;
        rootPdo->Flags &= ~DO_DEVICE_INITIALIZING;
    }

    void TearDown() override {
        RemoveMouse();
        ReleaseTouch();
        mouseClass.reset();
        gMouseClass = nullptr;
        gAfterAddDevice = nullptr;
        IoDeleteDevice(rootPdo);
        kernel.UnloadDriver(busDriver_);
        platform::trace::SetSink(nullptr);
        KernelFixture::TearDown();
    }

    // Takes down what a test put on the touch side, after the mouse device.
    virtual void ReleaseTouch() {}

    NTSTATUS PlugMouse() {
        NTSTATUS status = kernel.PlugInDevice(rootPdo, "ROOT\\TOUCHSCREEN\\0000", "pelmoxp",
                                              MouseStackEntry, &node);
        kernel.RunDueEvents();
        return status;
    }

    void RemoveMouse() {
        if (node == nullptr)
            return;
        DeviceState state = kernel.StateOf(node);
        if (state == DeviceState::Started || state == DeviceState::Stopped) {
            EXPECT_EQ(kernel.RemoveDevice(node), STATUS_SUCCESS);
        }
        kernel.RunDueEvents();
    }

    // pelmoxp's device: right above the PDO.
    PDEVICE_OBJECT MouseDevice() const { return rootPdo->AttachedDevice; }
    PMOUSE_DEVICE_EXTENSION Mouse() const {
        return static_cast<PMOUSE_DEVICE_EXTENSION>(MouseDevice()->DeviceExtension);
    }
    PTOUCH_LINK Link() const { return &Mouse()->Link; }

    void Advance(uint64_t ms) { kernel.AdvanceTime(ms * kMs); }

    // The trace lines from "mouse" and "pointer", without their times.
    std::vector<std::string> InputTrace() {
        std::lock_guard lock(traceMutex_);
        std::vector<std::string> lines;
        for (const std::string& line : trace_) {
            std::string text = line.substr(line.find(' ') + 1);
            if (text.rfind("mouse ", 0) == 0 || text.rfind("pointer ", 0) == 0)
                lines.push_back(text);
        }
        return lines;
    }
    std::vector<std::string> TakeInputTrace() {
        std::vector<std::string> lines = InputTrace();
        std::lock_guard lock(traceMutex_);
        trace_.clear();
        return lines;
    }
    std::vector<std::string> RawTrace() {
        std::lock_guard lock(traceMutex_);
        return trace_;
    }
    // Packet lines only: "flags=... buttons=... raw=... x=... y=...".
    std::vector<std::string> Packets() {
        std::vector<std::string> packets;
        for (const std::string& line : InputTrace()) {
            if (line.rfind("mouse packet ", 0) == 0)
                packets.push_back(line.substr(13));
        }
        return packets;
    }

    std::optional<MouseClass> mouseClass;
    RootScript root;
    PDEVICE_OBJECT rootPdo = nullptr;
    platform::kernel::DeviceNode* node = nullptr;

private:
    PDRIVER_OBJECT busDriver_ = nullptr;
    std::mutex traceMutex_;
    std::vector<std::string> trace_;
};

} // namespace mouse_testing
