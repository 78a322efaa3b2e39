// user32, gdi32 and comctl32: windows, dialogs, controls, messages, timers,
// message boxes, input and drawing.
#pragma once

#include "platform/win32/win_types.h"
