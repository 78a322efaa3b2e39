// An input stack fixture (StackTest: a RootStackTest with Link()) linked to
// the fake touch driver, and the touch link's state as the feed sees it.
#pragma once

#include "tests/support/fake_touch.h"
#include "tests/support/root_stack_fixture.h"

#include <atomic>
#include <future>
#include <optional>
#include <thread>

namespace input_testing {

template <typename StackTest> class FakeTouchFeed : public StackTest {
protected:
    void ReleaseTouch() override { touch.reset(); }

    // The touch driver is there with its interface on, then the stack comes
    // up and links to it.
    void PlugBoth() {
        touch.emplace();
        touch->SetInterface(true);
        ASSERT_EQ(this->Plug(), STATUS_SUCCESS);
        ASSERT_EQ(this->Link()->TouchDeviceObject, touch->Device());
        ASSERT_EQ(touch->HeldCount(), 1u);
    }

    // The interface goes and comes back; the notifications are delivered.
    void SetInterface(bool enable) {
        touch->SetInterface(enable);
        this->kernel.RunDueEvents();
    }

    PIRP ReadIrp() { return Locked(&TOUCH_LINK::ReadIrp); }
    bool ReadEnabled() { return Locked(&TOUCH_LINK::ReadEnabled) != FALSE; }

    // Stops the plugged stack while a completion is re-arming: the point
    // (0, 1, 1) completes the held read on another thread, and the next read
    // reaches the touch driver only once the stop has disabled reading. Needs
    // real thread waits.
    void StopWhileAReadIsReArmed() {
        std::promise<void> arrived;
        std::atomic<bool> armed{true};
        touch->onRead = [&](PIRP) {
            if (!armed.exchange(false))
                return;
            arrived.set_value();
            while (ReadEnabled())
                std::this_thread::yield();
        };
        std::thread completer([&] { touch->CompleteWithPoint(0, 1, 1); });
        arrived.get_future().wait();
        EXPECT_EQ(this->kernel.StopDevice(this->node), STATUS_SUCCESS);
        completer.join();
        touch->onRead = nullptr;
    }

    std::optional<FakeTouch> touch;

private:
    // A field of the link, read under its lock.
    template <typename Field> Field Locked(Field TOUCH_LINK::*field) {
        KIRQL old;
        KeAcquireSpinLock(&this->Link()->Lock, &old);
        Field value = this->Link()->*field;
        KeReleaseSpinLock(&this->Link()->Lock, old);
        return value;
    }
};

} // namespace input_testing
