// The device control interface: lengths and statuses, held point reads,
// commands and the interface re-announcement.
#include "tests/touch/touch_harness.h"

namespace touch_testing {
namespace {

using DeviceControlTest = TouchTest;
using Frame = std::array<ULONG, 4>;

TEST_F(DeviceControlTest, PanelRequestsNeedExactly16Bytes) {
    PushPoint(ext, 1, 0x1234, 0x5678);
    Frame frame;
    ULONG returned;
    for (ULONG length : {0u, 15u, 17u, 20u}) {
        EXPECT_EQ(GetPoint(&frame, length, &returned), STATUS_INVALID_PARAMETER) << length;
        EXPECT_EQ(returned, 0u);
    }
    for (ULONG length : {0u, 8u, 15u, 17u})
        EXPECT_EQ(Command(TOUCH_CMD_RAW_ON, length), STATUS_INVALID_PARAMETER) << length;
    EXPECT_FALSE(ext->RawMode);
    EXPECT_EQ(kernel.DeviceIoControl(Panel(), 0x22000C, nullptr, 0, nullptr, 0, &returned),
              STATUS_INVALID_PARAMETER);

    ASSERT_EQ(GetPoint(&frame, 16, &returned), STATUS_SUCCESS);
    EXPECT_EQ(returned, 16u);
    EXPECT_EQ(frame, (Frame{0, 0x1234, 0x5678, 1}));
    ASSERT_EQ(GetPoint(&frame), STATUS_SUCCESS);
    EXPECT_EQ(frame, (Frame{0, 111, 111, 111}));
}

TEST_F(DeviceControlTest, InternalRequestsStatusTable) {
    struct Case {
        ULONG code, length;
        NTSTATUS status;
        ULONG_PTR information;
    };
    const Case cases[] = {
        {IOCTL_TOUCH_READ_POINT, 4, STATUS_INVALID_PARAMETER, 0},
        {IOCTL_TOUCH_READ_POINT, 5, STATUS_SUCCESS, 5},
        {IOCTL_TOUCH_READ_POINT, 10, STATUS_SUCCESS, 5},
        {IOCTL_TOUCH_RELEASE_READS, 0, STATUS_SUCCESS, 0},
        {IOCTL_TOUCH_COMMAND, 16, STATUS_INVALID_PARAMETER, 0},
    };
    for (const Case& c : cases) {
        PushPoint(ext, 0, 7, 8);
        InternalRequest request(ext->DeviceObject, c.code, c.length);
        EXPECT_EQ(request.Send(), c.status) << std::hex << c.code << " " << c.length;
        EXPECT_EQ(request.Information(), c.information) << std::hex << c.code << " " << c.length;
        PopAll();
    }
}

TEST_F(DeviceControlTest, HeldReadTakesNextReportAndReissueGetsReleaseAtOnce) {
    InternalRequest press(ext->DeviceObject, IOCTL_TOUCH_READ_POINT);
    ASSERT_EQ(press.Send(), STATUS_PENDING);
    Report(0x84, 20, 30); // Up mode: press and release
    ASSERT_TRUE(press.Done());
    EXPECT_EQ(press.Status(), STATUS_SUCCESS);
    EXPECT_EQ(press.Information(), 5u);
    EXPECT_EQ(press.Point(), (Pt{1, 800, 1620}));

    InternalRequest release(ext->DeviceObject, IOCTL_TOUCH_READ_POINT, 5);
    EXPECT_EQ(release.Send(), STATUS_SUCCESS);
    EXPECT_EQ(release.Point(), (Pt{0, 800, 1620}));
}

TEST_F(DeviceControlTest, OneHeldReadServedPerReportOldestFirst) {
    InternalRequest older(ext->DeviceObject, IOCTL_TOUCH_READ_POINT);
    InternalRequest newer(ext->DeviceObject, IOCTL_TOUCH_READ_POINT);
    ASSERT_EQ(older.Send(), STATUS_PENDING);
    ASSERT_EQ(newer.Send(), STATUS_PENDING);
    Report(0x84, 1, 1);
    EXPECT_TRUE(older.Done());
    EXPECT_FALSE(newer.Done());

    ext->RawMode = TRUE;
    Report(0x81, 1, 1);
    EXPECT_FALSE(newer.Done()); // raw reports serve nobody

    InternalRequest release(ext->DeviceObject, IOCTL_TOUCH_RELEASE_READS, 0);
    EXPECT_EQ(release.Send(), STATUS_SUCCESS);
    ASSERT_TRUE(newer.Done());
    EXPECT_EQ(newer.Status(), STATUS_CANCELLED);
    EXPECT_EQ(newer.Information(), 0u);
}

TEST_F(DeviceControlTest, ReadWithoutNodeMemoryFailsOnlyWhenNoPointQueued) {
    kernel.SetAllocationFilter([](const platform::kernel::AllocationRequest& request) {
        return request.tag == TOUCH_POOL_TAG;
    });
    InternalRequest empty(ext->DeviceObject, IOCTL_TOUCH_READ_POINT);
    EXPECT_EQ(empty.Send(), STATUS_NO_MEMORY);

    PushPoint(ext, 1, 2, 3);
    InternalRequest queued(ext->DeviceObject, IOCTL_TOUCH_READ_POINT);
    EXPECT_EQ(queued.Send(), STATUS_SUCCESS);
    EXPECT_EQ(queued.Point(), (Pt{1, 2, 3}));
    kernel.SetAllocationFilter(nullptr);
}

TEST_F(DeviceControlTest, CommandsReannounceInterfaceUntilFirstRead) {
    auto toggles = [this] {
        size_t count = 0;
        const auto& changes = kernel.InterfaceStateChanges();
        for (size_t i = 1; i < changes.size(); ++i)
            count += !changes[i - 1].enable && changes[i].enable;
        return count;
    };
    EXPECT_EQ(Command(9), STATUS_SUCCESS);
    EXPECT_EQ(Command(TOUCH_CMD_RAW_ON, 8), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(toggles(), 2u);

    InternalRequest tooShort(ext->DeviceObject, IOCTL_TOUCH_READ_POINT, 4);
    EXPECT_EQ(tooShort.Send(), STATUS_INVALID_PARAMETER); // still an input driver
    EXPECT_EQ(Command(9), STATUS_SUCCESS);
    EXPECT_EQ(toggles(), 2u);
}

TEST_F(DeviceControlTest, CommandsSwitchRawModeAndReleaseAnchor) {
    const std::pair<UCHAR, bool> cases[] = {
        {TOUCH_CMD_RAW_ON, true}, {9, true}, {TOUCH_CMD_RAW_OFF, false}, {0, false}};
    for (const auto& [command, rawAfter] : cases) {
        ext->HoldCount = 4;
        ext->CalibrationLoaded = TRUE;
        EXPECT_EQ(Command(command), STATUS_SUCCESS);
        EXPECT_EQ(bool(ext->RawMode), rawAfter) << int(command);
        EXPECT_EQ(ext->HoldCount, 0u);
        EXPECT_TRUE(ext->CalibrationLoaded);
    }
}

TEST_F(DeviceControlTest, UnloadGivesBackHeldReads) {
    InternalRequest read(ext->DeviceObject, IOCTL_TOUCH_READ_POINT);
    ASSERT_EQ(read.Send(), STATUS_PENDING);
    TouchUnload(driver); // again, harmlessly, when the fixture unloads
    ASSERT_TRUE(read.Done());
    EXPECT_EQ(read.Status(), STATUS_CANCELLED);
    EXPECT_EQ(kernel.FindDevice("\\DosDevices\\vududode"), nullptr);
}

} // namespace
} // namespace touch_testing
