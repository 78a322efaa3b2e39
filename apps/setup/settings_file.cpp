// The settings file: records of type, 50-byte name, length and data, each
// written into the settings key.
#include "apps/setup/setup_files.h"

#include <string.h>

#define FULL_WRITE_ACCESS 0x2001F

struct SettingsRecord {
    DWORD type;
    char name[SETTINGS_NAME_SIZE + 1]; // a name of all 50 bytes keeps a terminator
    DWORD length;
    BYTE data[SETTINGS_RECORD_MAX + 1]; // text data stay terminated
};

// FALSE when the read brought no bytes: the import ends there.
static BOOL ReadPart(HANDLE file, void* buffer, DWORD size) {
    DWORD read = 0;
    return ReadFile(file, buffer, size, &read, NULL) && read != 0;
}

// A record whose length exceeds SETTINGS_RECORD_MAX is refused: the import
// stops before it, as its data would not fit the record.
static BOOL ReadRecord(HANDLE file, SettingsRecord* record) {
    memset(record, 0, sizeof *record);
    BYTE number[4] = {0, 0, 0, 0};
    if (!ReadPart(file, number, 4)) {
        return FALSE;
    }
    record->type = number[0] | number[1] << 8 | number[2] << 16 | (DWORD)number[3] << 24;
    if (!ReadPart(file, record->name, SETTINGS_NAME_SIZE)) {
        return FALSE;
    }
    memset(number, 0, sizeof number);
    if (!ReadPart(file, number, 4)) {
        return FALSE;
    }
    record->length = number[0] | number[1] << 8 | number[2] << 16 | (DWORD)number[3] << 24;
    if (record->length > SETTINGS_RECORD_MAX) {
        return FALSE;
    }
    return ReadPart(file, record->data, record->length);
}

void ImportSettingsFile(LPCSTR fileName) {
    char path[MAX_PATH + 64];
    if (!GetSetupDirectory(path, MAX_PATH) ||
        strlen(path) + 1 + strlen(fileName) + 1 > sizeof path) {
        return;
    }
    strcat(path, "\\");
    strcat(path, fileName);
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETUP_SETTINGS_KEY, 0, FULL_WRITE_ACCESS, &key) !=
        ERROR_SUCCESS) {
        CloseHandle(file);
        return;
    }
    SettingsRecord* record = (SettingsRecord*)LocalAlloc(LMEM_FIXED, sizeof(SettingsRecord));
    while (record != NULL && ReadRecord(file, record)) {
        if (record->type == 1) {
            WriteTextValue(SETUP_SETTINGS_KEY, record->name, (LPCSTR)record->data);
        } else if (record->type == 3) {
            RegSetValueExA(key, record->name, 0, REG_BINARY, record->data, record->length);
        }
    }
    if (record != NULL) {
        LocalFree(record);
    }
    RegCloseKey(key);
    CloseHandle(file);
}
