// From the finger to the pointer on Windows 98: the touch screen model on a
// hub port, the touch driver, pelmo98 and the HID class, each brought up by
// the Plug and Play manager. Without calibration the touch driver maps raw
// X and Y by 40 and 54: raw (100, 200) is (4000, 10800), the report
// 00 a0 0f 30 2a. The first descriptor's range 1..65535 puts it at pixel
// (62, 126) of a 1024 x 768 screen; the second's 1..32767 at (124, 253).
#include "drivers/touch/korvex.h"
#include "machine/devices/touchscreen_model.h"
#include "platform/usb/usb_hub.h"
#include "tests/hid/hid_harness.h"

#include <deque>

namespace hid_testing {
namespace {

using platform::input::PointerEvent;

const std::string kSettingsKey = "\\REGISTRY\\Machine\\Software\\Touch\\UsbConfig";
const std::string kTouchService = "tch";

class HidEndToEndTest : public HidStackTest {
protected:
    void SetUp() override {
        HidStackTest::SetUp();
        kernel.Registry().Create("\\REGISTRY\\Machine\\System\\CurrentControlSet\\Services\\" +
                                 kTouchService);
        hub_.emplace(1);
        hidClass->SetEventHandler([this](const PointerEvent& event) {
            events_.push_back(event);
            heldWhileMoving_ = heldWhileMoving_ ||
                               (event.kind == PointerEvent::Kind::Move && hidClass->Pointer().left);
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
        NTSTATUS status = kernel.PlugInDevice(pdo, "USB\\VID_595A&PID_0001\\1", kTouchService,
                                              DriverEntry, &touchNode_);
        kernel.RunDueEvents();
        return status;
    }

    void PlugBoth() {
        ASSERT_EQ(PlugScreen(), STATUS_SUCCESS);
        ASSERT_EQ(PlugBridge(), STATUS_SUCCESS);
        ASSERT_NE(Link()->TouchDeviceObject, nullptr);
        Advance(1);
    }

    machine::devices::TouchScreenModel& Screen() { return *models_.back(); }

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
    std::optional<platform::usb::UsbHub> hub_;

private:
    void SetText(const std::string& name, const std::string& text) {
        std::vector<UCHAR> bytes;
        for (char c : text)
            bytes.insert(bytes.end(), {UCHAR(c), 0});
        kernel.Registry().SetValue(kSettingsKey, name, REG_SZ, bytes.data(), bytes.size());
    }

    std::deque<std::unique_ptr<machine::devices::TouchScreenModel>> models_;
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
    hub_->Port().PullOut();
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
