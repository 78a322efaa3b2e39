// kernel32 and advapi32: last error, registry, device files, version,
// events and waits, module names.
#pragma once

#include "platform/win32/win_types.h"
