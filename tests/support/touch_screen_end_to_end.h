// An input stack fixture (StackTest: a RootStackTest) with the real touch
// side below it: the touch screen model on a hub port and the touch driver,
// each brought up by the Plug and Play manager, and the pointer events of
// the stack's class stand-in recorded.
#pragma once

#include "drivers/touch/korvex.h"
#include "machine/devices/touchscreen_model.h"
#include "platform/input/pointer_sink.h"
#include "platform/usb/usb_hub.h"
#include "tests/support/root_stack_fixture.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace input_testing {

template <typename StackTest> class TouchScreenEndToEnd : public StackTest {
protected:
    using PointerEvent = platform::input::PointerEvent;

    void SetUp() override {
        StackTest::SetUp();
        this->kernel.Registry().Create(
            "\\REGISTRY\\Machine\\System\\CurrentControlSet\\Services\\" + kTouchService);
        hub_.emplace(1);
    }

    void ReleaseTouch() override {
        if (touchNode_ != nullptr) {
            DeviceState state = this->kernel.StateOf(touchNode_);
            if (state == DeviceState::Started || state == DeviceState::Stopped) {
                EXPECT_EQ(this->kernel.RemoveDevice(touchNode_), STATUS_SUCCESS);
            }
        }
        this->kernel.RunDueEvents();
        hub_.reset();
        models_.clear();
    }

    // Records the class's pointer events, and whether the left button was
    // held during a move.
    void WatchPointer(platform::input::PointerSink& sink) {
        sink.SetEventHandler([this, &sink](const PointerEvent& event) {
            events_.push_back(event);
            heldWhileMoving_ =
                heldWhileMoving_ || (event.kind == PointerEvent::Kind::Move && sink.Pointer().left);
        });
    }

    // "1" Up, "2" Down, "3" Drag; the stability filter off.
    void SetMode(const char* mode) {
        this->kernel.Registry().Create(kSettingsKey);
        SetText("doneMode", mode);
        SetText("moveSlider", "0");
    }

    // A new screen model on the hub's port, under the touch driver.
    NTSTATUS PlugScreen() {
        auto& model = *models_.emplace_back(std::make_unique<machine::devices::TouchScreenModel>());
        PDEVICE_OBJECT pdo = hub_->Port().Plug(model);
        EXPECT_NE(pdo, nullptr);
        NTSTATUS status = this->kernel.PlugInDevice(pdo, "USB\\VID_595A&PID_0001\\1", kTouchService,
                                                    TouchDriverEntry, &touchNode_);
        this->kernel.RunDueEvents();
        return status;
    }

    machine::devices::TouchScreenModel& Screen() { return *models_.back(); }
    platform::usb::UsbPort& Port() { return hub_->Port(); }

    // The pointer events as "move 62 126", "down left 62 126" ...
    Lines Events() const {
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
    static inline const std::string kTouchService = "tch";
    static inline const std::string kSettingsKey =
        "\\REGISTRY\\Machine\\Software\\Touch\\UsbConfig";

    void SetText(const std::string& name, const std::string& text) {
        std::vector<UCHAR> bytes;
        for (char c : text)
            bytes.insert(bytes.end(), {UCHAR(c), 0});
        this->kernel.Registry().SetValue(kSettingsKey, name, REG_SZ, bytes.data(), bytes.size());
    }

    std::optional<platform::usb::UsbHub> hub_;
    std::deque<std::unique_ptr<machine::devices::TouchScreenModel>> models_;
};

} // namespace input_testing
