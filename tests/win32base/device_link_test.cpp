// The control panel's device link against the real touch driver: opening,
// the empty queue, the no-point marker and failing commands, and
// which message boxes each shows. The screen pulled out under the link is
// tested in the machine, where Plug and Play takes it away.
#include "apps/common/device_link.h"
#include "tests/touch/touch_harness.h"
#include "tests/win32base/win32_fixture.h"

#include <gmock/gmock.h>

namespace win32_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string>* gBoxes = nullptr;

int WINAPI RecordBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(type, UINT(MB_OK | MB_ICONERROR));
    gBoxes->push_back(std::string(caption) + ": " + text);
    return IDOK;
}

// A link whose boxes are recorded instead of shown.
struct RecordedLink : DeviceLink {
    RecordedLink() { ShowMessage = RecordBox; }
};

constexpr LONG kCoordinatePoison = -5;
constexpr BYTE kStatusPoison = 0x55;

class DeviceLinkWithoutDriver : public Win32Test {
protected:
    DeviceLinkWithoutDriver() { gBoxes = &boxes; }
    ~DeviceLinkWithoutDriver() override { gBoxes = nullptr; }
    std::vector<std::string> boxes;
};

TEST_F(DeviceLinkWithoutDriver, ShowsOneBoxAndNothingMore) {
    RecordedLink link;
    EXPECT_FALSE(link.OpenDevice());
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(link.Handle, nullptr);

    LONG x = kCoordinatePoison;
    LONG y = kCoordinatePoison;
    BYTE status = kStatusPoison;
    EXPECT_FALSE(link.ReadPoint(&x, &y, &status));
    EXPECT_EQ(x, kCoordinatePoison);
    EXPECT_EQ(status, kStatusPoison);
    link.DrainPoints();
    EXPECT_FALSE(link.SendCommand(TOUCH_CMD_RAW_ON));
    EXPECT_TRUE(link.CloseDevice());
    EXPECT_EQ(link.Removed, 0);
    EXPECT_THAT(boxes, ElementsAre("Error: No USB Infrared screen found"));
}

class DeviceLinkTest : public touch_testing::TouchTest {
protected:
    DeviceLinkTest() { gBoxes = &boxes; }
    ~DeviceLinkTest() override { gBoxes = nullptr; }

    void TearDown() override {
        link.CloseDevice();
        TouchTest::TearDown();
    }

    platform::win32::System system;
    std::vector<std::string> boxes;
    RecordedLink link;
};

TEST_F(DeviceLinkTest, AnEmptyQueueGivesZerosAndNoBox) {
    ASSERT_TRUE(link.OpenDevice());
    LONG x = kCoordinatePoison;
    LONG y = kCoordinatePoison;
    BYTE status = kStatusPoison;
    EXPECT_FALSE(link.ReadPoint(&x, &y, &status));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(link.BytesReturned, 16u);
    EXPECT_THAT(boxes, IsEmpty());
}

TEST_F(DeviceLinkTest, OnlyTheFullMarkerTripleMeansNoPoint) {
    ASSERT_TRUE(link.OpenDevice());
    // Newest first in the queue; points come out oldest first.
    PushPoint(ext, TOUCH_STATUS_DOWN, TOUCH_NO_POINT, TOUCH_NO_POINT);
    PushPoint(ext, TOUCH_NO_POINT, TOUCH_NO_POINT, 0x70);
    PushPoint(ext, TOUCH_STATUS_UP, 4999, 65535);
    struct Expected {
        LONG x, y;
        BYTE status;
    };
    const Expected expected[] = {{0x6F, 0x6F, TOUCH_STATUS_DOWN},
                                 {0x6F, 0x70, TOUCH_NO_POINT},
                                 {4999, 65535, TOUCH_STATUS_UP}};
    for (const Expected& e : expected) {
        LONG x, y;
        BYTE status;
        ASSERT_TRUE(link.ReadPoint(&x, &y, &status));
        EXPECT_EQ(x, e.x);
        EXPECT_EQ(y, e.y);
        EXPECT_EQ(status, e.status);
    }
    LONG x, y;
    BYTE status;
    EXPECT_FALSE(link.ReadPoint(&x, &y, &status));
    EXPECT_THAT(boxes, IsEmpty());
}

TEST_F(DeviceLinkTest, DrainEmptiesTheQueueBeforeRawMode) {
    ASSERT_TRUE(link.OpenDevice());
    for (int i = 0; i < 5; ++i)
        Report(TOUCH_STATUS_HOLD, USHORT(100 + i), 200);
    link.DrainPoints();
    EXPECT_THAT(PopAll(), IsEmpty());
    ASSERT_TRUE(link.SendCommand(TOUCH_CMD_RAW_ON));
    EXPECT_TRUE(ext->RawMode);
    ASSERT_TRUE(link.SendCommand(TOUCH_CMD_RAW_OFF));
    EXPECT_FALSE(ext->RawMode);
    EXPECT_THAT(boxes, IsEmpty());
}

TEST_F(DeviceLinkTest, AFailingCommandLeavesTheLinkUsable) {
    ASSERT_TRUE(link.OpenDevice());
    // The driver accepts every 16-byte command, so the request fails in the
    // I/O manager instead: no request can be allocated.
    kernel.SetAllocationFilter([](const platform::kernel::AllocationRequest& request) {
        return request.kind == platform::kernel::AllocationRequest::Kind::Irp;
    });
    EXPECT_FALSE(link.SendCommand(TOUCH_CMD_RELOAD));
    EXPECT_FALSE(link.SendCommand(TOUCH_CMD_RELOAD));
    kernel.SetAllocationFilter({});
    EXPECT_EQ(link.Removed, 0);
    EXPECT_NE(link.Handle, nullptr);
    EXPECT_TRUE(link.SendCommand(TOUCH_CMD_RAW_ON));
    EXPECT_TRUE(ext->RawMode);
    EXPECT_THAT(boxes, ElementsAre("Error: Send Command to Device Fail",
                                   "Error: Send Command to Device Fail"));
}

} // namespace
} // namespace win32_testing
