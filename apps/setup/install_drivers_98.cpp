// Windows 98: the HID bridge as the root "TouchScreen" device of its own
// class, and the touch driver made ready for the screen's next enumeration.
#include "apps/setup/install_common.h"
#include "apps/setup/install_drivers.h"
#include "apps/setup/setup_files.h"

#include <ctype.h>
#include <string.h>

#define CLASS_ROOT_98 "System\\CurrentControlSet\\Services\\class\\"
#define OEM_NAME_KEY "SoftWare\\Microsoft\\Windows\\CurrentVersion\\Setup\\SetupX\\Inf\\OEM Name"
// Instance names, "Driver" and "infpath" are read into this many bytes.
#define NAME_SIZE 190
#define MAX_OLD_INSTANCES 32

namespace {

void CopyBeside(LPCSTR setupDirectory, LPCSTR source, LPCSTR windows, LPCSTR target) {
    char from[SETUP_PATH_SIZE], to[SETUP_PATH_SIZE];
    if (JoinPath(from, sizeof from, setupDirectory, source) &&
        JoinPath(to, sizeof to, windows, target))
        CopyFileA(from, to, FALSE);
}

void SetOemName(HKEY key, LPCSTR windows, LPCSTR file, LPCSTR name) {
    char path[SETUP_PATH_SIZE];
    if (JoinPath(path, sizeof path, windows, file))
        RegSetValueExA(key, path, 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                       static_cast<DWORD>(strlen(name)));
}

// Registers two copied INF files as OEM INF files, if 98 keeps the key.
void RegisterOemInfs(LPCSTR otherFile, LPCSTR otherName, LPCSTR infFile, LPCSTR infName) {
    char windows[SETUP_PATH_SIZE];
    HKEY key;
    if (!GetWindowsDir(windows, sizeof windows) ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, OEM_NAME_KEY, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    SetOemName(key, windows, otherFile, otherName);
    SetOemName(key, windows, infFile, infName);
    RegCloseKey(key);
}

// Opens `path` (creating it when it does not open) and runs the INF section
// on it; FALSE with the last error kept when either fails.
BOOL RunSectionOnKey(HWND owner, HINF inf, LPCSTR setupDirectory, LPCSTR path, LPCSTR section) {
    HKEY key;
    LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key);
    if (error != ERROR_SUCCESS)
        error = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, REG_OPTION_NON_VOLATILE,
                                KEY_ALL_ACCESS, NULL, &key, NULL);
    if (error != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(error));
        return FALSE;
    }
    BOOL done =
        SetupInstallFromInfSectionA(owner, inf, section, SPINST_INIFILES | SPINST_REGISTRY, key,
                                    setupDirectory, SP_COPY_NEWER, NULL, NULL, NULL, NULL);
    DWORD lastError = GetLastError();
    RegCloseKey(key);
    SetLastError(lastError);
    return done;
}

void HidBridgeKeys(HWND owner, HINF inf, LPCSTR setupDirectory, PVOID) {
    static const char* const keys[][2] = {
        {CLASS_ROOT_98 "TouchScreen\\0000", "DidIzer.Install1"},
        {"Enum\\Root\\TouchScreen\\0000", "DidIzer.Install2"},
    };
    for (const auto& key : keys) {
        if (!RunSectionOnKey(owner, inf, setupDirectory, key[0], key[1])) {
            ShowLastError();
            MessageBoxA(owner, "Install device fail", "Error", MB_OK | MB_ICONERROR);
            return;
        }
    }
    RegisterOemInfs("\\inf\\other\\OrvanPELMO98.inf", "OrvanPELMO98.inf", "\\inf\\PELMO98.inf",
                    "PELMO98.inf");
}

void TouchDriverInfNames(HWND, HINF, LPCSTR, PVOID) {
    RegisterOemInfs("\\inf\\other\\OrvanTrillo98.inf", "OrvanTrillo98.inf", "\\inf\\Trillo98.inf",
                    "Trillo98.inf");
}

// A text value of at most NAME_SIZE - 1 characters; "" when missing or longer.
void ReadName(HKEY key, LPCSTR name, char (&text)[NAME_SIZE]) {
    DWORD type = 0, size = NAME_SIZE - 1;
    if (RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        size = 0;
    text[size] = '\0';
}

void DeleteInf(LPCSTR windows, LPCSTR folder, LPCSTR infPath) {
    char path[SETUP_PATH_SIZE], file[SETUP_PATH_SIZE];
    if (JoinPath(path, sizeof path, windows, folder) && JoinPath(file, sizeof file, path, infPath))
        DeleteFileA(file);
}

} // namespace

