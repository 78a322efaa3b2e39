// Shared by the USB and device suites: a kernel per test, and a tiny client function driver on a
// hub PDO that sends what a USB client driver sends.
#pragma once

#include "platform/kernel/kernel.h"
#include "platform/usb/usb_hub.h"
#include "tests/support/kernel_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace usbtest {

using platform::kernel::Kernel;

constexpr uint64_t kMs = 10'000; // 100-ns units

// The shared kernel fixture, with a hook that frees what the test built
// (hubs, clients) before the leak check.
class KernelTest : public kernel_testing::KernelFixture {
protected:
    virtual void Release() {}
    void TearDown() override {
        Release();
        KernelFixture::TearDown();
    }
    // Runs every event due up to now + units.
    void Advance(uint64_t units) { kernel.AdvanceTime(units); }
};

// One request sent with its own IRP and a completion routine that records
// the outcome and frees the IRP (as a client does for its reads).
struct AsyncRequest {
    NTSTATUS callStatus = STATUS_SUCCESS;
    bool done = false;
    NTSTATUS finalStatus = STATUS_SUCCESS;
    KIRQL completionIrql = PASSIVE_LEVEL;
    bool pendingReturned = false;
    PIRP irp = nullptr; // valid until done
    URB urb{};          // for reads: the transfer and its buffer
    std::vector<uint8_t> buffer;

    std::vector<uint8_t> Received() const {
        return {buffer.begin(),
                buffer.begin() + urb.UrbBulkOrInterruptTransfer.TransferBufferLength};
    }
};

// URB builders, as client drivers fill them.
inline URB DescriptorUrb(UCHAR type, UCHAR index, void* buffer, ULONG length) {
    URB urb{};
    UsbBuildGetDescriptorRequest(&urb, sizeof(struct _URB_CONTROL_DESCRIPTOR_REQUEST), type, index,
                                 0, buffer, nullptr, length, nullptr);
    return urb;
}

inline URB InterruptUrb(USBD_PIPE_HANDLE pipe, void* buffer, ULONG length) {
    URB urb{};
    UsbBuildInterruptOrBulkTransferRequest(
        &urb, sizeof(struct _URB_BULK_OR_INTERRUPT_TRANSFER), pipe, buffer, nullptr, length,
        USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK, nullptr);
    return urb;
}

inline URB ClassInterfaceUrb(UCHAR request, void* buffer, ULONG length, bool in = true) {
    URB urb{};
    UsbBuildVendorRequest(
        &urb, URB_FUNCTION_CLASS_INTERFACE, sizeof(struct _URB_CONTROL_VENDOR_OR_CLASS_REQUEST),
        in ? USBD_TRANSFER_DIRECTION_IN : 0, 0, request, 0, 0, buffer, nullptr, length, nullptr);
    return urb;
}

class UsbTestClient {
public:
    explicit UsbTestClient(PDEVICE_OBJECT pdo) {
        driver_ = Kernel::Current().LoadDriver("usbclient", ClientEntry);
        EXPECT_NE(driver_, nullptr);
        EXPECT_EQ(IoCreateDevice(driver_, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &fdo_),
                  STATUS_SUCCESS);
        lower_ = IoAttachDeviceToDeviceStack(fdo_, pdo);
        EXPECT_NE(lower_, nullptr);
        fdo_->Flags &= ~DO_DEVICE_INITIALIZING;
    }
    ~UsbTestClient() {
        IoDetachDevice(lower_);
        IoDeleteDevice(fdo_);
        Kernel::Current().UnloadDriver(driver_);
    }
    UsbTestClient(const UsbTestClient&) = delete;
    UsbTestClient& operator=(const UsbTestClient&) = delete;

    PDEVICE_OBJECT Lower() const { return lower_; }

    // As a client's synchronous helper does: built request, event, wait.
    NTSTATUS Internal(ULONG code, PVOID argument1, PVOID argument2 = nullptr) {
        KEVENT event;
        IO_STATUS_BLOCK iosb{};
        KeInitializeEvent(&event, NotificationEvent, FALSE);
        PIRP irp = IoBuildDeviceIoControlRequest(code, lower_, nullptr, 0, nullptr, 0, TRUE, &event,
                                                 &iosb);
        if (irp == nullptr)
            return STATUS_INSUFFICIENT_RESOURCES;
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
        next->Parameters.Others.Argument1 = argument1;
        next->Parameters.Others.Argument2 = argument2;
        NTSTATUS status = IoCallDriver(lower_, irp);
        if (status == STATUS_PENDING) {
            KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
            status = iosb.Status;
        }
        return status;
    }
    NTSTATUS Submit(PURB urb) { return Internal(IOCTL_INTERNAL_USB_SUBMIT_URB, urb); }

