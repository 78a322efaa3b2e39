// From the finger to the pointer: the touch screen model on a hub port, the
// touch driver, the mouse service driver and the mouse class, each brought
// up by the Plug and Play manager. Without calibration the touch driver maps
// raw X and Y by 40 and 54, so raw (100, 200) is (4000, 10800), which the
// class puts at pixel (62, 126) of its 1024 x 768 screen.
#include "tests/mouse/mouse_harness.h"
#include "tests/support/touch_screen_end_to_end.h"

#include <algorithm>

namespace mouse_testing {
namespace {

using input_testing::Lines;

class EndToEndTest : public input_testing::TouchScreenEndToEnd<MouseStackTest> {
protected:
    void SetUp() override {
        TouchScreenEndToEnd::SetUp();
        kernel.SetTickLength(156250);
        WatchPointer(*mouseClass);
    }

    void PlugBoth() {
        ASSERT_EQ(PlugScreen(), STATUS_SUCCESS);
        ASSERT_EQ(PlugMouse(), STATUS_SUCCESS);
        ASSERT_NE(Link()->TouchDeviceObject, nullptr);
    }
};

TEST_F(EndToEndTest, UpModeClicksOnceWhereTheFingerLifts) {
    SetMode("1");
    PlugBoth();
    Screen().Press(100, 200);
    Advance(35);
    EXPECT_EQ(Events(), (Lines{"move 62 126"}));
    Screen().Lift();
    Advance(20);
    EXPECT_EQ(Events(), (Lines{"move 62 126", "down left 62 126", "up left 62 126"}));

    Lines trace = InputTrace();
    ASSERT_GE(trace.size(), 5u);
    EXPECT_EQ(trace[0], "mouse packet flags=0x0001 buttons=0x0000 raw=0x00 x=4000 y=10800");
    EXPECT_EQ(trace[1], "pointer move x=62 y=126");
    EXPECT_EQ(Lines(trace.end() - 4, trace.end()),
              (Lines{"mouse packet flags=0x0001 buttons=0x0001 raw=0x01 x=4000 y=10800",
                     "pointer down left x=62 y=126",
                     "mouse packet flags=0x0001 buttons=0x0002 raw=0x00 x=4000 y=10800",
                     "pointer up left x=62 y=126"}));
    // The press and the release come from the same report.
    EXPECT_EQ(events_[1].time, events_[2].time);
}

TEST_F(EndToEndTest, DownModeClicksWhereTheFingerLands) {
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
    EXPECT_EQ(events.back(), "move 125 189");
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const std::string& line) { return line.rfind("move", 0) != 0; }),
              2);
}

TEST_F(EndToEndTest, DragModeHoldsTheButtonWhileTheFingerStays) {
    SetMode("3");
    PlugBoth();
    Screen().Press(100, 200);
    Advance(15);
    EXPECT_EQ(Events(), (Lines{"move 62 126", "down left 62 126"}));
    Screen().MoveTo(200, 300, 40 * kMs);
    Advance(60);
    EXPECT_TRUE(mouseClass->Pointer().left);
    EXPECT_TRUE(heldWhileMoving_);
    Screen().Lift();
    Advance(20);
    Lines events = Events();
    EXPECT_EQ(events.back(), "up left 125 189");
    EXPECT_FALSE(mouseClass->Pointer().left);
}

TEST_F(EndToEndTest, StandbyAndResumeRestartTheFlow) {
    PlugBoth();
    ASSERT_EQ(kernel.SetSystemPower(PowerSystemSleeping3), STATUS_SUCCESS);
    kernel.RunDueEvents();
    EXPECT_EQ(Link()->TouchDeviceObject, nullptr);
    EXPECT_EQ(Link()->ReadIrp, nullptr);

    ASSERT_EQ(kernel.SetSystemPower(PowerSystemWorking), STATUS_SUCCESS);
    kernel.RunDueEvents();
    EXPECT_NE(Link()->TouchDeviceObject, nullptr);
    Screen().Tap(100, 200, 30 * kMs);
    Advance(60);
    EXPECT_EQ(Events(), (Lines{"move 62 126", "down left 62 126", "up left 62 126"}));
    EXPECT_EQ(root.Count("power 02"), 2u);
    EXPECT_EQ(Mouse()->RemoveLock.IoCount, 1);
}

TEST_F(EndToEndTest, AScreenPluggedInAgainIsReadWithoutRestartingTheMouseDevice) {
    PlugBoth();
    Port().PullOut();
    kernel.SurpriseRemoveDevice(touchNode_);
    kernel.RunDueEvents();
    EXPECT_EQ(Link()->TouchDeviceObject, nullptr);
    EXPECT_EQ(kernel.StateOf(touchNode_), DeviceState::Removed);

    ASSERT_EQ(PlugScreen(), STATUS_SUCCESS);
    EXPECT_NE(Link()->TouchDeviceObject, nullptr);
    Screen().Tap(100, 200, 30 * kMs);
    Advance(60);
    EXPECT_EQ(Events(), (Lines{"move 62 126", "down left 62 126", "up left 62 126"}));
    EXPECT_EQ(root.Count("pnp 00"), 1u);
}

} // namespace
} // namespace mouse_testing
