// Input into the Win32 stand-in from outside the programs: the system's
// mouse (the mouse class and HID class stand-ins), the keyboard of the
// scripted user. Events may be queued from any thread; the runtime moves
// them into the programs' queues, in order, at its next step.
#pragma once

#include "platform/win32/win_user.h"

namespace platform::win32 {

// As mouse_event: MOUSEEVENTF_ABSOLUTE maps 0..65535 onto the screen
// (pixel = value * extent / 65536, so 65535 is the last pixel); without it
// dx and dy move the pointer by that many pixels (no acceleration).
void InjectMouse(DWORD flags, LONG dx, LONG dy);
// The pointer placed on a screen pixel (clamped to the screen), then the
// button transitions in flags (MOUSEEVENTF_LEFTDOWN ...): for input drivers
// that have already worked out the position.
void InjectPointerAt(int x, int y, DWORD buttonFlags);
void InjectKey(UINT virtualKey, bool up);
void InjectChar(char character);

// Where the pointer is, after routing the input queued so far. It starts in
// the middle of the screen.
POINT PointerPosition();

// The screen position of the pixel that absolute coordinates map to.
POINT AbsoluteToScreen(LONG dx, LONG dy, int screenWidth, int screenHeight);

} // namespace platform::win32
