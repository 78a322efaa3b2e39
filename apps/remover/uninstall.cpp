// The uninstall procedure: the companions closed, the program groups and
// files deleted, the device nodes of this system removed, the autostart
// values cleaned. Every failure is skipped; the final message always shows.
// First, before any C++ header turns on the compiler's own printf: sprintf
// is then msvcrt's, which every system has.
#include <stdio.h>

#include "apps/remover/uninstall.h"

#include "apps/common/os_code.h"

#include <string.h>

#define KEYFLIP_WINDOW "Function"
#define PANEL_CONFIG_WINDOW "Config"
#define CLOSE_TRIES 5
#define DEVICE_KEYS 20
#define REMOVE_TRIES 10
#define DESCRIPTION_SIZE 300
#define FILE_LIST_MAX 10

// The setup's group first: its items point at the files deleted next.
static const char* const kProgramGroups[] = {"Orvan Infrared Touch Screen",
                                             "Vantic Infrared Touch Screen"};

static const char* const kProgramFiles[FILE_LIST_MAX] = {
    "tpanel.exe",  "remover.exe", "keyflip.exe", "guidebk.hlp",
    "guidebk.gid", "beep.dll",    "beep.exe"};

// "beep" last: the panel registers the beep companion under it.
static const char* const kAutostartValues[] = {"Dezoder", "ChgFile", "TouchCtl", "beep"};

static const GUID kOldInputClass = {
    0x78A1C340, 0x4539, 0x11D3, {0xB8, 0x8D, 0x00, 0xC0, 0x4F, 0xAD, 0x51, 0x75}};
static const GUID kMouseClass = {
    0x4D36E96F, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

UninstallProcedure ChooseProcedure(INT osCode) {
    if (osCode == OS_CODE_XP) {
        return ProcedureXP;
    }
    if (osCode == OS_CODE_2000) {
        return Win2000RunsXpDrivers(osCode) ? ProcedureXP : Procedure2000;
    }
    return Procedure98;
}

static void CloseWindowTitled(LPCSTR title) {
    HWND window = FindWindowA(NULL, title);
    if (window != NULL) {
        SendMessageA(window, WM_CLOSE, 0, 0);
    }
}

static HDDEDATA CALLBACK NoTransactions(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR,
                                        ULONG_PTR) {
    return NULL;
}

static void DeleteProgramGroups(HWND dialog) {
    DWORD instance = 0;
    if (DdeInitializeA(&instance, NoTransactions, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
        MessageBoxA(dialog, "DDE Error!", "Error", MB_OK);
        return;
    }
    CONVCONTEXT context;
    memset(&context, 0, sizeof context);
    context.cb = sizeof context;
    context.iCodePage = CP_WINANSI;
    HSZ progman = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HCONV conversation = DdeConnect(instance, progman, progman, &context);
    for (size_t i = 0; i < sizeof kProgramGroups / sizeof kProgramGroups[0]; ++i) {
        char command[96];
        sprintf(command, "[DeleteGroup(%s)]", kProgramGroups[i]);
        HDDEDATA data = DdeCreateDataHandle(instance, (LPBYTE)command, (DWORD)strlen(command) + 1,
                                            0, NULL, CF_TEXT, 0);
        DdeClientTransaction((LPBYTE)data, (DWORD)-1, conversation, NULL, CF_TEXT, XTYP_EXECUTE,
                             10000, NULL);
    }
    DdeFreeStringHandle(instance, progman);
    DdeDisconnect(conversation);
    DdeUninitialize(instance);
}

// A wait nothing ends early: the closed programs get their second to exit.
static void PauseOneSecond() {
    HANDLE never = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (never != NULL) {
        WaitForSingleObject(never, 1000);
        CloseHandle(never);
    }
}

static void DeleteProgramFiles() {
    char directory[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, directory, sizeof directory);
    if (length == 0 || length >= sizeof directory) {
        return;
    }
    char* slash = strrchr(directory, '\\');
    if (slash == NULL) {
        return;
    }
    slash[1] = '\0';
    for (int i = 0; i < FILE_LIST_MAX && kProgramFiles[i] != NULL && kProgramFiles[i][0]; ++i) {
        char path[MAX_PATH];
        if (strlen(directory) + strlen(kProgramFiles[i]) >= sizeof path) {
            continue;
        }
        strcpy(path, directory);
        strcat(path, kProgramFiles[i]);
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && attributes != FILE_ATTRIBUTE_DIRECTORY) {
            DeleteFileA(path);
        }
    }
}

static void DeleteDriverFile(LPCSTR name) {
    char path[MAX_PATH];
    UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    if (length == 0 || length + strlen(name) >= sizeof path) {
        return;
    }
    strcat(path, name);
    DeleteFileA(path);
}

// Deletes each numbered key under parent whose text value name equals
// wanted, ignoring case; a longer value cannot equal it and stays.
static void DeleteMatchingKeys(LPCSTR parent, LPCSTR name, LPCSTR wanted) {
    for (int i = 0; i < DEVICE_KEYS; ++i) {
        char path[MAX_PATH];
        sprintf(path, "%s%04d", parent, i);
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
            continue;
        }
        char text[DESCRIPTION_SIZE + 1];
        memset(text, 0, sizeof text);
        DWORD size = DESCRIPTION_SIZE;
        LONG error = RegQueryValueExA(key, name, NULL, NULL, (LPBYTE)text, &size);
        RegCloseKey(key);
        if (error == ERROR_SUCCESS && lstrcmpiA(text, wanted) == 0) {
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
        }
    }
}

