// Menus as the picture sees them.
#pragma once

#include "platform/win32/runtime_state.h"

namespace platform::win32::detail {

const Menu* MenuOf(HMENU menu);
bool MenuItemIsSeparator(const MenuItem& item);
// The top of item index inside the pop-up's client area.
int MenuItemTop(HMENU menu, int index);

} // namespace platform::win32::detail
