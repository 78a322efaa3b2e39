#include "platform/input/pointer.h"

#include <algorithm>

namespace platform::input {

const char* ButtonName(PointerButton button) {
    switch (button) {
    case PointerButton::Left:
        return "left";
    case PointerButton::Right:
        return "right";
    case PointerButton::Middle:
        return "middle";
    }
    return "?";
}

int AbsoluteToPixel(LONG value, int extent) {
    const int64_t clamped = std::clamp<int64_t>(value, 0, 65535);
    return static_cast<int>(clamped * extent / 65536);
}

Pointer::Pointer(int width, int height) : width_(std::max(width, 1)), height_(std::max(height, 1)) {
    state_.x = width_ / 2;
    state_.y = height_ / 2;
}

void Pointer::MoveTo(int x, int y) {
    state_.x = std::clamp(x, 0, width_ - 1);
    state_.y = std::clamp(y, 0, height_ - 1);
}

void Pointer::SetScreen(int width, int height) {
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    MoveTo(state_.x, state_.y);
}

bool& Pointer::Held(PointerButton button) {
    switch (button) {
    case PointerButton::Right:
        return state_.right;
    case PointerButton::Middle:
        return state_.middle;
    case PointerButton::Left:
        break;
    }
    return state_.left;
}

std::vector<PointerEvent> Pointer::Apply(const MOUSE_INPUT_DATA& packet, uint64_t time) {
    std::vector<PointerEvent> events;
    const int oldX = state_.x;
    const int oldY = state_.y;
    if (packet.Flags & MOUSE_MOVE_ABSOLUTE) {
        MoveTo(AbsoluteToPixel(packet.LastX, width_), AbsoluteToPixel(packet.LastY, height_));
    } else {
        MoveTo(static_cast<int>(std::clamp<int64_t>(int64_t{oldX} + packet.LastX, 0, width_ - 1)),
               static_cast<int>(std::clamp<int64_t>(int64_t{oldY} + packet.LastY, 0, height_ - 1)));
    }
    if (state_.x != oldX || state_.y != oldY)
        events.push_back({PointerEvent::Kind::Move, PointerButton::Left, state_.x, state_.y, time});

    struct Transition {
        PointerButton button;
        USHORT down;
        USHORT up;
    };
    static constexpr Transition transitions[] = {
        {PointerButton::Left, MOUSE_LEFT_BUTTON_DOWN, MOUSE_LEFT_BUTTON_UP},
        {PointerButton::Right, MOUSE_RIGHT_BUTTON_DOWN, MOUSE_RIGHT_BUTTON_UP},
        {PointerButton::Middle, MOUSE_MIDDLE_BUTTON_DOWN, MOUSE_MIDDLE_BUTTON_UP},
    };
    for (const Transition& t : transitions) {
        if (packet.ButtonFlags & t.down) {
            Held(t.button) = true;
            events.push_back({PointerEvent::Kind::Down, t.button, state_.x, state_.y, time});
        }
        if (packet.ButtonFlags & t.up) {
            Held(t.button) = false;
            events.push_back({PointerEvent::Kind::Up, t.button, state_.x, state_.y, time});
        }
    }
    return events;
}

} // namespace platform::input