    // Sends with an IRP of our own; the result lives until the client goes.
    AsyncRequest& Send(ULONG code, PVOID argument1, PVOID argument2 = nullptr) {
        requests_.push_back(std::make_unique<AsyncRequest>());
        return Send(*requests_.back(), code, argument1, argument2);
    }
    // An interrupt or bulk IN transfer of length bytes (buffer poisoned 0xCC).
    AsyncRequest& Read(USBD_PIPE_HANDLE pipe, ULONG length = 8) {
        requests_.push_back(std::make_unique<AsyncRequest>());
        AsyncRequest& request = *requests_.back();
        request.buffer.assign(length, 0xCC);
        request.urb = InterruptUrb(pipe, request.buffer.data(), length);
        return Send(request, IOCTL_INTERNAL_USB_SUBMIT_URB, &request.urb);
    }

    // A Plug and Play request as the PnP manager sends it (status preset to
    // STATUS_NOT_SUPPORTED); returns the final status and Information.
    NTSTATUS Pnp(UCHAR minor, ULONG_PTR* information = nullptr,
                 BUS_QUERY_ID_TYPE idType = BusQueryDeviceID) {
        PIRP irp = IoAllocateIrp(lower_->StackSize, FALSE);
        if (irp == nullptr)
            return STATUS_INSUFFICIENT_RESOURCES;
        irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
        next->MajorFunction = IRP_MJ_PNP;
        next->MinorFunction = minor;
        next->Parameters.QueryId.IdType = idType;
        KEVENT event;
        KeInitializeEvent(&event, NotificationEvent, FALSE);
        IoSetCompletionRoutine(irp, SignalAndKeep, &event, TRUE, TRUE, TRUE);
        if (IoCallDriver(lower_, irp) == STATUS_PENDING)
            KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
        const NTSTATUS status = irp->IoStatus.Status;
        if (information != nullptr)
            *information = irp->IoStatus.Information;
        IoFreeIrp(irp);
        return status;
    }

private:
    static NTSTATUS ClientEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
        driver->DriverUnload = [](PDRIVER_OBJECT) {};
        return STATUS_SUCCESS;
    }
    AsyncRequest& Send(AsyncRequest& request, ULONG code, PVOID argument1,
                       PVOID argument2 = nullptr) {
        PIRP irp = IoAllocateIrp(lower_->StackSize, FALSE);
        EXPECT_NE(irp, nullptr);
        request.irp = irp;
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
        next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        next->Parameters.DeviceIoControl.IoControlCode = code;
        next->Parameters.Others.Argument1 = argument1;
        next->Parameters.Others.Argument2 = argument2;
        IoSetCompletionRoutine(irp, AsyncComplete, &request, TRUE, TRUE, TRUE);
        request.callStatus = IoCallDriver(lower_, irp);
        return request;
    }
    static NTSTATUS SignalAndKeep(PDEVICE_OBJECT, PIRP, PVOID context) {
        KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
        return STATUS_MORE_PROCESSING_REQUIRED;
    }
    static NTSTATUS AsyncComplete(PDEVICE_OBJECT, PIRP irp, PVOID context) {
        auto* request = static_cast<AsyncRequest*>(context);
        request->done = true;
        request->finalStatus = irp->IoStatus.Status;
        request->completionIrql = KeGetCurrentIrql();
        request->pendingReturned = irp->PendingReturned;
        request->irp = nullptr;
        IoFreeIrp(irp);
        return STATUS_MORE_PROCESSING_REQUIRED;
    }

    PDRIVER_OBJECT driver_ = nullptr;
    PDEVICE_OBJECT fdo_ = nullptr;
    PDEVICE_OBJECT lower_ = nullptr;
    std::vector<std::unique_ptr<AsyncRequest>> requests_;
};

// Selects the first interface of a configuration descriptor, as the touch
// driver does; returns the URB (free with ExFreePool) or nullptr.
inline PURB SelectFirstInterface(std::vector<uint8_t>& configuration) {
    auto* config = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(configuration.data());
    auto* first = reinterpret_cast<PUSB_INTERFACE_DESCRIPTOR>(
        USBD_ParseDescriptors(config, config->wTotalLength, config, USB_INTERFACE_DESCRIPTOR_TYPE));
    if (first == nullptr)
        return nullptr;
    USBD_INTERFACE_LIST_ENTRY list[2] = {{first, nullptr}, {nullptr, nullptr}};
    return USBD_CreateConfigurationRequestEx(config, list);
}

} // namespace usbtest
