// The installation steps of setup that are not driver installation:
// program files, default settings and the settings file, the OS flag, the
// autostart value, the Program Manager group, the restart, and the box that
// shows the last error. The wizard and the driver installation call them.
#pragma once

#include "apps/common/win.h"

#define PLATFORM_9598 9598
#define PLATFORM_NT 2001
#define PLATFORM_WIN32S 3132

// InstallPath holds at most this many characters.
#define INSTALL_PATH_MAX 1023
// A settings-file record's data never exceeds this many bytes.
#define SETTINGS_RECORD_MAX 10000
#define SETTINGS_NAME_SIZE 50
#define DEFAULT_TABLE_ENTRIES 5000

#define SETUP_SETTINGS_KEY "SOFTWARE\\Touch\\UsbConfig"

// Install page controls that show the file being copied.
#define IDC_COPY_SOURCE 1019
#define IDC_COPY_DESTINATION 1020

int ClassifyPlatform(void);

// The directory of the running setup program, without a trailing backslash.
BOOL GetSetupDirectory(LPSTR buffer, DWORD size);

BOOL CopyProgramFiles(LPCSTR destinationDirectory, HWND page);
BOOL CopyWholeFile(LPCSTR sourcePath, LPCSTR destinationPath);

// One default table (X or Y) for a platform code: DEFAULT_TABLE_ENTRIES
// unsigned 16-bit little-endian entries.
void BuildDefaultTable(int platformCode, BOOL yTable, BYTE* table);
void WriteDefaultSettings(void);
void EnsureSettingsKeys(void);
LONG WriteTextValue(LPCSTR keyPath, LPCSTR name, LPCSTR text);
void ImportSettingsFile(LPCSTR fileName);
void WriteOsFlag(LPCSTR text);
void RegisterAutostart(LPCSTR command);

BOOL CreateProgramGroup(LPCSTR installDirectory, HWND owner);
void RestartComputer(void);
void ShowLastError(void);
