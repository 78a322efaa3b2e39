// A touch driver whose every move the test makes: it holds point reads until
// told to complete one (with any status and point, at any IRQL), answers a
// release by cancelling what it holds, and switches its interface on and off
// without touching the reads. It can also hand its name to a second device
// object while the first still holds reads. Races are forced through
// onRead, which runs in the dispatch routine of each read before it is held.
#pragma once

#include "drivers/common/ddk.h"
#include "drivers/common/touch_protocol.h"
#include "platform/kernel/kernel.h"

#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace input_testing {

class FakeTouch {
public:
    struct Held {
        PIRP irp;
        PDEVICE_OBJECT device;
    };

    FakeTouch() {
        driver_ = platform::kernel::Kernel::Current().LoadDriver("faketouch", Entry);
        device_ = NewDevice(u"\\Device\\vududo");
        Link(device_);
        IoRegisterDeviceInterface(device_, &GUID_TOUCH_INTERFACE, nullptr, &interface_);
    }

    ~FakeTouch() {
        SetInterface(false);
        RtlFreeUnicodeString(&interface_);
        Unlink();
        for (PDEVICE_OBJECT device : devices_)
            IoDeleteDevice(device);
        platform::kernel::Kernel::Current().UnloadDriver(driver_);
    }

    void SetInterface(bool enable) {
        if (enabled_ != enable)
            IoSetDeviceInterfaceState(&interface_, enable ? TRUE : FALSE);
        enabled_ = enable;
    }

    // "\DosDevices\vududode" leads to a new device object from now on.
    PDEVICE_OBJECT MoveNameToNewDevice() {
        Unlink();
        device_ = NewDevice(u"\\Device\\vududo2");
        Link(device_);
        return device_;
    }
    PDEVICE_OBJECT Device() const { return device_; }

    // Completes the oldest held read: with a point (Information 5) or
    // without one. At DISPATCH_LEVEL unless told otherwise.
    void Complete(NTSTATUS status, std::optional<TOUCH_POINT> point = std::nullopt,
                  KIRQL irql = DISPATCH_LEVEL) {
        PIRP irp;
        {
            std::lock_guard lock(mutex_);
            irp = held_.front().irp;
            held_.pop_front();
        }
        Finish(irp, status, point, irql);
    }
    // As Complete, when a read is held; false when none is.
    bool CompleteIfHeld(NTSTATUS status, std::optional<TOUCH_POINT> point = std::nullopt) {
        PIRP irp;
        {
            std::lock_guard lock(mutex_);
            if (held_.empty())
                return false;
            irp = held_.front().irp;
            held_.pop_front();
        }
        Finish(irp, status, point, DISPATCH_LEVEL);
        return true;
    }
    void CompleteWithPoint(UCHAR button, USHORT x, USHORT y) {
        Complete(STATUS_SUCCESS, TOUCH_POINT{button, x, y});
    }

    // Points the next reads take at once instead of being held.
    void Queue(UCHAR button, USHORT x, USHORT y) {
        std::lock_guard lock(mutex_);
        ready_.push_back({button, x, y});
    }

    std::vector<Held> HeldReads() {
        std::lock_guard lock(mutex_);
        return {held_.begin(), held_.end()};
    }
    size_t HeldCount() {
        std::lock_guard lock(mutex_);
        return held_.size();
    }
    unsigned Reads() {
        std::lock_guard lock(mutex_);
        return reads_;
    }
    unsigned Releases() {
        std::lock_guard lock(mutex_);
        return releases_;
    }

    // Runs in the dispatch routine of each point read, before it is held.
    std::function<void(PIRP)> onRead;

private:
    static FakeTouch*& Owner(PDEVICE_OBJECT device) {
        return *static_cast<FakeTouch**>(device->DeviceExtension);
    }

