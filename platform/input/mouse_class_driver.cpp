// The mouse class driver's routines: a class device above each mouse port,
// Plug and Play and power passed down, the connect at start, the service
// callback.
#include "platform/input/mouse_class.h"

#include "platform/kernel/kernel.h"

#include <atomic>
#include <string>

namespace platform::input::mouse_class_driver {

namespace {

std::atomic<MouseClass*> gLoading{nullptr};
int gOwnerSlot; // address only: the driver-object extension's identifier

struct ClassDevice {
    MouseClass* owner;
    PDEVICE_OBJECT self;
    PDEVICE_OBJECT lower;
    bool connected;
};

ClassDevice* ClassOf(PDEVICE_OBJECT device) {
    return static_cast<ClassDevice*>(device->DeviceExtension);
}

// At DISPATCH_LEVEL from the port; every packet is consumed.
VOID ServiceCallback(PVOID normalContext, PVOID firstPacket, PVOID endPacket, PVOID consumed) {
    const KIRQL irql = KeGetCurrentIrql();
    if (irql != DISPATCH_LEVEL)
        kernel::Kernel::Current().ReportViolation(
            "irql-invalid", "mouse class service callback at IRQL " + std::to_string(irql) +
                                ": the port must call it at DISPATCH_LEVEL");
    auto* first = static_cast<const MOUSE_INPUT_DATA*>(firstPacket);
    auto* end = static_cast<const MOUSE_INPUT_DATA*>(endPacket);
    ULONG count = end > first ? static_cast<ULONG>(end - first) : 0;
    ClassOf(static_cast<PDEVICE_OBJECT>(normalContext))->owner->OnPackets(first, first + count);
    *static_cast<PULONG>(consumed) = count;
}

NTSTATUS SignalCompletion(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// Passes the request down and waits until the stack below has finished it.
NTSTATUS ForwardAndWait(ClassDevice* device, PIRP irp) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, SignalCompletion, &event, TRUE, TRUE, TRUE);
    if (IoCallDriver(device->lower, irp) == STATUS_PENDING)
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    return irp->IoStatus.Status;
}

NTSTATUS PassDown(ClassDevice* device, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(device->lower, irp);
}

NTSTATUS SendInternal(PDEVICE_OBJECT target, ULONG code, PVOID in, ULONG inLength, PVOID out,
                      ULONG outLength) {
    KEVENT event;
    IO_STATUS_BLOCK status{};
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    PIRP irp = IoBuildDeviceIoControlRequest(code, target, in, inLength, out, outLength, TRUE,
                                             &event, &status);
    if (irp == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    NTSTATUS called = IoCallDriver(target, irp);
    if (called == STATUS_PENDING)
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    else if (!NT_SUCCESS(called))
        return called;
    return status.Status;
}

void ConnectToPort(ClassDevice* device) {
    CONNECT_DATA connectData{device->self, reinterpret_cast<PVOID>(&ServiceCallback)};
    MousePort port{};
    port.classDevice = device->self;
    port.connectStatus = SendInternal(device->lower, IOCTL_INTERNAL_MOUSE_CONNECT, &connectData,
                                      sizeof connectData, nullptr, 0);
    port.attributesStatus = SendInternal(device->lower, IOCTL_MOUSE_QUERY_ATTRIBUTES, nullptr, 0,
                                         &port.attributes, sizeof port.attributes);
    device->connected = NT_SUCCESS(port.connectStatus);
    device->owner->OnConnected(port);
}

NTSTATUS DispatchPnp(PDEVICE_OBJECT deviceObject, PIRP irp) {
    ClassDevice* device = ClassOf(deviceObject);
    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
    case IRP_MN_START_DEVICE: {
        NTSTATUS status = ForwardAndWait(device, irp);
        if (NT_SUCCESS(status) && !device->connected)
            ConnectToPort(device);
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return status;
    }
    case IRP_MN_REMOVE_DEVICE: {
        // Off the stack before the port below deletes its device.
        PDEVICE_OBJECT lower = device->lower;
        IoDetachDevice(lower);
        IoSkipCurrentIrpStackLocation(irp);
        NTSTATUS status = IoCallDriver(lower, irp);
        IoDeleteDevice(deviceObject);
        return status;
    }
    default:
        return PassDown(device, irp);
    }
}

NTSTATUS DispatchPower(PDEVICE_OBJECT deviceObject, PIRP irp) {
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(ClassOf(deviceObject)->lower, irp);
}

NTSTATUS DispatchCreateClose(PDEVICE_OBJECT, PIRP irp) {
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    PDEVICE_OBJECT deviceObject;
    NTSTATUS status = IoCreateDevice(driver, sizeof(ClassDevice), nullptr, FILE_DEVICE_MOUSE, 0,
                                     FALSE, &deviceObject);
    if (!NT_SUCCESS(status))
        return status;
    ClassDevice* device = ClassOf(deviceObject);
    *device = ClassDevice{OwnerOf(driver), deviceObject, nullptr, false};
    device->lower = IoAttachDeviceToDeviceStack(deviceObject, pdo);
    if (device->lower == nullptr) {
        IoDeleteDevice(deviceObject);
        return STATUS_NO_SUCH_DEVICE;
    }
    deviceObject->Flags |= DO_BUFFERED_IO | DO_POWER_PAGABLE;
    deviceObject->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

} // namespace

void SetLoading(MouseClass* owner) {
    gLoading.store(owner);
}

MouseClass* OwnerOf(PDRIVER_OBJECT driver) {
    auto* slot = static_cast<MouseClass**>(IoGetDriverObjectExtension(driver, &gOwnerSlot));
    return slot != nullptr ? *slot : nullptr;
}

NTSTATUS Entry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    MouseClass** slot;
    NTSTATUS status = IoAllocateDriverObjectExtension(driver, &gOwnerSlot, sizeof(MouseClass*),
                                                      reinterpret_cast<PVOID*>(&slot));
    if (!NT_SUCCESS(status))
        return status;
    *slot = gLoading.load();
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_PNP] = DispatchPnp;
    driver->MajorFunction[IRP_MJ_POWER] = DispatchPower;
    driver->DriverExtension->AddDevice = AddDevice;
    return STATUS_SUCCESS;
}

} // namespace platform::input::mouse_class_driver