BOOL InstallHidBridge98(HWND owner) {
    char setupDirectory[SETUP_PATH_SIZE], windows[SETUP_PATH_SIZE], inf[SETUP_PATH_SIZE];
    if (!GetSetupDirectory(setupDirectory, sizeof setupDirectory) ||
        !GetWindowsDir(windows, sizeof windows) ||
        !JoinPath(inf, sizeof inf, setupDirectory, "win98\\pelmo98.inf"))
        return FALSE;
    if (!SetupDiInstallClassA(owner, inf, DI_FORCECOPY, NULL))
        ShowLastError();
    CopyBeside(setupDirectory, "win98\\pelmo98.inf", windows, "\\inf\\PELMO98.inf");
    CopyBeside(setupDirectory, "win98\\pelmo98.inf", windows, "\\inf\\OTHER\\Orvanpelmo98.inf");
    CopyBeside(setupDirectory, "win98\\Pelmo98.sys", windows, "\\SYSTEM32\\drivers\\Pelmo98.sys");
    char drivers[SETUP_PATH_SIZE];
    if (!JoinPath(drivers, sizeof drivers, windows, "\\system32\\drivers"))
        return FALSE;
    return InstallInfFiles(owner, "win98\\pelmo98.inf", NULL, "DidIzer.Install", drivers,
                           HidBridgeKeys, NULL);
}

BOOL RemoveOldUsbRegistration98(LPCSTR usbId) {
    char path[SETUP_PATH_SIZE], windows[SETUP_PATH_SIZE];
    HKEY usb;
    if (!JoinPath(path, sizeof path, "Enum\\USB\\", usbId) ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &usb) != ERROR_SUCCESS)
        return FALSE;
    if (!GetWindowsDir(windows, sizeof windows))
        windows[0] = '\0';
    // Names first: deleting while enumerating would skip instances.
    char names[MAX_OLD_INSTANCES][NAME_SIZE];
    DWORD count = 0;
    while (count < MAX_OLD_INSTANCES) {
        DWORD size = NAME_SIZE;
        if (RegEnumKeyExA(usb, count, names[count], &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        ++count;
    }
    for (DWORD i = 0; i < count; ++i) {
        char driver[NAME_SIZE] = "";
        HKEY instance;
        if (RegOpenKeyExA(usb, names[i], 0, KEY_ALL_ACCESS, &instance) == ERROR_SUCCESS) {
            ReadName(instance, "Driver", driver);
            RegCloseKey(instance);
        }
        RegDeleteKeyA(usb, names[i]);
        char classKey[SETUP_PATH_SIZE];
        if (!driver[0] || !JoinPath(classKey, sizeof classKey, CLASS_ROOT_98, driver))
            continue;
        char infPath[NAME_SIZE] = "";
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, classKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            ReadName(key, "infpath", infPath);
            RegCloseKey(key);
        }
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, classKey);
        // INF files that 98 itself named "OEMn.INF" stay.
        bool oem = toupper(static_cast<unsigned char>(infPath[0])) == 'O' &&
                   toupper(static_cast<unsigned char>(infPath[1])) == 'E' &&
                   toupper(static_cast<unsigned char>(infPath[2])) == 'M';
        if (infPath[0] && !oem && windows[0]) {
            DeleteInf(windows, "\\inf\\", infPath);
            DeleteInf(windows, "\\inf\\other\\", infPath);
        }
    }
    RegCloseKey(usb);
    return TRUE;
}

BOOL InstallTouchDriver98(HWND owner) {
    char setupDirectory[SETUP_PATH_SIZE], windows[SETUP_PATH_SIZE], system[SETUP_PATH_SIZE];
    if (!GetSetupDirectory(setupDirectory, sizeof setupDirectory) ||
        !GetWindowsDir(windows, sizeof windows) || !GetSystemDir(system, sizeof system))
        return FALSE;
    CopyBeside(setupDirectory, "win98\\Trillo98.inf", windows, "\\inf\\Trillo98.inf");
    CopyBeside(setupDirectory, "win98\\Trillo98.inf", windows, "\\inf\\other\\OrvanTrillo98.inf");
    CopyBeside(setupDirectory, "win98\\korvex.sys", windows, "\\SYSTEM32\\drivers\\korvex.sys");
    return InstallInfFiles(owner, "win98\\Trillo98.inf", "USB", "korvex", system,
                           TouchDriverInfNames, NULL);
}

BOOL InstallDriversWin98(HWND owner, LPCSTR autostartCommand) {
    InstallHidBridge98(owner);
    if (!TouchDriverPresent()) {
        RemoveOldUsbRegistration98(TOUCH_USB_ID);
        InstallTouchDriver98(owner);
    }
    RegisterAutostart(autostartCommand);
    return TRUE;
}
