#include "apps/panel/companions.h"

#include "apps/common/settings_store.h"

#include <string.h>

#define KEYFLIP_FILE "keyflip.exe"
#define BEEP_FILE "beep.exe"
// The log-on entry keeps the name as the media spell it.
#define BEEP_AUTOSTART_FILE "BEEP.exe"
#define HELP_FILE "guidebk.hlp"

BOOL PanelDirectory(LPSTR buffer, DWORD size) {
    DWORD length = GetModuleFileNameA(NULL, buffer, size);
    if (length == 0 || length >= size) {
        buffer[0] = '\0';
        return FALSE;
    }
    buffer[length] = '\0';
    char* slash = strrchr(buffer, '\\');
    if (slash != NULL) {
        slash[1] = '\0';
    } else {
        buffer[0] = '\0';
    }
    return TRUE;
}

// The panel's directory followed by file; empty when it does not fit.
static VOID PanelFile(LPCSTR file, LPSTR buffer, DWORD size) {
    PanelDirectory(buffer, size);
    if (strlen(buffer) + strlen(file) + 1 > size) {
        buffer[0] = '\0';
        return;
    }
    strcat(buffer, file);
}

static VOID StartIfAbsent(LPCSTR window, LPCSTR file) {
    if (FindWindowA(NULL, window) == NULL) {
        WinExec(file, SW_SHOWNORMAL);
    }
}

static VOID CloseIfPresent(LPCSTR window) {
    HWND found = FindWindowA(NULL, window);
    if (found != NULL) {
        SendMessageA(found, WM_CLOSE, 0, 0);
    }
}

VOID ApplySimulateMouse(BOOL on) {
    if (on) {
        char command[MAX_PATH + 16];
        WriteSettingText("chgbutton", "1");
        PanelFile(KEYFLIP_FILE, command, sizeof command);
        SetAutostart("ChgFile", command);
        StartIfAbsent(KEYFLIP_WINDOW, KEYFLIP_FILE);
    } else {
        WriteSettingText("chgbutton", "0");
        RemoveAutostart("ChgFile");
        CloseIfPresent(KEYFLIP_WINDOW);
    }
}

VOID ApplyBeep(BOOL on) {
    if (on) {
        char command[MAX_PATH + 16];
        PanelFile(BEEP_AUTOSTART_FILE, command, sizeof command);
        SetAutostart("beep", command);
        WriteSettingText("beep", "1");
        StartIfAbsent(BEEP_WINDOW, BEEP_FILE);
    } else {
        RemoveAutostart("beep");
        WriteSettingText("beep", "0");
        CloseIfPresent(BEEP_WINDOW);
    }
}

VOID ToggleKeyflip(VOID) {
    HWND found = FindWindowA(NULL, KEYFLIP_WINDOW);
    if (found != NULL) {
        SendMessageA(found, WM_CLOSE, 0, 0);
    } else {
        WinExec(KEYFLIP_FILE, SW_SHOWNORMAL);
    }
}

VOID OpenHelp(HWND owner) {
    char path[MAX_PATH + 16];
    PanelFile(HELP_FILE, path, sizeof path);
    ShellExecuteA(owner, "open", path, NULL, NULL, SW_SHOWNORMAL);
}
