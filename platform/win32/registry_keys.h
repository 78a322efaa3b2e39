// Open registry keys of the ANSI Reg calls. Private to the Win32 stand-in.
//
// The predefined keys map onto the kernel's registry store:
//   HKEY_LOCAL_MACHINE  \REGISTRY\Machine                   "HKLM"
//   HKEY_CURRENT_USER   \REGISTRY\User\.Default             "HKCU"
//   HKEY_USERS          \REGISTRY\User                      "HKU"
//   HKEY_CLASSES_ROOT   \REGISTRY\Machine\Software\Classes  "HKCR"
// (the machine has one user, whose hive is the default one). Each open key
// keeps the access granted at open and a display path for the trace: the
// root's short name followed by the subkey paths as the program spelled
// them ("HKLM\SOFTWARE\Touch\usbConfig").
#pragma once

#include "platform/registry/store.h"
#include "platform/win32/win_base.h"

#include <string>

namespace platform::win32::detail {

struct OpenKey {
    registry::KeyRef key;
    std::string display;
    ACCESS_MASK access = 0;
};

// ERROR_SUCCESS with *open filled, or ERROR_INVALID_HANDLE. A key deleted
// since it was opened gives ERROR_KEY_DELETED.
LONG ResolveKey(HKEY handle, OpenKey* open);

// ERROR_SUCCESS when the open key grants all of `needed` (9x grants all).
LONG CheckAccess(const OpenKey& open, ACCESS_MASK needed);

// ResolveKey, then CheckAccess.
LONG ResolveKeyFor(HKEY handle, ACCESS_MASK needed, OpenKey* open);

// "HKLM\SOFTWARE\Touch" + "usbConfig"; an empty subkey leaves the path as is.
std::string JoinDisplay(const std::string& display, const std::string& subkey);

registry::Store& Registry();

} // namespace platform::win32::detail
