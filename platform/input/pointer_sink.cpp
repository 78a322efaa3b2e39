#include "platform/input/pointer_sink.h"

#include "platform/trace/trace.h"

namespace platform::input {

std::string PointerEventLine(const PointerEvent& event) {
    std::string what = event.kind == PointerEvent::Kind::Move ? "pointer move"
                       : event.kind == PointerEvent::Kind::Down
                           ? std::string("pointer down ") + ButtonName(event.button)
                           : std::string("pointer up ") + ButtonName(event.button);
    return what + " x=" + std::to_string(event.x) + " y=" + std::to_string(event.y);
}

PointerSink::PointerSink(int screenWidth, int screenHeight) : pointer_(screenWidth, screenHeight) {}

PointerState PointerSink::Pointer() const {
    std::lock_guard lock(mutex_);
    return pointer_.State();
}

void PointerSink::MovePointer(int x, int y) {
    std::lock_guard lock(mutex_);
    pointer_.MoveTo(x, y);
}

void PointerSink::SetScreen(int width, int height) {
    std::lock_guard lock(mutex_);
    pointer_.SetScreen(width, height);
}

void PointerSink::SetEventHandler(EventHandler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

void PointerSink::Apply(const MOUSE_INPUT_DATA& packet, uint64_t now,
                        std::vector<PointerEvent>& events) {
    for (const PointerEvent& event : pointer_.Apply(packet, now)) {
        trace::Emit(now, PointerEventLine(event));
        events.push_back(event);
    }
}

} // namespace platform::input
