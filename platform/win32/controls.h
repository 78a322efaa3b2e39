// The built-in window classes: the dialog class, the standard controls
// (button, static, edit, combo box) and the common controls (trackbar,
// progress bar). Each control keeps its state in its Window and draws
// nothing itself: the picture renders it from that state.
#pragma once

#include "platform/win32/runtime_state.h"

#include <string>

namespace platform::win32::detail {

// The class of a dialog item given by its predefined atom (0x0080 ...).
std::string ClassForAtom(WORD atom);
// False for a class the stand-in does not provide.
bool KindForClass(const std::string& className, WindowKind* kind);
WNDPROC ProcForKind(WindowKind kind);
void InitControlState(Window* window);

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ComboProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK TrackbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Helpers shared by the controls.
void NotifyCommand(Window* control, WORD code);
void NotifyHeader(Window* control, UINT code);
void Repaint(Window* control);
bool PointInClient(Window* window, LPARAM lParam);
// A click gives the control the focus (and activates its window).
void TakeFocus(Window* control);
// Replaces the picture a button or static shows; returns the old one.
LRESULT SwapImage(Window* control, LPARAM image);
// The rest of every control's procedure: a new text or enabled state
// repaints it, then DefWindowProcA.
LRESULT ControlDefault(Window* control, UINT message, WPARAM wParam, LPARAM lParam);

// Trackbar geometry, shared with the picture and the scripted user: the
// thumb's centre in client x for a position.
int TrackbarThumbX(const Window* trackbar, int position);
int TrackbarPositionAt(const Window* trackbar, int x);

// Combo box drop-down list: the row height and the open list's rectangle.
inline constexpr int kComboFieldHeight = 21;
inline constexpr int kComboRowHeight = 16;

} // namespace platform::win32::detail
