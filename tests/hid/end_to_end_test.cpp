// From the finger to the pointer on Windows 98: the touch screen model on a
// hub port, the touch driver, pelmo98 and the HID class, each brought up by
// the Plug and Play manager. Without calibration the touch driver maps raw
// X and Y by 40 and 54: raw (100, 200) is (4000, 10800), the report
// 00 a0 0f 30 2a. The first descriptor's range 1..65535 puts it at pixel
// (62, 126) of a 1024 x 768 screen; the second's 1..32767 at (124, 253).
#include "tests/hid/hid_harness.h"
#include "tests/support/touch_screen_end_to_end.h"

#include <algorithm>

namespace hid_testing {
namespace {

class HidEndToEndTest : public input_testing::TouchScreenEndToEnd<HidStackTest> {
protected:
    void SetUp() override {
        TouchScreenEndToEnd::SetUp();
        WatchPointer(*hidClass);
    }

    void PlugBoth() {
        ASSERT_EQ(PlugScreen(), STATUS_SUCCESS);
        ASSERT_EQ(PlugBridge(), STATUS_SUCCESS);
        ASSERT_NE(Link()->TouchDeviceObject, nullptr);
        Advance(1);
    }
};

TEST_F(HidEndToEndTest, UpModeClicksOnceWhereTheFingerLifts) {
    SetMode("1");
    PlugBoth();
    Screen().Press(100, 200);
    Advance(35);
    EXPECT_EQ(Events(), (Lines{"move 62 126"}));
    Screen().Lift();
    Advance(20);
    EXPECT_EQ(Events(), (Lines{"move 62 126", "down left 62 126", "up left 62 126"}));
    Lines trace = InputTrace();
    ASSERT_GE(trace.size(), 6u);
    EXPECT_EQ(trace[1], "hid report 00 a0 0f 30 2a");
    EXPECT_EQ(trace[2], "pointer move x=62 y=126");
    EXPECT_EQ(Lines(trace.end() - 4, trace.end()),
              (Lines{"hid report 01 a0 0f 30 2a", "pointer down left x=62 y=126",
                     "hid report 00 a0 0f 30 2a", "pointer up left x=62 y=126"}));
}

TEST_F(HidEndToEndTest, DownModeClicksWhereTheFingerLands) {
    SetMode("2");
    PlugBoth();
    Screen().Press(100, 200);
    Advance(5);
    EXPECT_EQ(Events(), (Lines{"move 62 126", "down left 62 126", "up left 62 126"}));
    Screen().MoveTo(200, 300, 40 * kMs);
    Advance(60);
    Screen().Lift();
    Advance(20);
    Lines events = Events();
    EXPECT_EQ(events.back(), "move 124 189");
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const std::string& line) { return line.rfind("move", 0) != 0; }),
              2);
}

TEST_F(HidEndToEndTest, DragModeHoldsTheButtonWhileTheFingerStays) {
    SetMode("3");
    PlugBoth();
    Screen().Press(100, 200);
    Advance(15);
    EXPECT_EQ(Events(), (Lines{"move 62 126", "down left 62 126"}));
    Screen().MoveTo(200, 300, 40 * kMs);
    Advance(60);
    EXPECT_TRUE(hidClass->Pointer().left);
    EXPECT_TRUE(heldWhileMoving_);
    Screen().Lift();
    Advance(20);
    EXPECT_EQ(Events().back(), "up left 124 189");
    EXPECT_FALSE(hidClass->Pointer().left);
}

TEST_F(HidEndToEndTest, TheSecondDescriptorPutsTheSamePointElsewhere) {
    platform::usb::SetUsbdiVersion(platform::usb::kUsbdiVersion2000);
    PlugBoth();
    Screen().Tap(100, 200, 30 * kMs);
    Advance(60);
    EXPECT_EQ(Events(), (Lines{"move 124 253", "down left 124 253", "up left 124 253"}));
}

TEST_F(HidEndToEndTest, StandbyAndResumeRestartTheFlow) {
    PlugBoth();
    ASSERT_EQ(kernel.SetSystemPower(PowerSystemSleeping3), STATUS_SUCCESS);
    kernel.RunDueEvents();
    EXPECT_EQ(Link()->TouchDeviceObject, nullptr);
    ASSERT_EQ(kernel.SetSystemPower(PowerSystemWorking), STATUS_SUCCESS);
    kernel.RunDueEvents();
    Advance(150); // the link's pause
    EXPECT_NE(Link()->TouchDeviceObject, nullptr);
    Screen().Tap(100, 200, 30 * kMs);
    Advance(60);
    EXPECT_EQ(Events(), (Lines{"move 62 126", "down left 62 126", "up left 62 126"}));
    EXPECT_EQ(root.Count("power 02"), 2u);
}

TEST_F(HidEndToEndTest, AScreenPluggedInAgainIsReadWithoutRestartingTheBridge) {
    PlugBoth();
    Port().PullOut();
    kernel.SurpriseRemoveDevice(touchNode_);
    kernel.RunDueEvents();
    EXPECT_EQ(Link()->TouchDeviceObject, nullptr);
    ASSERT_EQ(PlugScreen(), STATUS_SUCCESS);
    Advance(150);
    EXPECT_NE(Link()->TouchDeviceObject, nullptr);
    Screen().Tap(100, 200, 30 * kMs);
    Advance(60);
    EXPECT_EQ(Events(), (Lines{"move 62 126", "down left 62 126", "up left 62 126"}));
    EXPECT_EQ(root.Count("pnp 00"), 1u);
}

TEST_F(HidEndToEndTest, SurpriseRemovalOfTheBridgeLeavesTheTouchDriverRunning) {
    PlugBoth();
    kernel.SurpriseRemoveDevice(node);
    kernel.RunDueEvents();
    EXPECT_EQ(kernel.StateOf(node), DeviceState::Removed);
    EXPECT_EQ(kernel.StateOf(touchNode_), DeviceState::Started);
    Screen().Tap(100, 200, 30 * kMs);
    Advance(60);
    EXPECT_TRUE(Events().empty());
}

} // namespace
} // namespace hid_testing
