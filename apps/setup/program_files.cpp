// Copying the program files from the setup directory into InstallPath.
#include "apps/setup/setup_files.h"

#include <string.h>

// A destination name is at most 12 characters; InstallPath at most
// INSTALL_PATH_MAX: a path buffer holds both with room to spare.
#define COPY_PATH_SIZE (INSTALL_PATH_MAX + 64)

static const struct {
    const char* source;
    const char* destination;
} kProgramFiles[] = {
    {"keyflip.ex_", "keyflip.exe"},
    {"tpanel.ex_", "tpanel.exe"},
    {"remover.ex_", "remover.exe"},
    {"guidebk.hl_", "guidebk.hlp"},
    {"beep.exe", "beep.exe"},
    {"beep.dll", "beep.dll"},
    {"NULL", "NULL"},
};

// directory + "\" + name into buffer; FALSE when it does not fit.
static BOOL JoinPath(LPSTR buffer, DWORD size, LPCSTR directory, LPCSTR name) {
    size_t length = strlen(directory);
    if (length + 1 + strlen(name) + 1 > size) {
        return FALSE;
    }
    memcpy(buffer, directory, length);
    buffer[length] = '\\';
    strcpy(buffer + length + 1, name);
    return TRUE;
}

BOOL CopyWholeFile(LPCSTR sourcePath, LPCSTR destinationPath) {
    HANDLE source = CreateFileA(sourcePath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    if (source == INVALID_HANDLE_VALUE) {
        return FALSE;
    }
    HANDLE destination = CreateFileA(destinationPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, NULL);
    if (destination == INVALID_HANDLE_VALUE) {
        CloseHandle(source);
        return FALSE;
    }
    BOOL copied = FALSE;
    DWORD length = GetFileSize(source, NULL);
    // One byte more, so that an empty file still gets a buffer.
    BYTE* buffer = length == INVALID_FILE_SIZE ? NULL : (BYTE*)LocalAlloc(LMEM_FIXED, length + 1);
    if (buffer != NULL) {
        DWORD read = 0;
        if (ReadFile(source, buffer, length, &read, NULL) && read == length) {
            DWORD written = 0;
            copied = WriteFile(destination, buffer, length, &written, NULL) && written == length;
        }
        LocalFree(buffer);
    }
    CloseHandle(destination);
    CloseHandle(source);
    return copied;
}

BOOL CopyProgramFiles(LPCSTR destinationDirectory, HWND page) {
    char setupDirectory[MAX_PATH];
    if (!GetSetupDirectory(setupDirectory, sizeof setupDirectory)) {
        return FALSE;
    }
    for (int i = 0; lstrcmpiA(kProgramFiles[i].source, "NULL") != 0; ++i) {
        char source[COPY_PATH_SIZE];
        char destination[COPY_PATH_SIZE];
        BOOL joined = JoinPath(source, sizeof source, setupDirectory, kProgramFiles[i].source);
        joined = joined && JoinPath(destination, sizeof destination, destinationDirectory,
                                    kProgramFiles[i].destination);
        if (joined) {
            SetDlgItemTextA(page, IDC_COPY_SOURCE, source);
            SetDlgItemTextA(page, IDC_COPY_DESTINATION, destination);
        }
        if (!joined || !CopyWholeFile(source, destination)) {
            // "Copy Files" and a full-width colon in the GB2312 code page.
            char text[COPY_PATH_SIZE + 16] = "Copy Files\xA3\xBA";
            if (joined) {
                strcat(text, source);
            }
            MessageBoxA(NULL, text, "Error", MB_OK | MB_ICONERROR);
            return FALSE;
        }
    }
    return TRUE;
}
