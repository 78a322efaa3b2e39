// Pictures of the screen and of single windows, as SVG documents a person
// can open in a browser: windows with their frames and captions, controls
// drawn from their state with their texts, what the programs drew with GDI,
// message boxes, and the pointer.
#pragma once

#include "platform/win32/win_user.h"

#include <string>

namespace platform::win32 {

// The whole screen: the desktop, every visible top-level window from the
// bottom of the z-order up, and the pointer (unless hidden).
std::string RenderScreenSvg();

// One top-level window (or control) on its own, origin at its top-left.
// Empty for a handle that is not a window.
std::string RenderWindowSvg(HWND window);

// Writes a picture to a host file: a path ending in ".png" (any case) gets
// the document rendered to pixels, any other the SVG text. False when the
// file cannot be written or the document not rendered.
bool SavePicture(const std::string& path, const std::string& svg);

} // namespace platform::win32
