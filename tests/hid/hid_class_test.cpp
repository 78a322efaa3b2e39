// The HID class stand-in against a scripted minidriver: the start sequence,
// a descriptor that does not parse, reports with identifiers and the pump.
#include "tests/hid/hid_harness.h"

#include <cstring>
#include <deque>

namespace hid_testing {
namespace {

struct Script {
    Bytes descriptor;
    std::deque<Bytes> reports; // answered at once while there are any
    PIRP held = nullptr;       // a read waiting for the next report
    std::vector<ULONG> codes;  // requests in arrival order
};
Script* gScript = nullptr;

PDEVICE_OBJECT NextOf(PDEVICE_OBJECT device) {
    return static_cast<PHID_DEVICE_EXTENSION>(device->DeviceExtension)->NextDeviceObject;
}

NTSTATUS Finish(PIRP irp, NTSTATUS status, ULONG_PTR information = 0) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS Answer(PIRP irp, const void* data, size_t length) {
    std::memcpy(irp->UserBuffer, data, length);
    return Finish(irp, STATUS_SUCCESS, length);
}

VOID CancelHeld(PDEVICE_OBJECT, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    gScript->held = nullptr;
    Finish(irp, STATUS_CANCELLED);
}

NTSTATUS Internal(PDEVICE_OBJECT, PIRP irp) {
    const ULONG code = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.IoControlCode;
    gScript->codes.push_back(code);
    switch (code) {
    case IOCTL_HID_GET_DEVICE_DESCRIPTOR: {
        const USHORT length = static_cast<USHORT>(gScript->descriptor.size());
        const uint8_t hid[9] = {
            9, 0x21, 0x11, 0x01, 0, 1, 0x22, uint8_t(length), uint8_t(length >> 8)};
        return Answer(irp, hid, sizeof hid);
    }
    case IOCTL_HID_GET_DEVICE_ATTRIBUTES: {
        HID_DEVICE_ATTRIBUTES attributes{sizeof attributes, 0x1234, 0x5678, 0x0200, {}};
        return Answer(irp, &attributes, sizeof attributes);
    }
    case IOCTL_HID_GET_REPORT_DESCRIPTOR:
        return Answer(irp, gScript->descriptor.data(), gScript->descriptor.size());
    case IOCTL_HID_READ_REPORT:
        if (!gScript->reports.empty()) {
            Bytes report = gScript->reports.front();
            gScript->reports.pop_front();
            return Answer(irp, report.data(), report.size());
        }
        IoMarkIrpPending(irp);
        gScript->held = irp;
        IoSetCancelRoutine(irp, CancelHeld);
        return STATUS_PENDING;
    case IOCTL_HID_ACTIVATE_DEVICE:
    case IOCTL_HID_DEACTIVATE_DEVICE:
        return Finish(irp, STATUS_SUCCESS);
    default:
        return Finish(irp, STATUS_NOT_SUPPORTED);
    }
}

NTSTATUS PassDown(PDEVICE_OBJECT device, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(NextOf(device), irp);
}

NTSTATUS PowerDown(PDEVICE_OBJECT device, PIRP irp) {
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(NextOf(device), irp);
}

NTSTATUS MiniAddDevice(PDRIVER_OBJECT, PDEVICE_OBJECT device) {
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

NTSTATUS MiniEntry(PDRIVER_OBJECT driver, PUNICODE_STRING path) {
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = Internal;
    driver->MajorFunction[IRP_MJ_PNP] = PassDown;
    driver->MajorFunction[IRP_MJ_POWER] = PowerDown;
    driver->DriverExtension->AddDevice = MiniAddDevice;
    HID_MINIDRIVER_REGISTRATION registration{HID_REVISION, driver, path, 16, TRUE, {}};
    return HidRegisterMinidriver(&registration);
}

// An absolute pointer with report identifier 3: buttons, then X and Y of
// 0..1000, behind an unrelated report 1.
const Bytes kWithIds{0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x38, 0x15, 0x81,
                     0x25, 0x7F, 0x75, 0x08, 0x95, 0x01, 0x81, 0x06, 0x85, 0x03, 0x05, 0x09,
                     0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x03,
                     0x81, 0x02, 0x95, 0x05, 0x81, 0x03, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31,
                     0x15, 0x00, 0x26, 0xE8, 0x03, 0x75, 0x10, 0x95, 0x02, 0x81, 0x02, 0xC0};

class HidClassTest : public HidStackTest {
protected:
    void SetUp() override {
        HidStackTest::SetUp();
        gScript = &script;
    }
    void TearDown() override {
        HidStackTest::TearDown();
        gScript = nullptr;
    }
    NTSTATUS PlugMini() { return Plug("ROOT\\HIDTEST\\0000", "hidtest", MiniEntry); }
    Script script;
};

TEST_F(HidClassTest, ADescriptorThatDoesNotParseFailsTheStart) {
    script.descriptor = Bytes(kWithIds.begin(), kWithIds.begin() + 52); // cut inside 26 E8 03
    EXPECT_EQ(PlugMini(), STATUS_DEVICE_DATA_ERROR);
    EXPECT_EQ(InputTrace(),
              (Lines{"hid start failed reason=\"item runs past the end at offset 50\""}));
    EXPECT_EQ(kernel.StateOf(node), DeviceState::Failed);
    EXPECT_EQ(rootPdo->AttachedDevice, nullptr); // removed and deleted
    EXPECT_EQ(script.held, nullptr);
}

TEST_F(HidClassTest, ADescriptorWithoutXAndYFailsTheStart) {
    script.descriptor = {0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02};
    EXPECT_EQ(PlugMini(), STATUS_DEVICE_DATA_ERROR);
    EXPECT_EQ(InputTrace(),
              (Lines{"hid start failed reason=\"no input report with X and Y usages\""}));
}

TEST_F(HidClassTest, StartAsksForDescriptorsStringsThenActivatesAndReads) {
    script.descriptor = kWithIds;
    ASSERT_EQ(PlugMini(), STATUS_SUCCESS);
    EXPECT_EQ(script.codes,
              (std::vector<ULONG>{IOCTL_HID_GET_DEVICE_DESCRIPTOR, IOCTL_HID_GET_DEVICE_ATTRIBUTES,
                                  IOCTL_HID_GET_REPORT_DESCRIPTOR, IOCTL_HID_GET_STRING,
                                  IOCTL_HID_GET_STRING, IOCTL_HID_ACTIVATE_DEVICE,
                                  IOCTL_HID_READ_REPORT}));
    ASSERT_NE(script.held, nullptr);
    EXPECT_EQ(
        IoGetCurrentIrpStackLocation(script.held)->Parameters.DeviceIoControl.OutputBufferLength,
        6u); // the pointer's report with its identifier byte
    auto devices = hidClass->Devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_TRUE(devices[0].manufacturer.empty()); // strings are optional
}

TEST_F(HidClassTest, ReportsWithIdentifiersMoveAndClickThePointer) {
    script.descriptor = kWithIds;
    // Waiting before the start: answered inside the sending call, one after another.
    script.reports = {{0x03, 0x00, 0xF4, 0x01, 0xF4, 0x01}, {0x01, 0x05}};
    ASSERT_EQ(PlugMini(), STATUS_SUCCESS);
    PIRP held = script.held;
    ASSERT_NE(held, nullptr);
    const uint8_t press[6] = {0x03, 0x01, 0xE8, 0x03, 0x00, 0x00};
    script.held = nullptr;
    std::memcpy(held->UserBuffer, press, sizeof press);
    IoSetCancelRoutine(held, nullptr);
    Finish(held, STATUS_SUCCESS, sizeof press);
    EXPECT_EQ(InputTrace(),
              (Lines{"hid device vendor=0x1234 product=0x5678 version=0x0200 report=6",
                     "hid report 03 00 f4 01 f4 01", "pointer move x=511 y=383", "hid report 01 05",
                     "hid report 03 01 e8 03 00 00", "pointer move x=1023 y=0",
                     "pointer down left x=1023 y=0"}));
    EXPECT_EQ(hidClass->Reports(), 3u);
    EXPECT_NE(script.held, nullptr); // the next read is out
}

TEST_F(HidClassTest, StopCancelsTheClassReadBeforeTheMinidriverHearsOfIt) {
    script.descriptor = kWithIds;
    ASSERT_EQ(PlugMini(), STATUS_SUCCESS);
    ASSERT_NE(script.held, nullptr);
    ASSERT_EQ(kernel.StopDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(script.held, nullptr);
    EXPECT_EQ(script.codes.back(), IOCTL_HID_DEACTIVATE_DEVICE);
    ASSERT_EQ(kernel.RestartDevice(node), STATUS_SUCCESS);
    EXPECT_NE(script.held, nullptr);
}

} // namespace
} // namespace hid_testing
