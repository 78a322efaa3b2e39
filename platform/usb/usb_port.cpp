// A hub port: the device on it, its PDO's Plug and Play, power and port
// requests, and the delivery of held transfers.
#include "platform/kernel/kernel.h"
#include "platform/usb/usb_pdo.h"
#include "platform/usb/usb_status.h"
#include "platform/usb/usbd_pool.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace platform::usb {

namespace {

kernel::Kernel& TheKernel() {
    return kernel::Kernel::Current();
}

// A UTF-16 multi-string from pool (each string NUL-terminated, one more NUL
// at the end when multi), as IRP_MN_QUERY_ID returns it; the caller frees it.
PWCHAR PoolMultiString(const std::vector<std::string>& strings, bool multi) {
    size_t chars = multi ? 1 : 0;
    for (const std::string& s : strings)
        chars += s.size() + 1;
    auto* buffer =
        static_cast<PWCHAR>(ExAllocatePoolWithTag(PagedPool, chars * sizeof(WCHAR), kUsbdPoolTag));
    if (buffer == NULL)
        return NULL;
    PWCHAR out = buffer;
    for (const std::string& s : strings) {
        for (char c : s)
            *out++ = static_cast<WCHAR>(c);
        *out++ = 0;
    }
    if (multi)
        *out = 0;
    return buffer;
}

// Transfers the device can no longer serve end as the host controller's
// completion would end them: at DISPATCH_LEVEL.
void CompleteTransfersAtDispatch(const std::vector<PIRP>& irps, USBD_STATUS status) {
    if (irps.empty())
        return;
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    CompleteTransfers(irps, status);
    KeLowerIrql(old);
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

} // namespace

UsbPort::UsbPort(UsbHub& hub, unsigned number) : hub_(hub), number_(number) {}

UsbPort::~UsbPort() = default;

PDEVICE_OBJECT UsbPort::Plug(UsbDeviceModel& device, UsbPortOptions options) {
    PDEVICE_OBJECT pdo = nullptr;
    {
        std::lock_guard lock(lock_);
        if (pdo_ != nullptr && !gone_)
            return nullptr;
        if (pdo_ != nullptr)
            LeaveBehindLocked();
        const std::u16string name =
            kernel::Widen("\\Device\\USBPDO-" + std::to_string(hub_.pdoSerial_++));
        UNICODE_STRING deviceName;
        RtlInitUnicodeString(&deviceName, reinterpret_cast<PCWSTR>(name.c_str()));
        if (!NT_SUCCESS(IoCreateDevice(hub_.driver_, sizeof(PdoExtension), &deviceName,
                                       FILE_DEVICE_UNKNOWN, 0, FALSE, &pdo)))
            return nullptr;
        *static_cast<PdoExtension*>(pdo->DeviceExtension) = PdoExtension{this, false};
        pdo->Flags |= DO_POWER_PAGABLE;
        pdo->Flags &= ~DO_DEVICE_INITIALIZING;
        pdo_ = pdo;
        device_ = &device;
        connected_ = options.connected;
        enabled_ = options.connected && options.enabled;
        gone_ = false;
        configuration_ = 0;
        stats_ = {};
    }
    device.SetInReadyHandler([this] { ScheduleDelivery(); });
    if (onArrival)
        onArrival(pdo);
    return pdo;
}

void UsbPort::PullOut() {
    IrpList ended;
    PDEVICE_OBJECT pdo;
    UsbDeviceModel* device;
    {
        std::lock_guard lock(lock_);
        if (pdo_ == nullptr || gone_)
            return;
        gone_ = true;
        connected_ = enabled_ = false;
        device = device_;
        device_ = nullptr;
        pipes_.clear();
        interfaces_.clear();
        configuration_ = 0;
        ended = TakeHeld();
        pdo = pdo_;
    }
    device->SetInReadyHandler(nullptr);
    CompleteTransfersAtDispatch(ended, USBD_STATUS_DEVICE_GONE);
    if (onRemoval)
        onRemoval(pdo);
}

PDEVICE_OBJECT UsbPort::Pdo() const {
    std::lock_guard lock(lock_);
    return pdo_;
}

ULONG UsbPort::StatusBits() const {
    std::lock_guard lock(lock_);
    return (connected_ ? USBD_PORT_CONNECTED : 0) | (enabled_ ? USBD_PORT_ENABLED : 0);
}

UCHAR UsbPort::Configuration() const {
    std::lock_guard lock(lock_);
    return configuration_;
}

size_t UsbPort::HeldRequests() const {
    std::lock_guard lock(lock_);
    return held_.size() + resets_.size();
}

UsbPort::Counters UsbPort::Stats() const {
    std::lock_guard lock(lock_);
    return stats_;
}

NTSTATUS UsbPort::InternalDeviceControl(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_INTERNAL_USB_SUBMIT_URB:
        return SubmitUrb(irp);
    case IOCTL_INTERNAL_USB_GET_PORT_STATUS: {
        auto* bits = static_cast<PULONG>(stack->Parameters.Others.Argument1);
        if (bits == NULL)
            return CompleteRequest(irp, STATUS_INVALID_PARAMETER);
        {
            std::lock_guard lock(lock_);
            ++stats_.statusQueries;
        }
        *bits = StatusBits();
        return CompleteRequest(irp, STATUS_SUCCESS);
    }
    case IOCTL_INTERNAL_USB_ENABLE_PORT: {
        NTSTATUS status = STATUS_SUCCESS;
        {
            std::lock_guard lock(lock_);
            ++stats_.enables;
            if (device_ == nullptr || !connected_)
                status = STATUS_DEVICE_NOT_CONNECTED;
            else
                enabled_ = true;
        }
        return CompleteRequest(irp, status);
    }
    case IOCTL_INTERNAL_USB_RESET_PORT:
        return ResetPort(irp);
    default:
        return CompleteRequest(irp, STATUS_INVALID_DEVICE_REQUEST);
    }
}

