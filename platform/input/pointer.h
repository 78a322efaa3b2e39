// The system pointer as mouse input moves it: position in screen pixels and
// the state of the three buttons. Pure arithmetic, no kernel calls.
//
// Absolute packets (MOUSE_MOVE_ABSOLUTE) carry 0..65535 per axis across the
// whole screen, as Windows reads them: pixel = value * extent / 65536, rounded
// down, so 0 is the first pixel and 65535 the last (4000 on a 1024-pixel-wide
// screen is pixel 62). Values outside 0..65535 are clamped first. Relative
// packets add their counts in pixels, clamped to the screen.
#pragma once

#include "platform/input/ntddmou.h"

#include <cstdint>
#include <vector>

namespace platform::input {

enum class PointerButton { Left, Right, Middle };

const char* ButtonName(PointerButton button); // "left", "right", "middle"

struct PointerEvent {
    enum class Kind { Move, Down, Up };
    Kind kind;
    PointerButton button; // Down and Up only
    int x;                // screen pixels after the event
    int y;
    uint64_t time; // 100-ns units on the kernel's clock
};

struct PointerState {
    int x = 0;
    int y = 0;
    bool left = false;
    bool right = false;
    bool middle = false;
};

int AbsoluteToPixel(LONG value, int extent);

class Pointer {
public:
    Pointer(int width, int height); // starts in the middle of the screen

    // The move (if the position changed) first, then each button
    // transition: left, right, middle, a press before a release.
    std::vector<PointerEvent> Apply(const MOUSE_INPUT_DATA& packet, uint64_t time);
    // Places the pointer without events, clamped to the screen.
    void MoveTo(int x, int y);
    // A new screen size keeps the pointer on the screen.
    void SetScreen(int width, int height);

    const PointerState& State() const { return state_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    bool& Held(PointerButton button);

    int width_;
    int height_;
    PointerState state_;
};

} // namespace platform::input
