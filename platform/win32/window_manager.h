// The window manager: creation and destruction, the window tree and z-order,
// geometry and frames, visibility, activation and focus.
//
// Frames are the classic ones: a caption bar 18 pixels high, a 3-pixel
// dialog frame (WS_DLGFRAME, WS_CAPTION or a modal frame), a 4-pixel sizing
// frame, a 1-pixel border; a client edge adds 2 pixels.
#pragma once

#include "platform/win32/runtime_state.h"

#include <string>

namespace platform::win32::detail {

inline constexpr int kCaptionHeight = 18;

void CreateDesktop();
void ScreenSizeChanged();
// Removes every window of the process without sending it anything (the
// process has ended).
void DestroyProcessWindows(Process* process);

struct CreateParams {
    WindowKind kind = WindowKind::Dialog;
    std::string className;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    std::string text;
    RECT rect{}; // window rectangle: screen for top-level, parent client for children
    Window* parent = nullptr;
    Window* owner = nullptr;
    HINSTANCE instance = nullptr;
};

// Creates the window hidden from messages (no WM_CREATE: the built-in
// classes need none) and links it into the tree; WS_VISIBLE children are
// visible at once, top-level windows are shown by their creator.
Window* CreateWindowObject(const CreateParams& params);

// DestroyWindow: WM_DESTROY to the window, then its children; WM_NCDESTROY.
void DestroyWindowTree(Window* window);

// Geometry
int FrameWidth(const Window* window);
int CaptionHeight(const Window* window);
RECT ClientRectInWindow(const Window* window); // client area, window coordinates
RECT ScreenRect(const Window* window);
POINT ClientOriginOnScreen(const Window* window);
bool IsShownOnScreen(const Window* window); // it and every ancestor visible
// The close box of a caption with a system menu, in screen coordinates.
bool CloseBoxRect(const Window* window, RECT* screen);
Window* TopLevelOf(Window* window);
bool IsDescendant(const Window* ancestor, const Window* window);
void SetWindowRect(Window* window, const RECT& rect, bool notify);

// Visibility, paint, activation, focus
void ShowWindowObject(Window* window, int command);
// Adds a part (client coordinates) to the window's update region.
void InvalidatePart(Window* window, const RECT& part, bool erase);
void Invalidate(Window* window, bool erase, bool children);
// Erases recorded drawing at once, as showing or resizing a window does.
void EraseNow(Window* window);
// Drops the drawing that lies wholly inside the window's update region.
void EraseUpdateRegion(Window* window);
void BringToTop(Window* window);
// Makes a top-level window the foreground (active) window; notifications go
// only to windows of the calling process.
void Activate(Window* window);
void ActivateNextAfter(Window* gone);
void SetFocusTo(Window* window);
Window* FirstTabStop(Window* dialog);

// The window that receives a click at a screen point (the deepest visible,
// enabled child that is not transparent to the mouse), or nullptr.
Window* WindowForPoint(POINT screen);

// Text as WM_GETTEXT hands it out (ANSI is UTF-8 on the host).
int CopyText(const std::string& text, LPSTR buffer, int size);

} // namespace platform::win32::detail
