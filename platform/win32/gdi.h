// GDI internals shared by the drawing calls, the image loaders and the
// picture.
#pragma once

#include "platform/win32/gdi_state.h"
#include "platform/win32/runtime_state.h"

#include <memory>

namespace platform::win32::detail {

HGDIOBJ InsertGdiObject(std::unique_ptr<GdiObject> object);
GdiObject* FindGdiObject(HGDIOBJ handle);

// The image behind an icon or bitmap handle, or nullptr.
std::shared_ptr<const Image> ImageOf(HANDLE handle);

// Text metrics of the stand-in's fonts: a font of pixel height h (the cell
// height; 0 for the system font's 13) has characters h * 6 / 13 wide on
// average, rounded up. Used for DrawText layout and message box sizes.
int FontPixelHeight(int logicalHeight);
int TextWidth(const std::string& text, int pixelHeight);

// System colours (the classic scheme).
COLORREF SystemColor(int index);

} // namespace platform::win32::detail
