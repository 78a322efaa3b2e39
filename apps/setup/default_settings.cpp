// The default settings: five texts, the two default tables, then the
// settings file of the platform over them.
#include "apps/setup/setup_files.h"

#include <string.h>

#define FULL_WRITE_ACCESS 0x2001F
#define TABLE_BYTES (DEFAULT_TABLE_ENTRIES * 2)

void BuildDefaultTable(int platformCode, BOOL yTable, BYTE* table) {
    const BOOL win9x = platformCode == PLATFORM_9598;
    const double factor =
        win9x ? (yTable ? 109.22333333333333 : 81.9175) : (yTable ? 54.61 : 40.9575);
    // All 5000 entries follow the one formula, so no stored entry is left
    // unset.
    for (int i = 0; i < DEFAULT_TABLE_ENTRIES; ++i) {
        unsigned value = (unsigned)(long)(i * factor) & 0xFFFF;
        if (!win9x && value > 32766) {
            value = 32766;
        }
        table[2 * i] = (BYTE)(value & 0xFF);
        table[2 * i + 1] = (BYTE)(value >> 8);
    }
}

void WriteDefaultSettings(void) {
    static const struct {
        const char* name;
        const char* text;
    } kTexts[] = {
        {"chgbutton", ""},   {"donemode", "1"},    {"IsCfg", "no"},
        {"dubwheel", "yes"}, {"moveSlider", "30"},
    };
    EnsureSettingsKeys();
    for (size_t i = 0; i < sizeof kTexts / sizeof kTexts[0]; ++i) {
        WriteTextValue(SETUP_SETTINGS_KEY, kTexts[i].name, kTexts[i].text);
    }
    const int platformCode = ClassifyPlatform();
    BYTE* tables = (BYTE*)LocalAlloc(LMEM_FIXED, 2 * TABLE_BYTES);
    if (tables != NULL) {
        BuildDefaultTable(platformCode, FALSE, tables);
        BuildDefaultTable(platformCode, TRUE, tables + TABLE_BYTES);
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETUP_SETTINGS_KEY, 0, FULL_WRITE_ACCESS, &key) ==
            ERROR_SUCCESS) {
            RegSetValueExA(key, "XArray", 0, REG_BINARY, tables, TABLE_BYTES);
            RegSetValueExA(key, "YArray", 0, REG_BINARY, tables + TABLE_BYTES, TABLE_BYTES);
            RegCloseKey(key);
        }
        LocalFree(tables);
    }
    if (platformCode == PLATFORM_9598) {
        ImportSettingsFile("win98.cfg");
    } else if (platformCode == PLATFORM_NT) {
        ImportSettingsFile("winxp.cfg");
    }
}
