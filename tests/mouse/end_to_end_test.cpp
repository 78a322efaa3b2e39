// From the finger to the pointer: the touch screen model on a hub port, the
// touch driver, the mouse service driver and the mouse class, each brought
// up by the Plug and Play manager. Without calibration the touch driver maps
// raw X and Y by 40 and 54, so raw (100, 200) is (4000, 10800), which the
// class puts at pixel (62, 126) of its 1024 x 768 screen.
#include "drivers/touch/korvex.h"
#include "machine/devices/touchscreen_model.h"
#include "platform/usb/usb_hub.h"
#include "tests/mouse/mouse_harness.h"

#include <algorithm>
#include <deque>
#include <memory>

namespace mouse_testing {
namespace {

using Lines = std::vector<std::string>;
using platform::input::PointerEvent;

const std::string kSettingsKey = "\\REGISTRY\\Machine\\Software\\Touch\\UsbConfig";
const std::string kTouchService = "tch";

class EndToEndTest : public MouseStackTest {
protected:
    void SetUp() override {
        MouseStackTest::SetUp();
        kernel.Registry().Create("\\REGISTRY\\Machine\\System\\CurrentControlSet\\Services\\" +
                                 kTouchService);
        kernel.SetTickLength(156250);
        hub_.emplace(1);
        mouseClass->SetEventHandler([this](const PointerEvent& event) {
            events_.push_back(event);
            heldWhileMoving_ = heldWhileMoving_ || (event.kind == PointerEvent::Kind::Move &&
                                                    mouseClass->Pointer().left);
        });
    }

    void ReleaseTouch() override {
        if (touchNode_ != nullptr) {
            DeviceState state = kernel.StateOf(touchNode_);
            if (state == DeviceState::Started || state == DeviceState::Stopped) {
                EXPECT_EQ(kernel.RemoveDevice(touchNode_), STATUS_SUCCESS);
            }
        }
        kernel.RunDueEvents();
        hub_.reset();
        models_.clear();
    }

    // "1" Up, "2" Down, "3" Drag; the stability filter off.
    void SetMode(const char* mode) {
        kernel.Registry().Create(kSettingsKey);
        SetText("doneMode", mode);
        SetText("moveSlider", "0");
    }

    NTSTATUS PlugScreen() {
        auto& model = *models_.emplace_back(std::make_unique<machine::devices::TouchScreenModel>());
        PDEVICE_OBJECT pdo = hub_->Port().Plug(model);
        EXPECT_NE(pdo, nullptr);
        NTSTATUS status = kernel.PlugInDevice(pdo, "USB\\VID_595A&PID_0001\\1", kTouchService,
                                              DriverEntry, &touchNode_);
        kernel.RunDueEvents();
        return status;
    }

    void PlugBoth() {
        ASSERT_EQ(PlugScreen(), STATUS_SUCCESS);
        ASSERT_EQ(PlugMouse(), STATUS_SUCCESS);
        ASSERT_NE(Link()->TouchDeviceObject, nullptr);
    }

    machine::devices::TouchScreenModel& Screen() { return *models_.back(); }
    platform::usb::UsbPort& Port() { return hub_->Port(); }

    // The pointer events as "move 62 126", "down left 62 126" ...
    Lines Events() {
        Lines lines;
        for (const PointerEvent& event : events_) {
            std::string kind = event.kind == PointerEvent::Kind::Move   ? "move"
                               : event.kind == PointerEvent::Kind::Down ? "down "
                                                                        : "up ";
            if (event.kind != PointerEvent::Kind::Move)
                kind += platform::input::ButtonName(event.button);
            lines.push_back(kind + " " + std::to_string(event.x) + " " + std::to_string(event.y));
        }
        return lines;
    }

    std::vector<PointerEvent> events_;
    bool heldWhileMoving_ = false;
    platform::kernel::DeviceNode* touchNode_ = nullptr;

private:
    void SetText(const std::string& name, const std::string& text) {
        std::vector<UCHAR> bytes;
        for (char c : text)
            bytes.insert(bytes.end(), {UCHAR(c), 0});
        kernel.Registry().SetValue(kSettingsKey, name, REG_SZ, bytes.data(), bytes.size());
    }

    std::optional<platform::usb::UsbHub> hub_;
    std::deque<std::unique_ptr<machine::devices::TouchScreenModel>> models_;
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
