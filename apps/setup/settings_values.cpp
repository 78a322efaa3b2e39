// The settings key, its text values, the OS flag and the autostart value.
#include "apps/setup/setup_files.h"

#include <string.h>

#define FULL_WRITE_ACCESS 0x2001F

static void CreateKey(LPCSTR path, HKEY* key) {
    DWORD disposition;
    char className[] = "REG_SZ";
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, className, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, NULL, key, &disposition) != ERROR_SUCCESS) {
        *key = NULL;
    }
}

void EnsureSettingsKeys(void) {
    HKEY touch;
    HKEY config;
    CreateKey("Software\\touch", &touch);
    CreateKey("Software\\Touch\\UsbConfig", &config);
    if (touch != NULL) {
        RegCloseKey(touch);
    }
    if (config != NULL) {
        RegCloseKey(config);
    }
}

LONG WriteTextValue(LPCSTR keyPath, LPCSTR name, LPCSTR text) {
    HKEY key;
    LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, FULL_WRITE_ACCESS, &key);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text));
    RegCloseKey(key);
    return ERROR_SUCCESS;
}

void WriteOsFlag(LPCSTR text) {
    EnsureSettingsKeys();
    WriteTextValue(SETUP_SETTINGS_KEY, "osflg", text);
}

void RegisterAutostart(LPCSTR command) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SoftWare\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                      KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(key, "TouchCtl", 0, REG_SZ, (const BYTE*)command, (DWORD)strlen(command));
    RegCloseKey(key);
}
