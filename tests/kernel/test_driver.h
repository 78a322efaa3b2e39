// A small driver written for the I/O manager's tests: device objects with a
// Layer extension, dispatch routines as plain functions that a test installs,
// and a log the routines write to.
#pragma once

#include "platform/kernel/kernel.h"
#include "tests/support/kernel_fixture.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace kernel_test {

using platform::kernel::Kernel;

constexpr uint64_t kMs = 10'000; // 100-ns units

struct Layer {
    PDEVICE_OBJECT self;
    PDEVICE_OBJECT lower;     // nullptr at the bottom
    char name;                // 'a' for the first device created, then 'b', 'c' ...
    PDRIVER_DISPATCH handler; // device and internal device control requests
};

inline Layer* LayerOf(PDEVICE_OBJECT device) {
    return static_cast<Layer*>(device->DeviceExtension);
}

// What the routines saw, in order: "dispatch b", "completion c", ...
inline std::vector<std::string> gLog;
inline std::vector<PIRP> gHeld;    // requests held by HoldRequest
inline ULONG_PTR gInformation = 0; // what CompleteRequest reports
inline NTSTATUS gStatus = STATUS_SUCCESS;

inline NTSTATUS TestEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    UNREFERENCED_PARAMETER(driver);
    gLog.push_back("entry " + platform::kernel::Narrow(*registryPath));
    return STATUS_SUCCESS;
}

// Completes with gStatus and gInformation.
inline NTSTATUS CompleteRequest(PDEVICE_OBJECT device, PIRP irp) {
    gLog.push_back(std::string("dispatch ") + LayerOf(device)->name);
    irp->IoStatus.Status = gStatus;
    irp->IoStatus.Information = gInformation;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return gStatus;
}

// Marks pending and keeps the request in gHeld.
inline NTSTATUS HoldRequest(PDEVICE_OBJECT device, PIRP irp) {
    gLog.push_back(std::string("hold ") + LayerOf(device)->name);
    IoMarkIrpPending(irp);
    gHeld.push_back(irp);
    return STATUS_PENDING;
}

inline NTSTATUS PassDown(PDEVICE_OBJECT device, PIRP irp) {
    gLog.push_back(std::string("pass ") + LayerOf(device)->name);
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(LayerOf(device)->lower, irp);
}

// Records its device's layer (or "top" for the originator) and PendingReturned.
inline NTSTATUS LogCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
    UNREFERENCED_PARAMETER(context);
    std::string who = device ? std::string(1, LayerOf(device)->name) : "top";
    gLog.push_back("completion " + who + (irp->PendingReturned ? " pending" : ""));
    if (device && irp->PendingReturned)
        IoMarkIrpPending(irp);
    return STATUS_CONTINUE_COMPLETION;
}

// The originator's routine: claims the request back.
inline NTSTATUS ClaimCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
    UNREFERENCED_PARAMETER(context);
    std::string who = device ? std::string(1, LayerOf(device)->name) : "top";
    gLog.push_back("claim " + who + (irp->PendingReturned ? " pending" : ""));
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// Forwards with a completion routine that logs and propagates the pending flag.
inline NTSTATUS ForwardWithRoutine(PDEVICE_OBJECT device, PIRP irp) {
    gLog.push_back(std::string("forward ") + LayerOf(device)->name);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, LogCompletion, nullptr, TRUE, TRUE, TRUE);
    return IoCallDriver(LayerOf(device)->lower, irp);
}

