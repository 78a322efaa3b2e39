// The ANSI Reg calls on the kernel's registry store: conversion against the
// native calls, error paths with poisoned outputs, access checks per system,
// key deletion per system, and the trace of every change.
#include "tests/win32base/win32_fixture.h"

#include <gmock/gmock.h>

#include <cstring>

namespace win32_testing {
namespace {

using platform::win32::OsKind;
using ::testing::ElementsAre;

class RegistryApi : public Win32Test {
protected:
    // Opens (creating) HKLM\SOFTWARE\Touch\usbConfig with the given access.
    HKEY Settings(REGSAM access = KEY_ALL_ACCESS) {
        HKEY key = kKeyPoison;
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Touch\\usbConfig", 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }

    void SetText(HKEY key, const char* name, const char* text, DWORD length) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), length),
                  ERROR_SUCCESS);
    }

    // ZwOpenKey + ZwQueryValueKey, as the driver reads a value.
    NTSTATUS NativeQuery(const std::u16string& path, const std::u16string& name, ULONG* type,
                         std::vector<uint8_t>* data) {
        UNICODE_STRING keyName;
        RtlInitUnicodeString(&keyName, path.c_str());
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &keyName, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                                   NULL, NULL);
        HANDLE key;
        NTSTATUS status = ZwOpenKey(&key, KEY_READ, &attributes);
        if (!NT_SUCCESS(status))
            return status;
        UNICODE_STRING valueName;
        RtlInitUnicodeString(&valueName, name.c_str());
        alignas(8) uint8_t buffer[256];
        ULONG length = 0;
        status = ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, buffer, sizeof buffer,
                                 &length);
        ZwClose(key);
        if (NT_SUCCESS(status)) {
            auto* info = reinterpret_cast<PKEY_VALUE_PARTIAL_INFORMATION>(buffer);
            *type = info->Type;
            data->assign(info->Data, info->Data + info->DataLength);
        }
        return status;
    }
};

