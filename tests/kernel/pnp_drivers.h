// Drivers written for the Plug and Play and power tests: a bus driver whose
// PDOs answer every request, a function driver that attaches to them with a
// device interface and a remove lock, and a client that follows the
// interface through notifications, as an input driver does.
#pragma once

#include "platform/kernel/kernel.h"
#include "tests/support/kernel_fixture.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace pnp_test {

constexpr uint64_t kMs = 10'000;
const GUID kClass = {0x1f2e3d4c, 0x5b6a, 0x4978, {0x86, 0x95, 0xa4, 0xb3, 0xc2, 0xd1, 0xe0, 0xf0}};

inline std::vector<std::string> gLog;
inline char gNextFdoName = 'a';

// Switches the tests set to make the drivers misbehave or refuse.
struct Switches {
    bool vetoQueryStop = false;
    bool failStart = false;
    bool leaveInitializing = false;
    bool keepDeviceOnRemove = false;
    bool skipStartNextPowerIrp = false;
    bool powerWithIoCallDriver = false;
};
inline Switches gSwitches;

inline std::string Minor(UCHAR minor) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x", minor);
    return text;
}

// --- Bus driver: its PDOs complete what reaches them.

inline NTSTATUS BusPnp(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
    gLog.push_back("bus " + Minor(sp->MinorFunction));
    NTSTATUS status = irp->IoStatus.Status;
    switch (sp->MinorFunction) {
    case IRP_MN_START_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_REMOVE_DEVICE:
        status = STATUS_SUCCESS;
        break;
    }
    UNREFERENCED_PARAMETER(device);
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

inline NTSTATUS BusPower(PDEVICE_OBJECT device, PIRP irp) {
    UNREFERENCED_PARAMETER(device);
    PoStartNextPowerIrp(irp);
    irp->IoStatus.Status = STATUS_SUCCESS;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

inline NTSTATUS BusEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->MajorFunction[IRP_MJ_PNP] = BusPnp;
    driver->MajorFunction[IRP_MJ_POWER] = BusPower;
    return STATUS_SUCCESS;
}

// --- Function driver

struct Fdo {
    char name; // 'a' for the first device added in a test, then 'b' ...
    PDEVICE_OBJECT self;
    PDEVICE_OBJECT lower;
    UNICODE_STRING link;
    IO_REMOVE_LOCK removeLock;
};

inline Fdo* FdoOf(PDEVICE_OBJECT device) {
    return static_cast<Fdo*>(device->DeviceExtension);
}

inline NTSTATUS FdoAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    gLog.push_back("fdo add");
    PDEVICE_OBJECT device = nullptr;
    NTSTATUS status =
        IoCreateDevice(driver, sizeof(Fdo), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    Fdo* fdo = FdoOf(device);
    fdo->name = gNextFdoName++;
    fdo->self = device;
    fdo->lower = IoAttachDeviceToDeviceStack(device, pdo);
    IoInitializeRemoveLock(&fdo->removeLock, 0, 0, 0);
    status = IoRegisterDeviceInterface(pdo, &kClass, nullptr, &fdo->link);
    if (!NT_SUCCESS(status)) {
        IoDetachDevice(fdo->lower);
        IoDeleteDevice(device);
        return status;
    }
    device->Flags |= DO_POWER_PAGABLE;
    if (!gSwitches.leaveInitializing)
        device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

inline NTSTATUS SignalDone(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// Forwards and waits for the lower drivers, then completes the request.
inline NTSTATUS ForwardAndWait(Fdo* fdo, PIRP irp) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, SignalDone, &done, TRUE, TRUE, TRUE);
    if (IoCallDriver(fdo->lower, irp) == STATUS_PENDING)
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    return irp->IoStatus.Status;
}

inline NTSTATUS PassDown(Fdo* fdo, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(fdo->lower, irp);
}

inline NTSTATUS Finish(PIRP irp, NTSTATUS status) {
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

inline NTSTATUS FdoPnp(PDEVICE_OBJECT device, PIRP irp) {
    Fdo* fdo = FdoOf(device);
    UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    gLog.push_back("fdo " + Minor(minor));
    NTSTATUS status = IoAcquireRemoveLock(&fdo->removeLock, irp);
    if (!NT_SUCCESS(status))
        return Finish(irp, status);
    switch (minor) {
    case IRP_MN_START_DEVICE:
        status = gSwitches.failStart ? STATUS_DEVICE_NOT_READY : ForwardAndWait(fdo, irp);
        if (NT_SUCCESS(status))
            IoSetDeviceInterfaceState(&fdo->link, TRUE);
        Finish(irp, status);
        break;
    case IRP_MN_QUERY_STOP_DEVICE:
        if (gSwitches.vetoQueryStop) {
            status = Finish(irp, STATUS_UNSUCCESSFUL);
            break;
        }
        status = PassDown(fdo, irp);
        break;
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
        IoSetDeviceInterfaceState(&fdo->link, FALSE);
        status = PassDown(fdo, irp);
        break;
    case IRP_MN_REMOVE_DEVICE:
        IoReleaseRemoveLockAndWait(&fdo->removeLock, irp);
        IoSetDeviceInterfaceState(&fdo->link, FALSE);
        status = PassDown(fdo, irp);
        RtlFreeUnicodeString(&fdo->link);
        if (!gSwitches.keepDeviceOnRemove) {
            IoDetachDevice(fdo->lower);
            IoDeleteDevice(device);
        }
        return status; // the remove lock is gone with the device
    default:
        status = PassDown(fdo, irp);
        break;
    }
    IoReleaseRemoveLock(&fdo->removeLock, irp);
    return status;
}

inline NTSTATUS FdoPower(PDEVICE_OBJECT device, PIRP irp) {
    Fdo* fdo = FdoOf(device);
    PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
    if (sp->MinorFunction == IRP_MN_SET_POWER) {
        bool system = sp->Parameters.Power.Type == SystemPowerState;
        int state = system ? static_cast<int>(sp->Parameters.Power.State.SystemState)
                           : static_cast<int>(sp->Parameters.Power.State.DeviceState);
        gLog.push_back(std::string("fdo ") + fdo->name + " power " + (system ? "S" : "D") +
                       std::to_string(state - 1) + " at " + std::to_string(KeGetCurrentIrql()));
        POWER_STATE device_state;
        device_state.DeviceState =
            system ? (state <= PowerSystemWorking ? PowerDeviceD0 : PowerDeviceD3)
                   : sp->Parameters.Power.State.DeviceState;
        PoSetPowerState(device, DevicePowerState, device_state);
    }
    if (!gSwitches.skipStartNextPowerIrp)
        PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return gSwitches.powerWithIoCallDriver ? IoCallDriver(fdo->lower, irp)
                                           : PoCallDriver(fdo->lower, irp);
}

inline NTSTATUS FdoOpenClose(PDEVICE_OBJECT, PIRP irp) {
    irp->IoStatus.Information = 0;
    return Finish(irp, STATUS_SUCCESS);
}

inline VOID FdoUnload(PDRIVER_OBJECT) {
    gLog.push_back("fdo unload");
}

inline NTSTATUS FdoEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    gLog.push_back("fdo entry");
    driver->DriverExtension->AddDevice = FdoAddDevice;
    driver->DriverUnload = FdoUnload;
    driver->MajorFunction[IRP_MJ_PNP] = FdoPnp;
    driver->MajorFunction[IRP_MJ_POWER] = FdoPower;
    driver->MajorFunction[IRP_MJ_CREATE] = FdoOpenClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = FdoOpenClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = FdoOpenClose;
    return STATUS_SUCCESS;
}

// --- A client that follows the interface: opens it at arrival, lets go at
// removal.

struct Client {
    PVOID registration = nullptr;
    PFILE_OBJECT file = nullptr;
    PDEVICE_OBJECT target = nullptr;
};
inline Client gClient;

inline NTSTATUS ClientNotified(PVOID structure, PVOID context) {
    UNREFERENCED_PARAMETER(context);
    auto notification = static_cast<PDEVICE_INTERFACE_CHANGE_NOTIFICATION>(structure);
    bool arrival =
        std::memcmp(&notification->Event, &GUID_DEVICE_INTERFACE_ARRIVAL, sizeof(GUID)) == 0;
    gLog.push_back(std::string(arrival ? "client arrival" : "client removal") + " at " +
                   std::to_string(KeGetCurrentIrql()));
    if (arrival && !gClient.file)
        IoGetDeviceObjectPointer(notification->SymbolicLinkName, 0, &gClient.file, &gClient.target);
    if (!arrival && gClient.file) {
        ObDereferenceObject(gClient.file);
        gClient.file = nullptr;
    }
    return STATUS_SUCCESS;
}

inline NTSTATUS ClientEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    gLog.push_back("client entry");
    return IoRegisterPlugPlayNotification(
        EventCategoryDeviceInterfaceChange, PNPNOTIFY_DEVICE_INTERFACE_INCLUDE_EXISTING_INTERFACES,
        const_cast<GUID*>(&kClass), driver, ClientNotified, nullptr, &gClient.registration);
}

