#include "apps/common/settings_store.h"

#include <string.h>

static LONG OpenSettings(REGSAM access, HKEY* key) {
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY, 0, access, key);
}

// Opens parentPath with KEY_CREATE_SUB_KEY and creates name under it.
static LONG CreateSubkey(LPCSTR parentPath, LPCSTR name) {
    HKEY parent;
    LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, parentPath, 0, KEY_CREATE_SUB_KEY, &parent);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    HKEY created;
    DWORD disposition;
    char emptyClass[] = "";
    error = RegCreateKeyExA(parent, name, 0, emptyClass, REG_OPTION_NON_VOLATILE,
                            KEY_CREATE_SUB_KEY, NULL, &created, &disposition);
    if (error == ERROR_SUCCESS) {
        RegCloseKey(created);
    }
    RegCloseKey(parent);
    return error;
}

static LONG WriteSetting(LPCSTR name, DWORD type, const BYTE* data, DWORD length) {
    HKEY key;
    LONG error = OpenSettings(SETTINGS_WRITE_ACCESS, &key);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    error = RegSetValueExA(key, name, 0, type, data, length);
    RegCloseKey(key);
    return error;
}

// Queries at most `query` bytes of a text value into text (query + 1 bytes)
// and terminates it after the returned length.
static LONG QueryText(HKEY key, LPCSTR name, char* text, DWORD query) {
    DWORD length = query;
    LONG error = RegQueryValueExA(key, name, NULL, NULL, (LPBYTE)text, &length);
    if (error == ERROR_SUCCESS) {
        text[length] = '\0';
    }
    return error;
}

BOOL SettingsKeyExists(void) {
    HKEY key;
    if (OpenSettings(KEY_READ, &key) != ERROR_SUCCESS) {
        return FALSE;
    }
    RegCloseKey(key);
    return TRUE;
}

LONG EnsureSettingsKey(void) {
    if (SettingsKeyExists()) {
        return ERROR_SUCCESS;
    }
    LONG error = CreateSubkey("SOFTWARE", "Touch");
    LONG second = CreateSubkey("SOFTWARE\\Touch", "usbConfig");
    return error != ERROR_SUCCESS ? error : second;
}

LONG WriteSettingText(LPCSTR name, LPCSTR text) {
    return WriteSetting(name, REG_SZ, (const BYTE*)text, (DWORD)strlen(text));
}

LONG WriteSettingBinary(LPCSTR name, const BYTE* data, DWORD length) {
    return WriteSetting(name, REG_BINARY, data, length);
}

LONG ReadSettingText(LPCSTR name, LPSTR buffer, DWORD bufferSize) {
    HKEY key;
    LONG error = OpenSettings(KEY_READ, &key);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    char text[SETTING_TEXT_QUERY + 1];
    error = QueryText(key, name, text, SETTING_TEXT_QUERY);
    RegCloseKey(key);
    if (error == ERROR_SUCCESS && bufferSize > 0) {
        size_t length = strlen(text);
        if (length > bufferSize - 1) {
            length = bufferSize - 1;
        }
        memcpy(buffer, text, length);
        buffer[length] = '\0';
    }
    return error;
}

LONG ReadOsFlag(LPSTR buffer) {
    HKEY key;
    LONG error =
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETTINGS_KEY_OSFLAG, 0, SETTINGS_WRITE_ACCESS, &key);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    error = QueryText(key, "osflg", buffer, OS_FLAG_QUERY);
    RegCloseKey(key);
    return error;
}

static LONG OpenAutostart(HKEY* key) {
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, AUTOSTART_KEY, 0, SETTINGS_WRITE_ACCESS, key);
}

LONG SetAutostart(LPCSTR name, LPCSTR command) {
    HKEY key;
    LONG error = OpenAutostart(&key);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    error = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)command, (DWORD)strlen(command));
    RegCloseKey(key);
    return error;
}

LONG RemoveAutostart(LPCSTR name) {
    HKEY key;
    LONG error = OpenAutostart(&key);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    error = RegDeleteValueA(key, name);
    RegCloseKey(key);
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

BOOL IsCalibrated(void) {
    char text[SETTING_TEXT_QUERY + 1] = "";
    ReadSettingText("IsCfg", text, sizeof text);
    return lstrcmpiA(text, "YES") == 0;
}
