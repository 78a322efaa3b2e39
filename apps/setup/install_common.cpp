#include "apps/setup/install_common.h"

#include "apps/setup/install_drivers.h"

#include <string.h>

#define DIRID_TARGET 65659

BOOL JoinPath(LPSTR buffer, DWORD size, LPCSTR first, LPCSTR second) {
    size_t a = strlen(first), b = strlen(second);
    if (a + b >= size) {
        if (size)
            buffer[0] = '\0';
        return FALSE;
    }
    memmove(buffer, first, a);
    memcpy(buffer + a, second, b + 1);
    return TRUE;
}

BOOL GetSetupDirectory(LPSTR buffer, DWORD size) {
    DWORD length = GetModuleFileNameA(NULL, buffer, size);
    if (length == 0 || length >= size)
        return FALSE;
    char* slash = strrchr(buffer, '\\');
    if (!slash)
        return FALSE;
    slash[1] = '\0';
    return TRUE;
}

// The Windows directory is asked into 100 characters; a longer one is
// refused rather than used unfilled.
BOOL GetWindowsDir(LPSTR buffer, DWORD size) {
    char directory[100];
    UINT length = GetWindowsDirectoryA(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory)
        return FALSE;
    return JoinPath(buffer, size, directory, "");
}

BOOL GetSystemDir(LPSTR buffer, DWORD size) {
    UINT length = GetSystemDirectoryA(buffer, size);
    return length != 0 && length < size;
}

BOOL InstallInfFiles(HWND owner, LPCSTR infName, LPCSTR infClass, LPCSTR filesSection,
                     LPCSTR targetDirectory, INF_FURTHER_STEPS further, PVOID context) {
    char setupDirectory[SETUP_PATH_SIZE];
    char infPath[SETUP_PATH_SIZE];
    if (!GetSetupDirectory(setupDirectory, sizeof setupDirectory) ||
        !JoinPath(infPath, sizeof infPath, setupDirectory, infName))
        return FALSE;
    HINF inf = SetupOpenInfFileA(infPath, infClass, INF_STYLE_WIN4, NULL);
    if (inf == INVALID_HANDLE_VALUE)
        return FALSE;
    if (!SetupSetDirectoryIdA(inf, DIRID_TARGET, targetDirectory)) {
        SetupCloseInfFile(inf);
        return FALSE;
    }
    HSPFILEQ queue = SetupOpenFileQueue();
    if (queue == INVALID_HANDLE_VALUE) {
        SetupCloseInfFile(inf);
        return FALSE;
    }
    PVOID callback = SetupInitDefaultQueueCallbackEx(owner, NULL, 0, 0, NULL);
    if (!callback) {
        SetupCloseFileQueue(queue);
        SetupCloseInfFile(inf);
        return FALSE;
    }
    DWORD status = ERROR_SUCCESS;
    if (!SetupInstallFilesFromInfSectionA(inf, NULL, queue, filesSection, setupDirectory,
                                          SP_COPY_NEWER) ||
        !SetupCommitFileQueueA(owner, queue, FileQueueCallback, callback))
        status = GetLastError();
    if (further)
        further(owner, inf, setupDirectory, context);
    SetupTermDefaultQueueCallback(callback);
    SetupCloseFileQueue(queue);
    SetupCloseInfFile(inf);
    return status == ERROR_SUCCESS;
}
