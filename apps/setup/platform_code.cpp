#include "apps/setup/setup_files.h"

#include <string.h>

int ClassifyPlatform(void) {
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info; // the 148-byte record
    if (!GetVersionExA(&info)) {
        return -1;
    }
    switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
        return PLATFORM_9598;
    case VER_PLATFORM_WIN32_NT:
        return PLATFORM_NT;
    case VER_PLATFORM_WIN32s:
        return PLATFORM_WIN32S;
    default:
        return -1;
    }
}

BOOL GetSetupDirectory(LPSTR buffer, DWORD size) {
    char path[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return FALSE;
    }
    path[length] = '\0';
    char* slash = strrchr(path, '\\');
    if (slash == NULL) {
        return FALSE;
    }
    *slash = '\0';
    if (strlen(path) + 1 > size) {
        return FALSE;
    }
    strcpy(buffer, path);
    return TRUE;
}
