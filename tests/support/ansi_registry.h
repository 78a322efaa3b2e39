// Small checks on HKEY_LOCAL_MACHINE through the ANSI Reg calls, as a
// program would see the registry.
#pragma once

#include "platform/win32/windows.h"

#include <string>

namespace support {

inline bool HklmKeyExists(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

} // namespace support