    static void Finish(PIRP irp, NTSTATUS status, std::optional<TOUCH_POINT> point, KIRQL irql) {
        irp->IoStatus.Status = status;
        irp->IoStatus.Information = 0;
        if (point) {
            std::memcpy(irp->AssociatedIrp.SystemBuffer, &*point, sizeof(TOUCH_POINT));
            irp->IoStatus.Information = sizeof(TOUCH_POINT);
        }
        KIRQL old;
        KeRaiseIrql(irql, &old);
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        KeLowerIrql(old);
    }

    static NTSTATUS CreateClose(PDEVICE_OBJECT, PIRP irp) {
        irp->IoStatus.Status = STATUS_SUCCESS;
        irp->IoStatus.Information = 0;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_SUCCESS;
    }

    static NTSTATUS Internal(PDEVICE_OBJECT device, PIRP irp) {
        FakeTouch* self = Owner(device);
        switch (IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.IoControlCode) {
        case IOCTL_TOUCH_READ_POINT:
            return self->Read(device, irp);
        case IOCTL_TOUCH_RELEASE_READS:
            self->Release();
            irp->IoStatus.Status = STATUS_SUCCESS;
            irp->IoStatus.Information = 0;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return STATUS_SUCCESS;
        default:
            irp->IoStatus.Status = STATUS_INVALID_PARAMETER;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return STATUS_INVALID_PARAMETER;
        }
    }

    NTSTATUS Read(PDEVICE_OBJECT device, PIRP irp) {
        std::optional<TOUCH_POINT> point;
        {
            std::lock_guard lock(mutex_);
            ++reads_;
            if (!ready_.empty()) {
                point = ready_.front();
                ready_.pop_front();
            }
        }
        if (point) {
            Finish(irp, STATUS_SUCCESS, point, KeGetCurrentIrql());
            return STATUS_SUCCESS;
        }
        if (onRead)
            onRead(irp);
        IoMarkIrpPending(irp);
        std::lock_guard lock(mutex_);
        held_.push_back({irp, device});
        return STATUS_PENDING;
    }

    void Release() {
        std::deque<Held> taken;
        {
            std::lock_guard lock(mutex_);
            ++releases_;
            taken.swap(held_);
        }
        for (const Held& read : taken)
            Finish(read.irp, STATUS_CANCELLED, std::nullopt, KeGetCurrentIrql());
    }

    static NTSTATUS Entry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
        driver->MajorFunction[IRP_MJ_CREATE] = CreateClose;
        driver->MajorFunction[IRP_MJ_CLOSE] = CreateClose;
        driver->MajorFunction[IRP_MJ_CLEANUP] = CreateClose;
        driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = Internal;
        return STATUS_SUCCESS;
    }

    PDEVICE_OBJECT NewDevice(const char16_t* name) {
        UNICODE_STRING text;
        RtlInitUnicodeString(&text, name);
        PDEVICE_OBJECT device = nullptr;
        IoCreateDevice(driver_, sizeof(FakeTouch*), &text, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
        Owner(device) = this;
        device->Flags |= DO_BUFFERED_IO;
        device->Flags &= ~DO_DEVICE_INITIALIZING;
        devices_.push_back(device);
        return device;
    }

    void Link(PDEVICE_OBJECT device) {
        UNICODE_STRING link;
        UNICODE_STRING target;
        RtlInitUnicodeString(&link, u"\\DosDevices\\vududode");
        RtlInitUnicodeString(&target, device == devices_.front() ? u"\\Device\\vududo"
                                                                 : u"\\Device\\vududo2");
        IoCreateSymbolicLink(&link, &target);
    }
    void Unlink() {
        UNICODE_STRING link;
        RtlInitUnicodeString(&link, u"\\DosDevices\\vududode");
        IoDeleteSymbolicLink(&link);
    }

    PDRIVER_OBJECT driver_ = nullptr;
    PDEVICE_OBJECT device_ = nullptr;
    std::vector<PDEVICE_OBJECT> devices_;
    UNICODE_STRING interface_{};
    bool enabled_ = false;
    std::mutex mutex_;
    std::deque<Held> held_;
    std::deque<TOUCH_POINT> ready_;
    unsigned reads_ = 0;
    unsigned releases_ = 0;
};

} // namespace input_testing