// The driver's dispatch routine: logs opens and closes and completes them;
// hands control requests to the layer's handler.
inline NTSTATUS RouteToLayer(PDEVICE_OBJECT device, PIRP irp) {
    UCHAR major = IoGetCurrentIrpStackLocation(irp)->MajorFunction;
    if (major == IRP_MJ_DEVICE_CONTROL || major == IRP_MJ_INTERNAL_DEVICE_CONTROL)
        return LayerOf(device)->handler(device, irp);
    const char* what = major == IRP_MJ_CREATE    ? "create "
                       : major == IRP_MJ_CLEANUP ? "cleanup "
                                                 : "close ";
    gLog.push_back(what + std::string(1, LayerOf(device)->name));
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

// Forwards with a routine that only propagates the pending flag (no log:
// safe on any thread).
inline NTSTATUS ForwardWithRoutineQuiet(PDEVICE_OBJECT device, PIRP irp) {
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(
        irp,
        [](PDEVICE_OBJECT, PIRP request, PVOID) {
            if (request->PendingReturned)
                IoMarkIrpPending(request);
            return STATUS_CONTINUE_COMPLETION;
        },
        nullptr, TRUE, TRUE, TRUE);
    return IoCallDriver(LayerOf(device)->lower, irp);
}

// A kernel with the test driver loaded and helpers to build device stacks.
class IoFixture : public kernel_testing::KernelFixture {
protected:
    IoFixture() {
        gLog.clear();
        gHeld.clear();
        gInformation = 0;
        gStatus = STATUS_SUCCESS;
        driver = kernel.LoadDriver("testdrv", TestEntry);
        for (UCHAR major : {IRP_MJ_CREATE, IRP_MJ_CLEANUP, IRP_MJ_CLOSE, IRP_MJ_DEVICE_CONTROL,
                            IRP_MJ_INTERNAL_DEVICE_CONTROL})
            driver->MajorFunction[major] = RouteToLayer;
    }

    void TearDown() override {
        for (auto device = devices.rbegin(); device != devices.rend(); ++device) {
            if (LayerOf(*device)->lower)
                IoDetachDevice(LayerOf(*device)->lower);
            IoDeleteDevice(*device);
        }
        devices.clear();
        kernel.UnloadDriver(driver);
        KernelFixture::TearDown();
    }

    // A named ("\Device\x") or unnamed device with a Layer extension.
    PDEVICE_OBJECT CreateDevice(const char* name = nullptr, BOOLEAN exclusive = FALSE) {
        std::u16string wide = name ? platform::kernel::Widen(name) : u"";
        UNICODE_STRING text{static_cast<USHORT>(wide.size() * 2),
                            static_cast<USHORT>(wide.size() * 2), wide.data()};
        PDEVICE_OBJECT device = nullptr;
        NTSTATUS status = IoCreateDevice(driver, sizeof(Layer), name ? &text : nullptr,
                                         FILE_DEVICE_UNKNOWN, 0, exclusive, &device);
        EXPECT_EQ(status, STATUS_SUCCESS);
        if (!device)
            return nullptr;
        device->Flags &= ~DO_DEVICE_INITIALIZING;
        *LayerOf(device) =
            Layer{device, nullptr, static_cast<char>('a' + devices.size()), CompleteRequest};
        devices.push_back(device);
        return device;
    }

    // One device per handler, bottom first, each attached above the one
    // before; returns the top.
    PDEVICE_OBJECT CreateStack(std::initializer_list<PDRIVER_DISPATCH> handlers) {
        PDEVICE_OBJECT top = nullptr;
        for (PDRIVER_DISPATCH handler : handlers) {
            PDEVICE_OBJECT device = CreateDevice();
            LayerOf(device)->handler = handler;
            if (top)
                LayerOf(device)->lower = IoAttachDeviceToDeviceStack(device, top);
            top = device;
        }
        return top;
    }

    // A driver-allocated request for the stack of top, as an originator
    // builds it: next location set up, ClaimCompletion as its routine.
    PIRP BuildRequest(PDEVICE_OBJECT top, ULONG code = 0x222003) {
        PIRP irp = IoAllocateIrp(top->StackSize, FALSE);
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
        next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        next->Parameters.DeviceIoControl.IoControlCode = code;
        IoSetCompletionRoutine(irp, ClaimCompletion, nullptr, TRUE, TRUE, TRUE);
        return irp;
    }

    PDRIVER_OBJECT driver = nullptr;
    std::vector<PDEVICE_OBJECT> devices;
};

} // namespace kernel_test