inline VOID ClientUnload(PDRIVER_OBJECT) {
    IoUnregisterPlugPlayNotification(gClient.registration);
    if (gClient.file)
        ObDereferenceObject(gClient.file);
    gClient = Client{};
}

// A kernel with the bus driver loaded; PDOs made on demand.
class PnpFixture : public kernel_testing::KernelFixture {
protected:
    PnpFixture() {
        gLog.clear();
        gNextFdoName = 'a';
        gSwitches = Switches{};
        gClient = Client{};
        bus = kernel.LoadDriver("testbus", BusEntry);
    }

    void TearDown() override {
        for (PDEVICE_OBJECT pdo : pdos)
            IoDeleteDevice(pdo);
        kernel.UnloadDriver(bus);
        KernelFixture::TearDown();
    }

    PDEVICE_OBJECT CreatePdo() {
        PDEVICE_OBJECT pdo = nullptr;
        EXPECT_EQ(IoCreateDevice(bus, 0, nullptr, FILE_DEVICE_BUS_EXTENDER, 0, FALSE, &pdo),
                  STATUS_SUCCESS);
        pdo->Flags &= ~DO_DEVICE_INITIALIZING;
        pdos.push_back(pdo);
        return pdo;
    }

    // A started device with the function driver on it.
    platform::kernel::DeviceNode* PlugIn(const char* instance = "ROOT\\TEST\\0000") {
        platform::kernel::DeviceNode* node = nullptr;
        EXPECT_EQ(kernel.PlugInDevice(CreatePdo(), instance, "testfdo", FdoEntry, &node),
                  STATUS_SUCCESS);
        return node;
    }

    PDRIVER_OBJECT bus = nullptr;
    std::vector<PDEVICE_OBJECT> pdos;
};

} // namespace pnp_test