static void Run98Procedure() {
    DeleteMatchingKeys("Enum\\Root\\TouchScreen\\", "DeviceDesc",
                       "win98 usb infrared touchscreen Service");
    DeleteMatchingKeys("System\\CurrentControlSet\\Services\\Class\\TouchScreen\\", "InfSection",
                       "DidIzer.Install");
    DeleteDriverFile("\\system32\\drivers\\Pelmo98.sys");
}

// Each pass removes the first present device of the old input class, so
// the list is built anew every time.
static void Run2000Procedure(HWND dialog) {
    for (int i = 0; i < REMOVE_TRIES; ++i) {
        HDEVINFO list = SetupDiGetClassDevsA(&kOldInputClass, NULL, dialog, DIGCF_PRESENT);
        if (list == INVALID_HANDLE_VALUE) {
            break;
        }
        SP_DEVINFO_DATA device;
        memset(&device, 0, sizeof device);
        device.cbSize = sizeof device;
        BOOL removed = SetupDiEnumDeviceInfo(list, 0, &device) &&
                       SetupDiCallClassInstaller(DIF_REMOVE, list, &device);
        SetupDiDestroyDeviceInfoList(list);
        if (!removed) {
            break;
        }
    }
    DeleteDriverFile("\\system32\\drivers\\Pelmo2k.SYS");
}

static void RunXpProcedure(HWND dialog) {
    HDEVINFO list = SetupDiGetClassDevsA(&kMouseClass, "ROOT\\TOUCHSCREEN", dialog, DIGCF_PRESENT);
    if (list == INVALID_HANDLE_VALUE) {
        return;
    }
    for (DWORD i = 0; i < REMOVE_TRIES; ++i) {
        SP_DEVINFO_DATA device;
        memset(&device, 0, sizeof device);
        device.cbSize = sizeof device;
        if (!SetupDiEnumDeviceInfo(list, i, &device)) {
            break;
        }
        SetupDiCallClassInstaller(DIF_REMOVE, list, &device);
    }
    SetupDiDestroyDeviceInfoList(list);
}

// Each value is emptied before it is deleted, so a delete that fails
// leaves nothing to start.
static void CleanAutostart() {
    HKEY run;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                      KEY_ALL_ACCESS, &run) != ERROR_SUCCESS) {
        return;
    }
    for (size_t i = 0; i < sizeof kAutostartValues / sizeof kAutostartValues[0]; ++i) {
        RegSetValueExA(run, kAutostartValues[i], 0, REG_SZ, (const BYTE*)"", 1);
        RegDeleteValueA(run, kAutostartValues[i]);
    }
    RegCloseKey(run);
}

void RunUninstall(HWND dialog) {
    for (int i = 0; i < CLOSE_TRIES; ++i) {
        CloseWindowTitled(KEYFLIP_WINDOW);
    }
    UninstallProcedure procedure = ChooseProcedure(GetOsCode());

    HCURSOR previous = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    DeleteProgramGroups(dialog);
    CloseWindowTitled(PANEL_CONFIG_WINDOW);
    PauseOneSecond();
    DeleteProgramFiles();

    LPCSTR finished = "Uninstall finished,Please reboot your computer";
    if (procedure == Procedure98) {
        Run98Procedure();
        finished = "Uninstall finished,please reboot your computer";
    } else if (procedure == Procedure2000) {
        Run2000Procedure(dialog);
    } else {
        RunXpProcedure(dialog);
    }
    SetCursor(previous);
    MessageBoxA(dialog, finished, "Prompt", MB_OK);

    CleanAutostart();
}
