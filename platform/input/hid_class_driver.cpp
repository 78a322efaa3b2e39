// The HID class driver's routines: HidRegisterMinidriver, the class's
// AddDevice and dispatch routines on the minidriver's driver object, the
// start sequence and the read-report pump.
#include "platform/input/hid_class.h"

#include "platform/kernel/kernel.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <optional>

namespace platform::input {

namespace {

int gRecordSlot; // address only: the driver-object extension's identifier

// What the class keeps per minidriver: its own routines, which it calls.
struct Minidriver {
    HidClass* owner;
    PDRIVER_DISPATCH dispatch[IRP_MJ_MAXIMUM_FUNCTION + 1];
    PDRIVER_ADD_DEVICE addDevice;
    PDRIVER_UNLOAD unload;
    ULONG extensionSize;
};

// The class's side of one device.
struct ClassDevice {
    HidClass* owner;
    Minidriver* mini;
    PDEVICE_OBJECT self;
    PDEVICE_OBJECT lower;

    std::optional<hid::ReportLayout> layout;
    std::optional<hid::PointerMap> map; // points into layout
    UCHAR buttons = 0;

    // The pump: one read-report request out at a time.
    std::mutex mutex;
    PIRP readIrp = nullptr;
    std::vector<uint8_t> readBuffer;
    bool pumping = false;     // reads are to go on
    bool readOut = false;     // readIrp is at the minidriver
    bool sending = false;     // SendReads is inside IoCallDriver
    bool againInline = false; // the completion ran inside it and wants another
    KEVENT idle;              // notification: signalled while no read is out
};

// The device extension: the public part first, then ours, then the minidriver's.
struct Extension {
    HID_DEVICE_EXTENSION hid;
    ClassDevice* device;
    alignas(16) unsigned char mini[1];
};

Minidriver* MinidriverOf(PDRIVER_OBJECT driver) {
    return static_cast<Minidriver*>(IoGetDriverObjectExtension(driver, &gRecordSlot));
}

ClassDevice* DeviceOf(PDEVICE_OBJECT device) {
    return static_cast<Extension*>(device->DeviceExtension)->device;
}

NTSTATUS SignalCompletion(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

NTSTATUS CallMini(ClassDevice* device, PIRP irp) {
    UCHAR major = IoGetCurrentIrpStackLocation(irp)->MajorFunction;
    PDRIVER_DISPATCH routine = device->mini->dispatch[major];
    if (routine == nullptr) {
        irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_INVALID_DEVICE_REQUEST;
    }
    return routine(device->self, irp);
}

// Gives the minidriver a stack location of its own below ours, with our
// completion routine, and waits until the request comes back to us.
NTSTATUS CallMiniAndWait(ClassDevice* device, PIRP irp) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, SignalCompletion, &done, TRUE, TRUE, TRUE);
    IoSetNextIrpStackLocation(irp);
    IoGetCurrentIrpStackLocation(irp)->DeviceObject = device->self;
    if (CallMini(device, irp) == STATUS_PENDING)
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    return irp->IoStatus.Status;
}

// One of the class's own requests to the minidriver, waited for.
NTSTATUS SendHidRequest(ClassDevice* device, ULONG code, std::vector<uint8_t>& out,
                        ULONG inputLength = 0, PVOID type3Input = nullptr) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    PIRP irp = IoAllocateIrp(device->self->StackSize, FALSE);
    if (irp == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    irp->UserBuffer = out.empty() ? nullptr : out.data();
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = code;
    next->Parameters.DeviceIoControl.OutputBufferLength = static_cast<ULONG>(out.size());
    next->Parameters.DeviceIoControl.InputBufferLength = inputLength;
    next->Parameters.DeviceIoControl.Type3InputBuffer = type3Input;
    IoSetCompletionRoutine(irp, SignalCompletion, &done, TRUE, TRUE, TRUE);
    if (IoCallDriver(device->self, irp) == STATUS_PENDING)
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    NTSTATUS status = irp->IoStatus.Status;
    out.resize(NT_SUCCESS(status) ? std::min<size_t>(irp->IoStatus.Information, out.size()) : 0);
    IoFreeIrp(irp);
    return status;
}

std::string StatusText(const char* what, NTSTATUS status) {
    char text[96];
    std::snprintf(text, sizeof text, "%s failed with 0x%08X", what, static_cast<unsigned>(status));
    return text;
}

// --- The pump.

IO_COMPLETION_ROUTINE ReadComplete;
void SendReads(ClassDevice* device);

// Caller holds the mutex.
void PrepareRead(ClassDevice* device) {
    PIRP irp = device->readIrp;
    IoReuseIrp(irp, STATUS_NOT_SUPPORTED);
    irp->UserBuffer = device->readBuffer.data();
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_HID_READ_REPORT;
    next->Parameters.DeviceIoControl.OutputBufferLength =
        static_cast<ULONG>(device->readBuffer.size());
    IoSetCompletionRoutine(irp, ReadComplete, device, TRUE, TRUE, TRUE);
}

// Sends reads until one stays out, or the pump stops. A read the minidriver
// answers inside the call is followed by the next one here, not from inside
// its completion, so the stack stays flat.
void SendReads(ClassDevice* device) {
    for (;;) {
        {
            std::lock_guard lock(device->mutex);
            if (!device->pumping) {
                KeSetEvent(&device->idle, IO_NO_INCREMENT, FALSE);
                return;
            }
            PrepareRead(device);
            device->readOut = true;
            device->sending = true;
            device->againInline = false;
            KeClearEvent(&device->idle);
        }
        IoCallDriver(device->self, device->readIrp);
        std::lock_guard lock(device->mutex);
        device->sending = false;
        if (device->readOut || !device->againInline)
            return; // the completion, now or later, takes it from here
    }
}

NTSTATUS ReadComplete(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    auto* device = static_cast<ClassDevice*>(context);
    const NTSTATUS status = irp->IoStatus.Status;
    if (NT_SUCCESS(status) && irp->IoStatus.Information != 0) {
        const size_t length =
            std::min<size_t>(irp->IoStatus.Information, device->readBuffer.size());
        device->owner->OnReport(device->map ? &*device->map : nullptr, device->readBuffer.data(),
                                length, device->buttons);
    }
    bool again;
    {
        std::lock_guard lock(device->mutex);
        device->readOut = false;
        if (!NT_SUCCESS(status))
            device->pumping = false; // a failing device is not asked again until it restarts
        again = device->pumping;
        if (!again)
            KeSetEvent(&device->idle, IO_NO_INCREMENT, FALSE);
        if (device->sending) {
            device->againInline = again;
            return STATUS_MORE_PROCESSING_REQUIRED;
        }
    }
    if (again)
        SendReads(device);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

void StartReading(ClassDevice* device) {
    if (!device->owner->Options().keepReading || !device->map)
        return;
    if (device->readIrp == nullptr) {
        device->readIrp = IoAllocateIrp(device->self->StackSize, FALSE);
        if (device->readIrp == nullptr)
            return;
    }
    device->readBuffer.assign(device->map->reportLength, 0);
    {
        std::lock_guard lock(device->mutex);
        device->pumping = true;
    }
    SendReads(device);
}

// Passive level. Returns when no read of ours is at the minidriver.
void StopReading(ClassDevice* device) {
    PIRP out = nullptr;
    {
        std::lock_guard lock(device->mutex);
        device->pumping = false;
        if (device->readOut)
            out = device->readIrp;
    }
    if (out != nullptr)
        IoCancelIrp(out);
    KeWaitForSingleObject(&device->idle, Executive, KernelMode, FALSE, nullptr);
    // Whoever set the event did so under the mutex; once we have had it too,
    // that routine no longer touches the device.
    std::lock_guard lock(device->mutex);
}

// --- Start.

NTSTATUS FailStart(ClassDevice* device, HidDevice& info, NTSTATUS status, std::string reason) {
    info.startStatus = status;
    info.failure = std::move(reason);
    device->owner->OnStarted(info);
    return status;
}

NTSTATUS StartDevice(ClassDevice* device) {
    HidDevice info;
    info.device = device->self;
    device->map.reset();
    device->layout.reset();
    device->buttons = 0;

    std::vector<uint8_t> descriptor(sizeof(HID_DESCRIPTOR));
    NTSTATUS status = SendHidRequest(device, IOCTL_HID_GET_DEVICE_DESCRIPTOR, descriptor);
    info.hidDescriptor = descriptor;
    if (!NT_SUCCESS(status))
        return FailStart(device, info, status,
                         StatusText("IOCTL_HID_GET_DEVICE_DESCRIPTOR", status));
    HID_DESCRIPTOR hidDescriptor{};
    std::memcpy(&hidDescriptor, descriptor.data(),
                std::min(descriptor.size(), sizeof hidDescriptor));
    const size_t reportLength = hidDescriptor.DescriptorList[0].wReportLength;
    if (descriptor.size() < sizeof(HID_DESCRIPTOR) || hidDescriptor.bDescriptorType != 0x21 ||
        hidDescriptor.bNumDescriptors == 0 || hidDescriptor.DescriptorList[0].bReportType != 0x22 ||
        reportLength == 0)
        return FailStart(device, info, STATUS_DEVICE_DATA_ERROR, "HID descriptor malformed");

    std::vector<uint8_t> attributes(sizeof(HID_DEVICE_ATTRIBUTES));
    status = SendHidRequest(device, IOCTL_HID_GET_DEVICE_ATTRIBUTES, attributes);
    if (!NT_SUCCESS(status))
        return FailStart(device, info, status,
                         StatusText("IOCTL_HID_GET_DEVICE_ATTRIBUTES", status));
    std::memcpy(&info.attributes, attributes.data(),
                std::min(attributes.size(), sizeof info.attributes));

    info.reportDescriptor.assign(reportLength, 0);
    status = SendHidRequest(device, IOCTL_HID_GET_REPORT_DESCRIPTOR, info.reportDescriptor);
    if (!NT_SUCCESS(status))
        return FailStart(device, info, status,
                         StatusText("IOCTL_HID_GET_REPORT_DESCRIPTOR", status));

    // Strings are optional: a failure leaves them empty.
    constexpr ULONG kEnglish = 0x0409;
    constexpr ULONG kStringBuffer = 256;
    info.manufacturer.assign(kStringBuffer, 0);
    SendHidRequest(
        device, IOCTL_HID_GET_STRING, info.manufacturer, kStringBuffer,
        reinterpret_cast<PVOID>(ULONG_PTR{HID_STRING_ID_IMANUFACTURER | kEnglish << 16}));
    info.product.assign(kStringBuffer, 0);
    SendHidRequest(device, IOCTL_HID_GET_STRING, info.product, kStringBuffer,
                   reinterpret_cast<PVOID>(ULONG_PTR{HID_STRING_ID_IPRODUCT | kEnglish << 16}));

    hid::ParseResult parsed =
        hid::ParseReportDescriptor(info.reportDescriptor.data(), info.reportDescriptor.size());
    if (!parsed.layout)
        return FailStart(device, info, STATUS_DEVICE_DATA_ERROR, parsed.error);
    device->layout = std::move(parsed.layout);
    std::string reason;
    device->map = hid::FindPointer(*device->layout, &reason);
    if (!device->map) {
        device->layout.reset();
        return FailStart(device, info, STATUS_DEVICE_DATA_ERROR, reason);
    }
    info.reportLength = device->map->reportLength;

    std::vector<uint8_t> none;
    status = SendHidRequest(device, IOCTL_HID_ACTIVATE_DEVICE, none);
    if (!NT_SUCCESS(status))
        return FailStart(device, info, status, StatusText("IOCTL_HID_ACTIVATE_DEVICE", status));
    info.startStatus = STATUS_SUCCESS;
    device->owner->OnStarted(info);
    StartReading(device);
    return STATUS_SUCCESS;
}

void Deactivate(ClassDevice* device) {
    std::vector<uint8_t> none;
    SendHidRequest(device, IOCTL_HID_DEACTIVATE_DEVICE, none);
}

NTSTATUS CompleteWith(PIRP irp, NTSTATUS status) {
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS RemoveDevice(ClassDevice* device, PIRP irp) {
    StopReading(device);
    NTSTATUS status = CallMiniAndWait(device, irp);
    IoDetachDevice(device->lower);
    CompleteWith(irp, status);
    if (device->readIrp != nullptr)
        IoFreeIrp(device->readIrp);
    PDEVICE_OBJECT self = device->self;
    delete device;
    static_cast<Extension*>(self->DeviceExtension)->device = nullptr;
    IoDeleteDevice(self);
    return status;
}

NTSTATUS DispatchPnp(PDEVICE_OBJECT deviceObject, PIRP irp) {
    ClassDevice* device = DeviceOf(deviceObject);
    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
    case IRP_MN_START_DEVICE: {
        NTSTATUS status = CallMiniAndWait(device, irp);
        if (NT_SUCCESS(status))
            status = StartDevice(device);
        return CompleteWith(irp, status);
    }
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
        StopReading(device);
        Deactivate(device);
        return CallMini(device, irp);
    case IRP_MN_REMOVE_DEVICE:
        return RemoveDevice(device, irp);
    default:
        return CallMini(device, irp);
    }
}

NTSTATUS Dispatch(PDEVICE_OBJECT deviceObject, PIRP irp) {
    if (IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_PNP)
        return DispatchPnp(deviceObject, irp);
    return CallMini(DeviceOf(deviceObject), irp);
}

NTSTATUS AddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    Minidriver* mini = MinidriverOf(driver);
    PDEVICE_OBJECT deviceObject;
    NTSTATUS status =
        IoCreateDevice(driver, offsetof(Extension, mini) + mini->extensionSize, nullptr,
                       FILE_DEVICE_UNKNOWN, FILE_AUTOGENERATED_DEVICE_NAME, FALSE, &deviceObject);
    if (!NT_SUCCESS(status))
        return status;
    auto* extension = static_cast<Extension*>(deviceObject->DeviceExtension);
    PDEVICE_OBJECT lower = IoAttachDeviceToDeviceStack(deviceObject, pdo);
    if (lower == nullptr) {
        IoDeleteDevice(deviceObject);
        return STATUS_NO_SUCH_DEVICE;
    }
    // One more location: the minidriver runs below the class in every
    // request the class passes on and waits for.
    deviceObject->StackSize++;
    auto* device = new ClassDevice{};
    device->owner = mini->owner;
    device->mini = mini;
    device->self = deviceObject;
    device->lower = lower;
    KeInitializeEvent(&device->idle, NotificationEvent, TRUE);
    extension->hid.PhysicalDeviceObject = pdo;
    extension->hid.NextDeviceObject = lower;
    extension->hid.MiniDeviceExtension = extension->mini;
    extension->device = device;

    status = mini->addDevice(driver, deviceObject);
    if (!NT_SUCCESS(status)) {
        IoDetachDevice(lower);
        delete device;
        IoDeleteDevice(deviceObject);
        return status;
    }
    deviceObject->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

VOID Unload(PDRIVER_OBJECT driver) {
    Minidriver* mini = MinidriverOf(driver);
    if (mini != nullptr && mini->unload != nullptr)
        mini->unload(driver);
}

} // namespace

} // namespace platform::input

