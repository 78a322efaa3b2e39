// The registry layer the control panel and the uninstaller share. Every
// operation opens its key, does one thing and closes the key again; errors
// come back as the registry's error code (ERROR_SUCCESS = 0), which most
// callers ignore.
#pragma once

#include "apps/common/win.h"

// Keys under HKEY_LOCAL_MACHINE, spelled as the programs write them.
#define SETTINGS_KEY "SOFTWARE\\Touch\\usbConfig"
#define SETTINGS_KEY_OSFLAG "SOFTWARE\\Touch\\UsbConfig"
#define AUTOSTART_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"

// KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY.
#define SETTINGS_WRITE_ACCESS 0x2001F

// Text reads query at most this many bytes.
#define SETTING_TEXT_QUERY 50
#define OS_FLAG_QUERY 200
#define OS_FLAG_BUFFER 300

BOOL SettingsKeyExists(void);

// Creates "SOFTWARE\Touch" and "SOFTWARE\Touch\usbConfig" when the settings
// key cannot be opened. Returns the first failing creation's error.
LONG EnsureSettingsKey(void);

// REG_SZ without a stored NUL; nothing is written when the key cannot be
// opened for writing.
LONG WriteSettingText(LPCSTR name, LPCSTR text);
LONG WriteSettingBinary(LPCSTR name, const BYTE* data, DWORD length);

// Reads a text value into buffer (bufferSize bytes, at least 1), cut to
// bufferSize - 1 characters and NUL-terminated. A value that is missing,
// unreadable or longer than SETTING_TEXT_QUERY bytes leaves buffer as it
// was, so callers put the default there first.
LONG ReadSettingText(LPCSTR name, LPSTR buffer, DWORD bufferSize);

// Reads "osflg" (at most OS_FLAG_QUERY bytes) into a zeroed buffer of
// OS_FLAG_BUFFER bytes, opening the settings key for writing as the
// uninstaller and the panel always did: without write access, or without
// the value, the buffer stays empty.
LONG ReadOsFlag(LPSTR buffer);

// Run values of the autostart key, which is never created here.
LONG SetAutostart(LPCSTR name, LPCSTR command);
// A value that does not exist is not an error.
LONG RemoveAutostart(LPCSTR name);

// "IsCfg" holds "YES" in any case: the screen has been calibrated.
BOOL IsCalibrated(void);
