// pelmo98 under the HID class stand-in on a root device, brought up and
// down by the Plug and Play manager. Tests that send their own read-report
// requests turn the class's reads off.
#pragma once

#include "drivers/hid/pelmo98.h"
#include "platform/input/hid_class.h"
#include "platform/usb/usbd_version.h"
#include "tests/support/root_stack_fixture.h"

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace hid_testing {

using input_testing::Answer;
using input_testing::DeviceState;
using input_testing::kMs;
using input_testing::Lines;
using input_testing::SendPnp;
using Bytes = std::vector<uint8_t>;

// One HID request of the test's own, to the top of the stack. Output at
// UserBuffer; poisoned with 0xCC so that bytes not written show.
struct HidAnswer {
    NTSTATUS status;
    ULONG_PTR information;
    Bytes out;
};

inline NTSTATUS SignalDone(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

inline HidAnswer SendHid(PDEVICE_OBJECT target, ULONG code, ULONG outLength, ULONG inLength = 0,
                         ULONG_PTR type3 = 0, bool nullBuffer = false) {
    HidAnswer answer{STATUS_PENDING, 0, Bytes(outLength, 0xCC)};
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    PIRP irp = IoAllocateIrp(target->StackSize, FALSE);
    irp->UserBuffer = nullBuffer ? nullptr : answer.out.data();
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = code;
    next->Parameters.DeviceIoControl.OutputBufferLength = outLength;
    next->Parameters.DeviceIoControl.InputBufferLength = inLength;
    next->Parameters.DeviceIoControl.Type3InputBuffer = reinterpret_cast<PVOID>(type3);
    IoSetCompletionRoutine(irp, SignalDone, &done, TRUE, TRUE, TRUE);
    if (IoCallDriver(target, irp) == STATUS_PENDING)
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
    answer.status = irp->IoStatus.Status;
    answer.information = irp->IoStatus.Information;
    IoFreeIrp(irp);
    return answer;
}

// A read-report request that may be held: sent now, looked at later. The
// completion may run on any thread.
class ReadRequest {
public:
    ReadRequest(PDEVICE_OBJECT target, ULONG length = BRIDGE_REPORT_LENGTH)
        : buffer_(length, 0xCC) {
        irp_ = IoAllocateIrp(target->StackSize, FALSE);
        irp_->UserBuffer = buffer_.data();
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp_);
        next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        next->Parameters.DeviceIoControl.IoControlCode = IOCTL_HID_READ_REPORT;
        next->Parameters.DeviceIoControl.OutputBufferLength = length;
        IoSetCompletionRoutine(irp_, Completed, this, TRUE, TRUE, TRUE);
        returned_ = IoCallDriver(target, irp_);
    }
    // A request still out when its record goes would be completed into freed
    // memory: a test must see every read to its end.
    ~ReadRequest() {
        EXPECT_TRUE(done_.load()) << "read-report request still out";
        if (done_.load())
            IoFreeIrp(irp_);
    }
    ReadRequest(const ReadRequest&) = delete;
    ReadRequest& operator=(const ReadRequest&) = delete;

    NTSTATUS Returned() const { return returned_; }
    bool Done() const { return done_.load(); }
    NTSTATUS Status() const { return status_; }
    ULONG_PTR Information() const { return information_; }
    Bytes Report() const { return Bytes(buffer_.begin(), buffer_.begin() + information_); }
    bool Cancel() { return IoCancelIrp(irp_) != FALSE; }

private:
    static NTSTATUS Completed(PDEVICE_OBJECT, PIRP irp, PVOID context) {
        auto* self = static_cast<ReadRequest*>(context);
        self->status_ = irp->IoStatus.Status;
        self->information_ = irp->IoStatus.Information;
        self->done_.store(true);
        return STATUS_MORE_PROCESSING_REQUIRED;
    }

    Bytes buffer_;
    PIRP irp_;
    NTSTATUS returned_;
    NTSTATUS status_ = STATUS_PENDING;
    ULONG_PTR information_ = 0;
    std::atomic<bool> done_{false};
};

class HidStackTest : public input_testing::RootStackTest {
protected:
    HidStackTest()
        : RootStackTest({"ROOT\\TOUCHSCREEN\\0000", "pelmo98", HidDriverEntry, "hid "}) {}

    void CreateClass() override {
        platform::usb::SetUsbdiVersion(platform::usb::kUsbdiVersion98);
        hidClass.emplace(ClassOptions());
    }
    void DropClass() override {
        hidClass.reset();
        platform::usb::SetUsbdiVersion(platform::usb::kUsbdiVersionXp);
    }

    virtual platform::input::HidClassOptions ClassOptions() { return {}; }

    NTSTATUS PlugBridge() { return Plug(); }

    // The HID class's device: right above the PDO.
    PDEVICE_OBJECT Device() const { return rootPdo->AttachedDevice; }
    PBRIDGE_DEVICE_EXTENSION Bridge() const { return BridgeExtension(Device()); }
    PTOUCH_LINK Link() const { return &Bridge()->Link; }

    std::optional<platform::input::HidClass> hidClass;
};

} // namespace hid_testing