NTSTATUS UsbPort::ResetPort(PIRP irp) {
    if (KeGetCurrentIrql() == PASSIVE_LEVEL)
        return CompleteRequest(irp, ResetNow());
    IoMarkIrpPending(irp);
    {
        std::lock_guard lock(lock_);
        resets_.push_back(irp);
    }
    std::weak_ptr<bool> alive = alive_;
    TheKernel().Schedule(
        TheKernel().Now(),
        [this, alive] {
            if (alive.expired())
                return;
            PIRP reset = nullptr;
            {
                std::lock_guard lock(lock_);
                if (resets_.empty())
                    return;
                reset = resets_.front();
                resets_.pop_front();
            }
            CompleteRequest(reset, ResetNow());
        },
        PASSIVE_LEVEL);
    return STATUS_PENDING;
}

NTSTATUS UsbPort::ResetNow() {
    {
        std::lock_guard lock(lock_);
        ++stats_.resets;
        if (device_ == nullptr || gone_ || !connected_)
            return STATUS_DEVICE_NOT_CONNECTED;
        const USBD_STATUS status = device_->PortReset();
        if (!USBD_SUCCESS(status)) {
            enabled_ = false;
            return NtStatusFromUsbd(status);
        }
        enabled_ = true;
        // The hub selects the configuration again; handles stay valid.
        if (configuration_ != 0)
            device_->SetConfiguration(configuration_);
    }
    ScheduleDelivery();
    return STATUS_SUCCESS;
}

