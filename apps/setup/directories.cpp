#include "apps/setup/wizard.h"

#include <string.h>

BOOL IsDirectory(LPCSTR path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

BOOL EnsureDirectory(LPCSTR path) {
    char prefix[INSTALL_PATH_MAX + 1];
    size_t length = strlen(path);
    if (length >= sizeof prefix) {
        return FALSE;
    }
    for (size_t i = 0; i < length; ++i) {
        if (path[i] != '\\') {
            continue;
        }
        // "C:" and "C:\" are drives, never created.
        if (i <= 3) {
            continue;
        }
        memcpy(prefix, path, i);
        prefix[i] = '\0';
        if (!IsDirectory(prefix) && !CreateDirectoryA(prefix, NULL)) {
            return FALSE;
        }
    }
    return IsDirectory(path) || CreateDirectoryA(path, NULL);
}