using namespace platform::input;

NTSTATUS HidRegisterMinidriver(PHID_MINIDRIVER_REGISTRATION registration) {
    if (registration == nullptr || registration->DriverObject == nullptr)
        return STATUS_INVALID_PARAMETER;
    if (registration->Revision > HID_REVISION)
        return STATUS_REVISION_MISMATCH;
    HidClass* owner = HidClass::Current();
    if (owner == nullptr)
        return STATUS_NO_SUCH_DEVICE; // the class driver is not loaded
    PDRIVER_OBJECT driver = registration->DriverObject;
    Minidriver* mini;
    NTSTATUS status = IoAllocateDriverObjectExtension(driver, &gRecordSlot, sizeof(Minidriver),
                                                      reinterpret_cast<PVOID*>(&mini));
    if (!NT_SUCCESS(status))
        return status;
    mini->owner = owner;
    std::memcpy(mini->dispatch, driver->MajorFunction, sizeof mini->dispatch);
    mini->addDevice = driver->DriverExtension->AddDevice;
    mini->unload = driver->DriverUnload;
    mini->extensionSize = registration->DeviceExtensionSize;
    for (PDRIVER_DISPATCH& routine : driver->MajorFunction)
        routine = Dispatch;
    driver->DriverExtension->AddDevice = AddDevice;
    driver->DriverUnload = Unload;
    return STATUS_SUCCESS;
}
