// The mouse stack linked to the fake touch driver.
#pragma once

#include "tests/mouse/fake_touch.h"
#include "tests/mouse/mouse_harness.h"

namespace mouse_testing {

class FeedTest : public MouseStackTest {
protected:
    void ReleaseTouch() override { touch.reset(); }

    // The touch driver is there with its interface on, then the mouse device
    // comes up and links to it.
    void PlugBoth() {
        touch.emplace();
        touch->SetInterface(true);
        ASSERT_EQ(PlugMouse(), STATUS_SUCCESS);
        ASSERT_EQ(Link()->TouchDeviceObject, touch->Device());
        ASSERT_EQ(touch->HeldCount(), 1u);
    }

    // The interface goes and comes back; the notifications are delivered.
    void SetInterface(bool enable) {
        touch->SetInterface(enable);
        kernel.RunDueEvents();
    }

    PIRP ReadIrp() {
        KIRQL old;
        KeAcquireSpinLock(&Link()->Lock, &old);
        PIRP irp = Link()->ReadIrp;
        KeReleaseSpinLock(&Link()->Lock, old);
        return irp;
    }
    bool ReadEnabled() {
        KIRQL old;
        KeAcquireSpinLock(&Link()->Lock, &old);
        bool enabled = Link()->ReadEnabled;
        KeReleaseSpinLock(&Link()->Lock, old);
        return enabled;
    }

    std::optional<FakeTouch> touch;
};

} // namespace mouse_testing
