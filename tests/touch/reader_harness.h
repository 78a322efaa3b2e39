// The touch driver on a hub port with the touch screen model, brought up and
// down by the Plug and Play and power managers.
//
// Between the driver and the port's PDO sits a test filter, the tap: it logs
// every request that goes down and can end chosen ones itself, so that tests
// see what reached the bus and can produce completions the model never makes
// (any read status, a slow reset, power requests finished at dispatch level).
#pragma once

#include "machine/devices/touchscreen_model.h"
#include "platform/usb/usb_hub.h"
#include "tests/touch/touch_harness.h"

#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace touch_testing {

constexpr uint64_t kMs = 10'000;

// What the tap does; shared between the test and the filter's dispatch.
struct TapScript {
    std::mutex mutex;
    std::vector<std::string> log; // "status", "enable", "reset", "urb 09", "pnp 00", "power 02"
    // The next transfers end with these, at dispatch level, after readDelay;
    // they cannot be cancelled meanwhile.
    std::deque<NTSTATUS> readResults;
    uint64_t readDelay = 0;
    std::deque<NTSTATUS> resetResults; // the next resets end with these after resetDelay
    uint64_t resetDelay = 0;
    bool powerAtDispatch = false; // set-power requests end here, at dispatch level, later
    // Port-status requests are held, never answered, until cancelled (a hub
    // that does not answer); held ones end with STATUS_CANCELLED.
    bool holdStatus = false;
    bool holdReset = false; // the same for port resets
    // Every configuration descriptor read that asks for more than its 9-byte
    // header comes back claiming this wTotalLength (0: as the device sent it).
    USHORT claimedTotalLength = 0;

    size_t Count(const std::string& entry) {
        std::lock_guard lock(mutex);
        return static_cast<size_t>(std::count(log.begin(), log.end(), entry));
    }
    size_t Size() {
        std::lock_guard lock(mutex);
        return log.size();
    }
};

struct TapDevice {
    PDEVICE_OBJECT lower;
    TapScript* script;
};

inline TapDevice* TapOf(PDEVICE_OBJECT device) {
    return static_cast<TapDevice*>(device->DeviceExtension);
}

inline std::string Hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x", value);
    return text;
}

inline std::string DescribeUsbRequest(PIO_STACK_LOCATION stack) {
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_INTERNAL_USB_SUBMIT_URB:
        return "urb " +
               Hex2(static_cast<PURB>(stack->Parameters.Others.Argument1)->UrbHeader.Function);
    case IOCTL_INTERNAL_USB_GET_PORT_STATUS:
        return "status";
    case IOCTL_INTERNAL_USB_ENABLE_PORT:
        return "enable";
    case IOCTL_INTERNAL_USB_RESET_PORT:
        return "reset";
    default:
        return "other";
    }
}

// Ends a request the tap kept, from the scheduler at the given IRQL.
inline NTSTATUS FinishLater(PIRP irp, NTSTATUS status, uint64_t delay, KIRQL irql) {
    IoMarkIrpPending(irp);
    auto& kernel = platform::kernel::Kernel::Current();
    kernel.Schedule(
        kernel.Now() + delay,
        [irp, status] {
            PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
            if (stack->MajorFunction == IRP_MJ_INTERNAL_DEVICE_CONTROL &&
                stack->Parameters.DeviceIoControl.IoControlCode == IOCTL_INTERNAL_USB_SUBMIT_URB) {
                auto* urb = static_cast<PURB>(stack->Parameters.Others.Argument1);
                urb->UrbHeader.Status = NT_SUCCESS(status) ? USBD_STATUS_SUCCESS : USBD_STATUS_CRC;
            }
            irp->IoStatus.Status = status;
            irp->IoStatus.Information = 0;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
        },
        irql);
    return STATUS_PENDING;
}

inline NTSTATUS TapForward(PDEVICE_OBJECT device, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(TapOf(device)->lower, irp);
}

inline VOID TapCancelHeld(PDEVICE_OBJECT, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    irp->IoStatus.Status = STATUS_CANCELLED;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

inline NTSTATUS TapHold(PIRP irp) {
    IoMarkIrpPending(irp);
    IoSetCancelRoutine(irp, TapCancelHeld);
    if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) {
        irp->IoStatus.Status = STATUS_CANCELLED;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
    }
    return STATUS_PENDING;
}

inline NTSTATUS TapClaimTotalLength(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    if (irp->PendingReturned)
        IoMarkIrpPending(irp);
    auto* urb = static_cast<PURB>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1);
    auto* config =
        static_cast<PUSB_CONFIGURATION_DESCRIPTOR>(urb->UrbControlDescriptorRequest.TransferBuffer);
    if (NT_SUCCESS(irp->IoStatus.Status) &&
        urb->UrbControlDescriptorRequest.TransferBufferLength >= sizeof(*config))
        config->wTotalLength = static_cast<USHORT>(reinterpret_cast<ULONG_PTR>(context));
    return STATUS_CONTINUE_COMPLETION;
}