NTSTATUS UsbPort::Pnp(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    NTSTATUS status = irp->IoStatus.Status;
    switch (stack->MinorFunction) {
    case IRP_MN_START_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL:
        status = STATUS_SUCCESS;
        break;
    case IRP_MN_REMOVE_DEVICE: {
        IrpList cancelled;
        PDEVICE_OBJECT deleted = nullptr;
        {
            std::lock_guard lock(lock_);
            Unconfigure(cancelled);
            if (gone_)
                deleted = pdo_;
        }
        CompleteTransfers(cancelled, USBD_STATUS_CANCELED);
        CompleteRequest(irp, STATUS_SUCCESS);
        if (deleted != nullptr)
            DeletePdoLater(deleted);
        return STATUS_SUCCESS;
    }
    case IRP_MN_QUERY_ID:
        return QueryId(irp);
    default:
        break;
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS UsbPort::QueryId(PIRP irp) {
    const NTSTATUS unchanged = irp->IoStatus.Status;
    std::optional<std::vector<uint8_t>> bytes;
    {
        std::lock_guard lock(lock_);
        if (device_ != nullptr)
            bytes = device_->Descriptor(USB_DEVICE_DESCRIPTOR_TYPE, 0, 0);
    }
    if (!bytes || bytes->size() < sizeof(USB_DEVICE_DESCRIPTOR)) {
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return unchanged;
    }
    USB_DEVICE_DESCRIPTOR descriptor;
    std::memcpy(&descriptor, bytes->data(), sizeof descriptor);
    const std::string id =
        "USB\\VID_" + Hex4(descriptor.idVendor) + "&PID_" + Hex4(descriptor.idProduct);
    PWCHAR text = NULL;
    switch (IoGetCurrentIrpStackLocation(irp)->Parameters.QueryId.IdType) {
    case BusQueryDeviceID:
        text = PoolMultiString({id}, false);
        break;
    case BusQueryHardwareIDs:
        text = PoolMultiString({id + "&REV_" + Hex4(descriptor.bcdDevice), id}, true);
        break;
    case BusQueryInstanceID:
        text = PoolMultiString({std::to_string(number_ + 1)}, false);
        break;
    default:
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return unchanged;
    }
    if (text == NULL)
        return CompleteRequest(irp, STATUS_INSUFFICIENT_RESOURCES);
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = reinterpret_cast<ULONG_PTR>(text);
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

NTSTATUS UsbPort::Power(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    NTSTATUS status = irp->IoStatus.Status;
    if (stack->MinorFunction == IRP_MN_SET_POWER || stack->MinorFunction == IRP_MN_QUERY_POWER)
        status = STATUS_SUCCESS;
    PoStartNextPowerIrp(irp);
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

void UsbPort::CancelHeld(PIRP irp) {
    bool found = false;
    {
        std::lock_guard lock(lock_);
        const auto it = std::find(held_.begin(), held_.end(), irp);
        if (it != held_.end()) {
            held_.erase(it);
            found = true;
        }
    }
    if (found)
        CompleteTransfer(irp, UsbInCompletion{USBD_STATUS_CANCELED, {}});
}

void UsbPort::ScheduleDelivery() {
    if (deliveryPending_.exchange(true))
        return;
    std::weak_ptr<bool> alive;
    {
        std::lock_guard lock(lock_);
        alive = alive_;
    }
    TheKernel().Schedule(TheKernel().Now(), [this, alive] {
        if (!alive.expired())
            Deliver();
    });
}

// Runs at DISPATCH_LEVEL from the scheduler: hands each held transfer what
// the device has for its endpoint.
void UsbPort::Deliver() {
    deliveryPending_ = false;
    std::vector<std::pair<PIRP, UsbInCompletion>> done;
    IrpList cancelled;
    {
        std::lock_guard lock(lock_);
        if (device_ == nullptr)
            return;
        for (auto it = held_.begin(); it != held_.end();) {
            PIRP irp = *it;
            if (IoSetCancelRoutine(irp, NULL) == NULL) { // its cancel routine is running
                ++it;
                continue;
            }
            const auto* pipe =
                static_cast<const Pipe*>(UrbOf(irp)->UrbBulkOrInterruptTransfer.PipeHandle);
            if (auto completion = device_->TakeIn(pipe->endpointAddress)) {
                done.emplace_back(irp, std::move(*completion));
                it = held_.erase(it);
                continue;
            }
            IoSetCancelRoutine(irp, HeldRequestCancelRoutine());
            if (irp->Cancel && IoSetCancelRoutine(irp, NULL) != NULL) {
                cancelled.push_back(irp);
                it = held_.erase(it);
                continue;
            }
            ++it;
        }
    }
    for (auto& [irp, completion] : done)
        CompleteTransfer(irp, completion);
    CompleteTransfers(cancelled, USBD_STATUS_CANCELED);
}

UsbPort::IrpList UsbPort::TakeHeld() {
    IrpList taken;
    for (auto it = held_.begin(); it != held_.end();) {
        if (IoSetCancelRoutine(*it, NULL) != NULL) {
            taken.push_back(*it);
            it = held_.erase(it);
        } else {
            ++it;
        }
    }
    return taken;
}

void UsbPort::Unconfigure(IrpList& cancelled) {
    IrpList taken = TakeHeld();
    cancelled.insert(cancelled.end(), taken.begin(), taken.end());
    pipes_.clear();
    interfaces_.clear();
    configuration_ = 0;
}

void UsbPort::DeletePdoLater(PDEVICE_OBJECT pdo) {
    std::weak_ptr<bool> alive;
    {
        std::lock_guard lock(lock_);
        alive = alive_;
    }
    TheKernel().Schedule(
        TheKernel().Now(),
        [this, alive, pdo] {
            if (alive.expired())
                return;
            {
                std::lock_guard lock(lock_);
                if (!ForgetPdoLocked(pdo))
                    return;
            }
            IoDeleteDevice(pdo);
        },
        PASSIVE_LEVEL);
}

void UsbPort::Shutdown() {
    IrpList ended;
    std::deque<PIRP> resets;
    PDEVICE_OBJECT pdo;
    UsbDeviceModel* device;
    std::vector<PDEVICE_OBJECT> left;
    {
        std::lock_guard lock(lock_);
        alive_.reset();
        device = device_;
        device_ = nullptr;
        gone_ = true;
        connected_ = enabled_ = false;
        ended = TakeHeld();
        resets.swap(resets_);
        pipes_.clear();
        interfaces_.clear();
        pdo = pdo_;
        pdo_ = nullptr;
        left.swap(leftBehind_);
    }
    if (device != nullptr)
        device->SetInReadyHandler(nullptr);
    CompleteTransfersAtDispatch(ended, USBD_STATUS_DEVICE_GONE);
    for (PIRP reset : resets)
        CompleteRequest(reset, STATUS_DEVICE_NOT_CONNECTED);
    if (pdo != nullptr)
        IoDeleteDevice(pdo);
    for (PDEVICE_OBJECT behind : left)
        IoDeleteDevice(behind);
}

} // namespace platform::usb
