// The HID minidriver interface: one declaration for both targets, as the
// DDK's hidport.h has it (see the header for why it is not mingw-w64's).
#pragma once

#include "platform/input/hidport.h"