// A configuration descriptor read past the header.
inline bool IsLongConfigurationRead(PIO_STACK_LOCATION stack) {
    if (stack->Parameters.DeviceIoControl.IoControlCode != IOCTL_INTERNAL_USB_SUBMIT_URB)
        return false;
    auto* urb = static_cast<PURB>(stack->Parameters.Others.Argument1);
    return urb->UrbHeader.Function == URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE &&
           urb->UrbControlDescriptorRequest.DescriptorType == USB_CONFIGURATION_DESCRIPTOR_TYPE &&
           urb->UrbControlDescriptorRequest.TransferBufferLength >
               sizeof(USB_CONFIGURATION_DESCRIPTOR);
}

inline NTSTATUS TapInternal(PDEVICE_OBJECT device, PIRP irp) {
    TapScript& script = *TapOf(device)->script;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const std::string request = DescribeUsbRequest(stack);
    std::optional<NTSTATUS> result;
    uint64_t delay = 0;
    bool hold = false;
    USHORT claimed = 0;
    {
        std::lock_guard lock(script.mutex);
        script.log.push_back(request);
        hold =
            (request == "status" && script.holdStatus) || (request == "reset" && script.holdReset);
        if (IsLongConfigurationRead(stack))
            claimed = script.claimedTotalLength;
        if (request == "urb 09" && !script.readResults.empty()) {
            result = script.readResults.front();
            script.readResults.pop_front();
            delay = script.readDelay;
        } else if (request == "reset" && !script.resetResults.empty()) {
            result = script.resetResults.front();
            script.resetResults.pop_front();
            delay = script.resetDelay;
        }
    }
    if (hold)
        return TapHold(irp);
    if (claimed != 0) {
        IoCopyCurrentIrpStackLocationToNext(irp);
        IoSetCompletionRoutine(irp, TapClaimTotalLength,
                               reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(claimed)), TRUE, TRUE,
                               TRUE);
        return IoCallDriver(TapOf(device)->lower, irp);
    }
    if (!result)
        return TapForward(device, irp);
    return FinishLater(irp, *result, delay, request == "reset" ? PASSIVE_LEVEL : DISPATCH_LEVEL);
}

// Leaves the port's stack at removal; the driver above detaches from the
// tap itself, and the test deletes it.
inline NTSTATUS TapPnp(PDEVICE_OBJECT device, PIRP irp) {
    TapDevice* tap = TapOf(device);
    const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    {
        std::lock_guard lock(tap->script->mutex);
        tap->script->log.push_back("pnp " + Hex2(minor));
    }
    PDEVICE_OBJECT lower = tap->lower;
    NTSTATUS status = TapForward(device, irp);
    if (minor == IRP_MN_REMOVE_DEVICE) {
        IoDetachDevice(lower);
        tap->lower = nullptr;
    }
    return status;
}

inline NTSTATUS TapPower(PDEVICE_OBJECT device, PIRP irp) {
    TapDevice* tap = TapOf(device);
    const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    bool here;
    {
        std::lock_guard lock(tap->script->mutex);
        tap->script->log.push_back("power " + Hex2(minor));
        here = tap->script->powerAtDispatch && minor == IRP_MN_SET_POWER;
    }
    PoStartNextPowerIrp(irp);
    if (here)
        return FinishLater(irp, STATUS_SUCCESS, kMs, DISPATCH_LEVEL);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(tap->lower, irp);
}

inline NTSTATUS TapEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = TapInternal;
    driver->MajorFunction[IRP_MJ_PNP] = TapPnp;
    driver->MajorFunction[IRP_MJ_POWER] = TapPower;
    return STATUS_SUCCESS;
}

using machine::devices::TouchScreenModel;
using machine::devices::TouchScreenOptions;
using platform::usb::UsbPortOptions;
using DeviceState = platform::kernel::Kernel::DeviceState;

class ScreenTest : public kernel_testing::KernelFixture {
protected:
    static constexpr const char* kService = "tch";

    void SetUp() override {
        kernel.Registry().Create(kServicesKey + kService);
        kernel.SetTickLength(156250);
        tapDriver_ = kernel.LoadDriver("tap", TapEntry);
        hub_.emplace(2);
    }