TEST_F(RegistryApi, AnsiTextMeetsNativeTextWhateverTheNameCase) {
    HKEY key = Settings();
    SetText(key, "donemode", "1", 1);

    ULONG type = 0;
    std::vector<uint8_t> data;
    ASSERT_EQ(
        NativeQuery(u"\\REGISTRY\\Machine\\Software\\Touch\\UsbConfig", u"doneMode", &type, &data),
        STATUS_SUCCESS);
    EXPECT_EQ(type, ULONG(REG_SZ));
    EXPECT_EQ(data, Utf16("1", true)); // NT stores the NUL after the data

    // The driver's way back: UTF-16 with its NUL counted.
    SetStored(kSettingsPath, "moveSlider", REG_SZ, Utf16("30", true));
    char text[8];
    std::memset(text, kPoisonByte, sizeof text);
    DWORD size = sizeof text;
    DWORD stored = kPoison;
    ASSERT_EQ(
        RegQueryValueExA(key, "MOVESLIDER", nullptr, &stored, reinterpret_cast<BYTE*>(text), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(stored, DWORD(REG_SZ));
    EXPECT_EQ(size, 3u);
    EXPECT_STREQ(text, "30");
    EXPECT_EQ(static_cast<BYTE>(text[3]), kPoisonByte);
    RegCloseKey(key);
}

// NT stores a NUL the count left out when the byte after the data is NUL
// (Wine's advapi32 registry conformance test, test_set_value, "off-by-one
// size"); the 9x family stores the whole string with its NUL. A query adds
// a NUL where the buffer has room but reports the stored size.
TEST_F(RegistryApi, TextIsStoredWithTheNulEachSystemAdds) {
    struct Case {
        OsKind os;
        const char* data;
        DWORD count;
        const char* stored;
        bool nul;
    };
    const Case cases[] = {
        {OsKind::WindowsXP, "YES", 3, "YES", true},   {OsKind::WindowsXP, "YES", 4, "YES", true},
        {OsKind::WindowsXP, "YESX", 3, "YES", false}, {OsKind::Windows2000, "YES", 3, "YES", true},
        {OsKind::Windows2000, "YES", 2, "YE", false}, {OsKind::Windows98, "YES", 3, "YES", true},
        {OsKind::Windows98, "YESX", 3, "YESX", true}, {OsKind::Windows98, "YES", 1, "YES", true},
        {OsKind::WindowsXP, "", 0, "", false},
    };
    for (const Case& c : cases) {
        system.SetOs(c.os);
        HKEY key = Settings();
        SetText(key, "value", c.data, c.count);
        EXPECT_EQ(Stored(kSettingsPath, "value"), Utf16(c.stored, c.nul)) << c.data << c.count;

        char text[8];
        std::memset(text, kPoisonByte, sizeof text);
        DWORD size = sizeof text;
        EXPECT_EQ(
            RegQueryValueExA(key, "value", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
            ERROR_SUCCESS);
        EXPECT_EQ(size, std::strlen(c.stored) + (c.nul ? 1 : 0)) << c.data << c.count;
        if (size > 0) {
            EXPECT_STREQ(text, c.stored) << c.data << c.count;
        }
        RegCloseKey(key);
    }
}

TEST_F(RegistryApi, QueryErrorPathsWriteOnlyWhatWindowsWrites) {
    HKEY key = Settings();
    SetText(key, "port", "COM12X", 5); // no NUL after the data: none stored
    const BYTE table[4] = {1, 2, 3, 4};
    ASSERT_EQ(RegSetValueExA(key, "XArray", 0, REG_BINARY, table, 4), ERROR_SUCCESS);

    struct Case {
        const char* what;
        const char* name;
        bool withData;
        DWORD size;
        LONG error;
        DWORD type;       // expected type output
        DWORD sizeOut;    // expected size output
        const char* data; // expected data, nullptr: untouched
    };
    const Case cases[] = {
        {"missing, size only", "nothing", false, 10, ERROR_FILE_NOT_FOUND, kPoison, 0, nullptr},
        {"missing, with buffer", "nothing", true, 10, ERROR_FILE_NOT_FOUND, kPoison, 10, nullptr},
        {"too small", "port", true, 3, ERROR_MORE_DATA, REG_SZ, 5, nullptr},
        {"size query", "port", false, 0, ERROR_SUCCESS, REG_SZ, 5, nullptr},
        {"exact fit", "PORT", true, 5, ERROR_SUCCESS, REG_SZ, 5, "COM12"},
        {"binary as stored", "xarray", true, 10, ERROR_SUCCESS, REG_BINARY, 4, "\x01\x02\x03\x04"},
    };
    for (const Case& c : cases) {
        DWORD type = kPoison;
        DWORD size = c.size;
        BYTE data[16];
        std::memset(data, kPoisonByte, sizeof data);
        EXPECT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, c.withData ? data : nullptr, &size),
                  c.error)
            << c.what;
        EXPECT_EQ(type, c.type) << c.what;
        EXPECT_EQ(size, c.sizeOut) << c.what;
        if (c.data != nullptr) {
            EXPECT_EQ(std::memcmp(data, c.data, c.sizeOut), 0) << c.what;
            EXPECT_EQ(data[c.sizeOut], kPoisonByte) << c.what;
        } else {
            EXPECT_EQ(data[0], kPoisonByte) << c.what;
        }
    }

    DWORD reserved = 0;
    DWORD size = 4;
    BYTE data[4];
    EXPECT_EQ(RegQueryValueExA(key, "port", &reserved, nullptr, nullptr, &size),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key, "port", nullptr, nullptr, data, nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
    EXPECT_EQ(RegQueryValueExA(key, "port", nullptr, nullptr, nullptr, &size),
              ERROR_INVALID_HANDLE);
}

TEST_F(RegistryApi, OpenAndCreateFailuresLeaveNoHandle) {
    RegCloseKey(Settings());
    struct Case {
        const char* what;
        HKEY parent;
        const char* path;
        LONG error;
    };
    const Case cases[] = {
        {"missing key", HKEY_LOCAL_MACHINE, "SOFTWARE\\Touch\\nothing", ERROR_FILE_NOT_FOUND},
        {"empty component", HKEY_LOCAL_MACHINE, "SOFTWARE\\\\Touch", ERROR_BAD_PATHNAME},
        {"leading backslash", HKEY_LOCAL_MACHINE, "\\SOFTWARE", ERROR_BAD_PATHNAME},
        {"not a key handle", reinterpret_cast<HKEY>(uintptr_t(0x1234)), "SOFTWARE",
         ERROR_INVALID_HANDLE},
    };
    for (const Case& c : cases) {
        HKEY key = kKeyPoison;
        EXPECT_EQ(RegOpenKeyExA(c.parent, c.path, 0, KEY_READ, &key), c.error) << c.what;
        EXPECT_EQ(key, nullptr) << c.what;
    }

    HKEY key = kKeyPoison;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, nullptr, 0, nullptr, 0, KEY_READ, nullptr, &key,
                              nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key, nullptr);
}

TEST_F(RegistryApi, CreateReportsWhetherTheKeyIsNew) {
    HKEY software = kKeyPoison;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_CREATE_SUB_KEY, &software),
              ERROR_SUCCESS);
    DWORD disposition = kPoison;
    HKEY touch = kKeyPoison;
    ASSERT_EQ(RegCreateKeyExA(software, "Touch", 0, nullptr, 0, KEY_CREATE_SUB_KEY, nullptr, &touch,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    RegCloseKey(touch);
    ASSERT_EQ(
        RegCreateKeyExA(software, "TOUCH", 0, nullptr, 0, KEY_READ, nullptr, &touch, &disposition),
        ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    RegCloseKey(touch);
    RegCloseKey(software);
    EXPECT_THAT(Trace(), ElementsAre("0.000 reg create HKLM\\SOFTWARE\\Touch"));
}

struct AccessCase {
    OsKind os;
    bool limited;
    LONG openForWrite;    // RegOpenKeyExA of HKLM\SOFTWARE with KEY_SET_VALUE
    LONG setThroughRead;  // RegSetValueExA through a KEY_READ handle
    LONG createUnderRead; // RegCreateKeyExA of a new key under a KEY_READ handle
};

class RegistryAccess : public RegistryApi, public ::testing::WithParamInterface<AccessCase> {};

TEST_P(RegistryAccess, HandlesGrantWhatWasAskedForOnNtOnly) {
    const AccessCase& c = GetParam();
    system.SetOs(c.os);
    system.SetLimitedUser(c.limited);
    Store().Create(kSettingsPath);

    HKEY key = kKeyPoison;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_SET_VALUE, &key),
              c.openForWrite);
    if (key != nullptr)
        RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Touch\\usbConfig", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "IsCfg", 0, REG_SZ, reinterpret_cast<const BYTE*>("no"), 2),
              c.setThroughRead);
    EXPECT_EQ(Store().GetValue(kSettingsPath, "IsCfg").has_value(),
              c.setThroughRead == ERROR_SUCCESS);
    HKEY created = kKeyPoison;
    EXPECT_EQ(RegCreateKeyExA(key, "New", 0, nullptr, 0, KEY_READ, nullptr, &created, nullptr),
              c.createUnderRead);
    if (created != nullptr)
        RegCloseKey(created);
    RegCloseKey(key);

    // HKEY_CURRENT_USER stays writable for everyone.
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Touch", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 1),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(Store().GetValue("\\REGISTRY\\User\\.Default\\Software\\Touch", "x").has_value());
}

