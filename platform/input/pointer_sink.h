// The pointer as an input class stand-in keeps it: moved under the owner's
// lock, each event traced at the time of its input ("pointer move x=62
// y=126", "pointer down left x=62 y=126"), and the events handed to one
// handler after the lock is released. The owner derives from it and turns its
// own input into MOUSE_INPUT_DATA packets inside Deliver.
#pragma once

#include "platform/input/pointer.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace platform::input {

// "pointer move x=62 y=126", "pointer up right x=0 y=5"
std::string PointerEventLine(const PointerEvent& event);

class PointerSink {
public:
    PointerSink(const PointerSink&) = delete;
    PointerSink& operator=(const PointerSink&) = delete;

    PointerState Pointer() const;
    void MovePointer(int x, int y); // no events: as the system places the cursor
    void SetScreen(int width, int height);

    // Called for each pointer event, after the state changed, outside the lock.
    using EventHandler = std::function<void(const PointerEvent&)>;
    void SetEventHandler(EventHandler handler);

protected:
    PointerSink(int screenWidth, int screenHeight);
    ~PointerSink() = default;

    // Runs step(apply) under mutex_; each apply(packet) moves the pointer and
    // traces its events at `now`. The handler hears of them once the lock is
    // released, in order.
    template <typename Step> void Deliver(uint64_t now, Step&& step) {
        std::vector<PointerEvent> events;
        EventHandler handler;
        {
            std::lock_guard lock(mutex_);
            step([&](const MOUSE_INPUT_DATA& packet) { Apply(packet, now, events); });
            handler = handler_;
        }
        if (handler)
            for (const PointerEvent& event : events)
                handler(event);
    }

    // Guards the pointer and the handler, and the owner's own state too, so
    // that an owner's trace lines and the pointer's stay together.
    mutable std::mutex mutex_;

private:
    void Apply(const MOUSE_INPUT_DATA& packet, uint64_t now, std::vector<PointerEvent>& events);

    input::Pointer pointer_;
    EventHandler handler_;
};

} // namespace platform::input