    void TearDown() override {
        for (auto& screen : screens_) {
            if (screen.node == nullptr)
                continue;
            DeviceState state = kernel.StateOf(screen.node);
            if (state == DeviceState::Started || state == DeviceState::Stopped) {
                EXPECT_EQ(kernel.RemoveDevice(screen.node), STATUS_SUCCESS);
            }
        }
        for (auto& screen : screens_) {
            if (TapOf(screen.tap)->lower != nullptr)
                IoDetachDevice(TapOf(screen.tap)->lower);
            IoDeleteDevice(screen.tap);
        }
        hub_.reset();
        screens_.clear();
        kernel.UnloadDriver(tapDriver_);
        KernelFixture::TearDown();
    }

    // Puts a touch screen on the port and lets Plug and Play bring it up;
    // returns what PlugInDevice returned. ext is the device's context.
    NTSTATUS Plug(TouchScreenOptions options = {}, UsbPortOptions port = {}) {
        const size_t index = screens_.size();
        Screen& screen = screens_.emplace_back();
        screen.model = std::make_unique<TouchScreenModel>(options);
        PDEVICE_OBJECT pdo = hub_->Port(index).Plug(*screen.model, port);
        EXPECT_NE(pdo, nullptr);
        EXPECT_EQ(IoCreateDevice(tapDriver_, sizeof(TapDevice), nullptr, FILE_DEVICE_UNKNOWN, 0,
                                 FALSE, &screen.tap),
                  STATUS_SUCCESS);
        TapOf(screen.tap)->script = &screen.script;
        TapOf(screen.tap)->lower = IoAttachDeviceToDeviceStack(screen.tap, pdo);
        screen.tap->Flags &= ~DO_DEVICE_INITIALIZING;
        const std::string instance = "USB\\VID_595A&PID_0001\\" + std::to_string(index + 1);
        NTSTATUS status =
            kernel.PlugInDevice(pdo, instance, kService, TouchDriverEntry, &screen.node);
        if (index == 0)
            FindExtension();
        return status;
    }

    void FindExtension() {
        PDEVICE_OBJECT device = kernel.FindDevice("\\Device\\vududo");
        ext = device ? static_cast<PTOUCH_DEVICE_EXTENSION>(device->DeviceExtension) : nullptr;
    }

    TouchScreenModel& Model(size_t index = 0) { return *screens_.at(index).model; }
    TapScript& Tap(size_t index = 0) { return screens_.at(index).script; }
    platform::kernel::DeviceNode* Node(size_t index = 0) { return screens_.at(index).node; }
    platform::usb::UsbPort& Port(size_t index = 0) { return hub_->Port(index); }

    void Advance(uint64_t ms) { kernel.AdvanceTime(ms * kMs); }

    // Interrupt transfers the driver has sent so far.
    size_t ReadsSent(size_t index = 0) { return Tap(index).Count("urb 09"); }

    // The state of the device's interface as the driver last set it.
    std::optional<bool> InterfaceEnabled() {
        std::optional<bool> enabled;
        for (const auto& change : kernel.InterfaceStateChanges())
            if (NT_SUCCESS(change.status))
                enabled = change.enable;
        return enabled;
    }

    std::vector<Pt> PopAll() {
        std::vector<Pt> points;
        TOUCH_POINT point;
        KIRQL old = AcquireTouchLock();
        while (PopPoint(ext, &point))
            points.push_back(ToPt(point));
        ReleaseTouchLock(old);
        return points;
    }

    // A complete set of the four settings, identity tables, under key.
    void WriteSettings(const std::string& key, const std::string& mode) {
        struct Helpers : TouchTest {
            using TouchTest::Table;
            using TouchTest::Text;
        };
        const std::vector<UCHAR> table = Helpers::Table([](int i) { return USHORT(i); });
        const std::vector<UCHAR> modeText = Helpers::Text(mode);
        const std::vector<UCHAR> sliderText = Helpers::Text("0");
        auto& registry = kernel.Registry();
        registry.SetValue(key, "XArray", REG_BINARY, table.data(), table.size());
        registry.SetValue(key, "YArray", REG_BINARY, table.data(), table.size());
        registry.SetValue(key, "doneMode", REG_SZ, modeText.data(), modeText.size());
        registry.SetValue(key, "moveSlider", REG_SZ, sliderText.data(), sliderText.size());
    }
    static std::string BackupKey() { return kServicesKey + kService + "\\USBConfig"; }

    PTOUCH_DEVICE_EXTENSION ext = nullptr;

private:
    struct Screen {
        std::unique_ptr<TouchScreenModel> model;
        TapScript script;
        PDEVICE_OBJECT tap = nullptr;
        platform::kernel::DeviceNode* node = nullptr;
    };

    PDRIVER_OBJECT tapDriver_ = nullptr;
    std::optional<platform::usb::UsbHub> hub_;
    std::deque<Screen> screens_; // stable addresses: the taps point into them
};

} // namespace touch_testing