INSTANTIATE_TEST_SUITE_P(PerSystem, RegistryAccess,
                         ::testing::Values(AccessCase{OsKind::WindowsXP, false, ERROR_SUCCESS,
                                                      ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
                                           AccessCase{OsKind::WindowsXP, true, ERROR_ACCESS_DENIED,
                                                      ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
                                           AccessCase{OsKind::Windows2000, true,
                                                      ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED,
                                                      ERROR_ACCESS_DENIED},
                                           AccessCase{OsKind::Windows98, true, ERROR_SUCCESS,
                                                      ERROR_SUCCESS, ERROR_SUCCESS}));

TEST_F(RegistryApi, QueryNeedsQueryAccess) {
    HKEY key = Settings(KEY_SET_VALUE);
    SetText(key, "comport", "COM1", 4);
    DWORD size = kPoison;
    EXPECT_EQ(RegQueryValueExA(key, "comport", nullptr, nullptr, nullptr, &size),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(size, kPoison);
    RegCloseKey(key);
}

TEST_F(RegistryApi, EnumeratesSubkeysInCreationOrder) {
    Store().Create(kMachine + "\\Software\\Enum\\First");
    Store().Create(kMachine + "\\Software\\Enum\\SecondKey");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Enum", 0, KEY_READ, &key),
              ERROR_SUCCESS);

    char name[16];
    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "First");
    EXPECT_EQ(length, 5u);

    std::memset(name, kPoisonByte, sizeof name);
    length = 9; // "SecondKey" needs 10 with its NUL
    EXPECT_EQ(RegEnumKeyExA(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_EQ(length, 9u);
    EXPECT_EQ(static_cast<BYTE>(name[0]), kPoisonByte);

    length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key, 2, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Enum", 0, KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED);
    RegCloseKey(key);
}

TEST_F(RegistryApi, DeletingAKeyWithSubkeysFailsOnNtAndTakesTheTreeOn98) {
    for (OsKind os : {OsKind::WindowsXP, OsKind::Windows98}) {
        system.SetOs(os);
        Store().Create(kMachine + "\\Software\\Gone\\Child");
        HKEY software;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS, &software),
                  ERROR_SUCCESS);
        bool nt = os == OsKind::WindowsXP;
        EXPECT_EQ(RegDeleteKeyA(software, "Gone"), nt ? ERROR_ACCESS_DENIED : ERROR_SUCCESS);
        EXPECT_EQ(Store().Open(kMachine + "\\Software\\Gone") != nullptr, nt);
        if (nt) {
            EXPECT_EQ(RegDeleteKeyA(software, "Gone\\Child"), ERROR_SUCCESS);
            EXPECT_EQ(RegDeleteKeyA(software, "Gone"), ERROR_SUCCESS);
        }
        EXPECT_EQ(RegDeleteKeyA(software, "Gone"), ERROR_FILE_NOT_FOUND);
        RegCloseKey(software);
    }
}

TEST_F(RegistryApi, AHandleToADeletedKeyReportsIt) {
    HKEY key = Settings();
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Touch\\usbConfig"), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 1),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(RegistryApi, DeletingAMissingValueChangesNothing) {
    HKEY key = Settings();
    SetText(key, "keep", "1", 1);
    EXPECT_EQ(RegDeleteValueA(key, "nothing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Store().Values(Store().Open(kSettingsPath)).size(), 1u);
    RegCloseKey(key);
}

TEST_F(RegistryApi, EveryChangeIsTracedWithThePathAsTheProgramSpelledIt) {
    HKEY key = Settings();
    kernel.AdvanceTime(12'345'670);
    SetText(key, "doneMode", "2", 1);
    SetText(key, "IsCfg", "YES", 4);
    std::vector<BYTE> table(10000);
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<BYTE>(i);
    ASSERT_EQ(RegSetValueExA(key, "XArray", 0, REG_BINARY, table.data(), 10000), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "short", 0, REG_BINARY, table.data() + 10, 2), ERROR_SUCCESS);
    const BYTE two[4] = {2, 0, 0, 0};
    ASSERT_EQ(RegSetValueExA(key, "count", 0, REG_DWORD, two, 4), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(key, "count"), ERROR_SUCCESS);
    RegCloseKey(key);

    EXPECT_THAT(
        Trace(),
        ElementsAre("0.000 reg create HKLM\\SOFTWARE\\Touch\\usbConfig",
                    "1234.567 reg set HKLM\\SOFTWARE\\Touch\\usbConfig\\doneMode REG_SZ \"2\"",
                    "1234.567 reg set HKLM\\SOFTWARE\\Touch\\usbConfig\\IsCfg REG_SZ \"YES\"",
                    "1234.567 reg set HKLM\\SOFTWARE\\Touch\\usbConfig\\XArray REG_BINARY "
                    "10000 bytes crc32=d1ffc4fc",
                    "1234.567 reg set HKLM\\SOFTWARE\\Touch\\usbConfig\\short REG_BINARY 2 "
                    "bytes 0a0b",
                    "1234.567 reg set HKLM\\SOFTWARE\\Touch\\usbConfig\\count REG_DWORD "
                    "0x00000002",
                    "1234.567 reg delete HKLM\\SOFTWARE\\Touch\\usbConfig\\count"));
}

} // namespace
} // namespace win32_testing
