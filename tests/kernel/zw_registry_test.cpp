#include "platform/kernel/kernel.h"
#include "platform/kernel/zw_handles.h"
#include "tests/kernel/counted_strings.h"
#include "tests/support/kernel_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using platform::kernel::Kernel;
using platform::kernel::KeyHandleTable;

HANDLE const kHandlePoison = reinterpret_cast<HANDLE>(0x5A5A5A5A);
constexpr ULONG kPoison = 0xDEADBEEF;
constexpr ACCESS_MASK kReadWrite = KEY_READ | KEY_WRITE; // 0x2001F
const std::string kSettingsPath = "\\REGISTRY\\Machine\\Software\\Touch\\usbConfig";
constexpr std::u16string_view kSettings = u"\\REGISTRY\\Machine\\Software\\Touch\\usbConfig";

NTSTATUS Open(std::u16string_view path, ACCESS_MASK access, HANDLE* handle, HANDLE root = NULL) {
    UNICODE_STRING name = Counted(path);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, root,
                               NULL);
    return ZwOpenKey(handle, access, &attributes);
}

NTSTATUS Create(std::u16string_view path, HANDLE* handle, ULONG* disposition, HANDLE root = NULL,
                ULONG options = REG_OPTION_NON_VOLATILE) {
    UNICODE_STRING name = Counted(path);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, root,
                               NULL);
    return ZwCreateKey(handle, KEY_ALL_ACCESS, &attributes, 0, NULL, options, disposition);
}

NTSTATUS SetValue(HANDLE key, std::u16string_view name, ULONG type, const void* data, ULONG size) {
    UNICODE_STRING valueName = Counted(name);
    return ZwSetValueKey(key, &valueName, 0, type, const_cast<void*>(data), size);
}

NTSTATUS Query(HANDLE key, std::u16string_view name, KEY_VALUE_INFORMATION_CLASS info,
               std::vector<UCHAR>& buffer, ULONG length, ULONG* result) {
    UNICODE_STRING valueName = Counted(name);
    return ZwQueryValueKey(key, &valueName, info, buffer.data(), length, result);
}

ULONG FieldAt(const std::vector<UCHAR>& buffer, size_t offset) {
    ULONG value;
    memcpy(&value, buffer.data() + offset, sizeof value);
    return value;
}

class ZwRegistry : public kernel_testing::KernelFixture {
protected:
    ZwRegistry() { kernel.Registry().Create(kSettingsPath); }

    void TearDown() override {
        EXPECT_EQ(KeyHandleTable::Of(kernel).OpenCount(), 0u) << "a test left a key open";
        KernelFixture::TearDown();
    }

    HANDLE OpenSettings(ACCESS_MASK access = kReadWrite) {
        HANDLE handle = kHandlePoison;
        EXPECT_EQ(Open(kSettings, access, &handle), STATUS_SUCCESS);
        return handle;
    }
};

TEST_F(ZwRegistry, OpenResolvesNativePathsWithoutRegardToCase) {
    HANDLE machine = kHandlePoison, settings = kHandlePoison;
    ASSERT_EQ(Open(u"\\registry\\MACHINE", KEY_READ, &machine), STATUS_SUCCESS);
    ASSERT_EQ(Open(u"SOFTWARE\\Touch\\UsbConfig", KEY_READ, &settings, machine), STATUS_SUCCESS);
    EXPECT_NE(settings, machine);

    struct Case {
        std::u16string_view path;
        HANDLE root;
        NTSTATUS status;
    } failures[] = {
        {u"\\REGISTRY\\Machine\\Software\\Touch\\Missing", NULL, STATUS_OBJECT_NAME_NOT_FOUND},
        {u"\\REGISTRY\\Machine\\Nope\\Touch", NULL, STATUS_OBJECT_NAME_NOT_FOUND},
        {u"\\REGISTRY\\Machine\\\\Software", NULL, STATUS_OBJECT_NAME_INVALID},
        {u"\\REGISTRY\\Machine\\Software\\", NULL, STATUS_OBJECT_NAME_INVALID},
        {u"\\Device\\Machine", NULL, STATUS_OBJECT_PATH_NOT_FOUND},
        {u"\\REGISTRYX\\Machine", NULL, STATUS_OBJECT_PATH_NOT_FOUND},
        {u"REGISTRY\\Machine", NULL, STATUS_OBJECT_PATH_SYNTAX_BAD},
        {u"\\Software", machine, STATUS_OBJECT_PATH_SYNTAX_BAD},
        {u"Software", reinterpret_cast<HANDLE>(0x1234), STATUS_INVALID_HANDLE},
    };
    for (const auto& c : failures) {
        HANDLE handle = kHandlePoison;
        EXPECT_EQ(Open(c.path, KEY_READ, &handle, c.root), c.status) << &c - failures;
        EXPECT_EQ(handle, kHandlePoison);
    }
    EXPECT_EQ(ZwClose(settings), STATUS_SUCCESS);
    EXPECT_EQ(ZwClose(machine), STATUS_SUCCESS);
}

TEST_F(ZwRegistry, CreateMakesOnlyTheLastComponent) {
    const std::u16string_view backup =
        u"\\REGISTRY\\Machine\\System\\CurrentControlSet\\Services\\korvex\\USBConfig";
    HANDLE handle = kHandlePoison;
    ULONG disposition = kPoison;
    EXPECT_EQ(Create(backup, &handle, &disposition), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(handle, kHandlePoison);
    EXPECT_EQ(disposition, kPoison);
    EXPECT_EQ(kernel.Registry().Open("\\REGISTRY\\Machine\\System\\CurrentControlSet\\Services"),
              nullptr);

    kernel.Registry().Create("\\REGISTRY\\Machine\\System\\CurrentControlSet\\Services\\korvex");
    ASSERT_EQ(Create(backup, &handle, &disposition), STATUS_SUCCESS);
    EXPECT_EQ(disposition, static_cast<ULONG>(REG_CREATED_NEW_KEY));
    HANDLE again;
    ASSERT_EQ(Create(u"\\registry\\machine\\SYSTEM\\currentcontrolset\\services\\KORVEX\\usbconfig",
                     &again, &disposition),
              STATUS_SUCCESS);
    EXPECT_EQ(disposition, static_cast<ULONG>(REG_OPENED_EXISTING_KEY));
    HANDLE child;
    ASSERT_EQ(Create(u"Child", &child, &disposition, again), STATUS_SUCCESS);
    EXPECT_EQ(disposition, static_cast<ULONG>(REG_CREATED_NEW_KEY));
    EXPECT_NE(kernel.Registry().Open("\\REGISTRY\\Machine\\System\\CurrentControlSet\\Services\\"
                                     "korvex\\USBConfig\\Child"),
              nullptr);

    HANDLE refused = kHandlePoison;
    EXPECT_EQ(Create(u"\\REGISTRY\\Hive", &refused, NULL), STATUS_ACCESS_DENIED);
    EXPECT_EQ(Create(u"Other", &refused, NULL, again, 0x8), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(refused, kHandlePoison);
    for (HANDLE h : {child, again, handle}) {
        EXPECT_EQ(ZwClose(h), STATUS_SUCCESS);
    }
}

TEST_F(ZwRegistry, AccessIsCheckedAgainstWhatTheOpenGranted) {
    HANDLE readOnly = OpenSettings(KEY_READ);
    HANDLE writeOnly = OpenSettings(KEY_SET_VALUE);
    HANDLE both = OpenSettings(kReadWrite);
    std::vector<UCHAR> buffer(64);
    ULONG result = kPoison;
    UNICODE_STRING name = Counted(u"doneMode");

    EXPECT_EQ(SetValue(readOnly, u"doneMode", REG_SZ, u"2", 2), STATUS_ACCESS_DENIED);
    EXPECT_EQ(SetValue(writeOnly, u"doneMode", REG_SZ, u"2", 2), STATUS_SUCCESS);
    EXPECT_EQ(Query(writeOnly, u"doneMode", KeyValuePartialInformation, buffer, 64, &result),
              STATUS_ACCESS_DENIED);
    EXPECT_EQ(result, kPoison);
    EXPECT_EQ(Query(readOnly, u"doneMode", KeyValuePartialInformation, buffer, 64, &result),
              STATUS_SUCCESS);
    EXPECT_EQ(ZwDeleteValueKey(readOnly, &name), STATUS_ACCESS_DENIED);
    EXPECT_EQ(ZwDeleteKey(both), STATUS_ACCESS_DENIED) << "deleting a key needs DELETE";
    EXPECT_EQ(ZwDeleteValueKey(both, &name), STATUS_SUCCESS);
    EXPECT_EQ(ZwDeleteValueKey(both, &name), STATUS_OBJECT_NAME_NOT_FOUND);
    for (HANDLE h : {readOnly, writeOnly, both}) {
        EXPECT_EQ(ZwClose(h), STATUS_SUCCESS);
    }
}

// Layouts: basic {TitleIndex, Type, NameLength, Name}; full {TitleIndex, Type,
// DataOffset, DataLength, NameLength, Name, padding to a ULONG, Data};
// partial {TitleIndex, Type, DataLength, Data}. Too small for the fixed part:
// STATUS_BUFFER_TOO_SMALL and nothing written; else STATUS_BUFFER_OVERFLOW
// with as much as fits. ResultLength is always the size needed.
TEST_F(ZwRegistry, QueryLayoutsAndShortBuffers) {
    HANDLE key = OpenSettings();
    const UCHAR table[] = {10, 11, 12, 13, 14, 15};
    ASSERT_EQ(SetValue(key, u"xarray", REG_BINARY, table, sizeof table), STATUS_SUCCESS);
    ASSERT_EQ(SetValue(key, u"XArray", REG_BINARY, table, sizeof table), STATUS_SUCCESS);
    struct Case {
        KEY_VALUE_INFORMATION_CLASS info;
        ULONG length;
        NTSTATUS status;
        ULONG needed;
        size_t written; // leading bytes of the buffer overwritten
    } cases[] = {
        {KeyValueBasicInformation, 11, STATUS_BUFFER_TOO_SMALL, 24, 0},
        {KeyValueBasicInformation, 17, STATUS_BUFFER_OVERFLOW, 24, 17},
        {KeyValueBasicInformation, 64, STATUS_SUCCESS, 24, 24},
        {KeyValueFullInformation, 19, STATUS_BUFFER_TOO_SMALL, 38, 0},
        {KeyValueFullInformation, 20, STATUS_BUFFER_OVERFLOW, 38, 20},
        {KeyValueFullInformation, 37, STATUS_BUFFER_OVERFLOW, 38, 37},
        {KeyValueFullInformation, 64, STATUS_SUCCESS, 38, 38},
        {KeyValuePartialInformation, 0, STATUS_BUFFER_TOO_SMALL, 18, 0},
        {KeyValuePartialInformation, 15, STATUS_BUFFER_OVERFLOW, 18, 15},
        {KeyValuePartialInformation, 64, STATUS_SUCCESS, 18, 18},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "class " << c.info << " length " << c.length);
        std::vector<UCHAR> buffer(72, 0xCC);
        ULONG result = kPoison;
        EXPECT_EQ(Query(key, u"XARRAY", c.info, buffer, c.length, &result), c.status);
        EXPECT_EQ(result, c.needed);
        size_t written = buffer.size();
        while (written > 0 && buffer[written - 1] == 0xCC) {
            --written;
        }
        EXPECT_EQ(written, c.written);
        if (c.status == STATUS_SUCCESS) {
            std::vector<UCHAR> name(12);
            memcpy(name.data(), u"xarray", 12);
            size_t nameAt = c.info == KeyValueFullInformation ? 20 : 12;
            size_t dataAt = c.info == KeyValueFullInformation ? 32 : 12;
            if (c.info != KeyValuePartialInformation) {
                EXPECT_EQ(std::vector<UCHAR>(&buffer[nameAt], &buffer[nameAt + 12]), name);
            }
            if (c.info != KeyValueBasicInformation) {
                EXPECT_EQ(buffer[dataAt], 10);
                EXPECT_EQ(buffer[dataAt + 5], 15);
            }
            EXPECT_EQ(FieldAt(buffer, 4), static_cast<ULONG>(REG_BINARY));
        }
    }
    std::vector<UCHAR> buffer(64);
    ULONG result = kPoison;
    EXPECT_EQ(
        Query(key, u"XArray", static_cast<KEY_VALUE_INFORMATION_CLASS>(7), buffer, 64, &result),
        STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Query(key, u"missing", KeyValueFullInformation, buffer, 64, &result),
              STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(result, kPoison);
    EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);
}

TEST_F(ZwRegistry, FullInformationAlignsTheDataToAUlongAndSkipsThePadding) {
    HANDLE key = OpenSettings();
    const UCHAR data[] = {1, 2, 3};
    for (std::u16string_view name : {u"", u"X", u"XA", u"XAr"}) {
        ASSERT_EQ(SetValue(key, name, REG_BINARY, data, sizeof data), STATUS_SUCCESS);
        std::vector<UCHAR> buffer(64, 0xCC);
        ULONG result = kPoison;
        ASSERT_EQ(Query(key, name, KeyValueFullInformation, buffer, 64, &result), STATUS_SUCCESS);
        size_t nameEnd = 20 + name.size() * sizeof(WCHAR);
        ULONG aligned = static_cast<ULONG>((nameEnd + 3) / 4 * 4);
        EXPECT_EQ(FieldAt(buffer, 8), aligned) << name.size();
        EXPECT_EQ(result, aligned + 3);
        EXPECT_EQ(buffer[aligned], 1);
        if (aligned > nameEnd) {
            EXPECT_EQ(buffer[nameEnd], 0xCC) << "padding is not written";
        }
    }
    EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);
}

// Found by fuzzing: an empty value has no data bytes at all, and reading it
// must not copy from their absent buffer (UBSan's nonnull check, asan preset).
TEST_F(ZwRegistry, EmptyValueReadsBackWithNoDataInEveryLayout) {
    kernel.Registry().SetValue(kSettingsPath, "Empty", REG_BINARY, nullptr, 0);
    HANDLE key = OpenSettings();
    for (auto info :
         {KeyValueBasicInformation, KeyValuePartialInformation, KeyValueFullInformation}) {
        std::vector<UCHAR> buffer(64, 0xCC);
        ULONG result = kPoison;
        ASSERT_EQ(Query(key, u"Empty", info, buffer, 64, &result), STATUS_SUCCESS) << info;
        EXPECT_LT(result, 64u) << info;
        EXPECT_EQ(buffer[result], 0xCC) << info;
    }
    EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);
}

TEST_F(ZwRegistry, DeletedKeyFailsThroughEveryHandleUntilClosed) {
    HANDLE parent, machine;
    ASSERT_EQ(Open(u"\\REGISTRY\\Machine\\Software\\Touch", KEY_ALL_ACCESS, &parent),
              STATUS_SUCCESS);
    ASSERT_EQ(Open(u"\\REGISTRY\\Machine", KEY_ALL_ACCESS, &machine), STATUS_SUCCESS);
    EXPECT_EQ(ZwDeleteKey(parent), STATUS_CANNOT_DELETE) << "it has a subkey";
    EXPECT_EQ(ZwDeleteKey(machine), STATUS_CANNOT_DELETE);

    HANDLE doomed = OpenSettings(KEY_ALL_ACCESS);
    HANDLE other = OpenSettings(KEY_READ);
    ASSERT_EQ(ZwDeleteKey(doomed), STATUS_SUCCESS);
    EXPECT_EQ(ZwDeleteKey(doomed), STATUS_KEY_DELETED);
    std::vector<UCHAR> buffer(64);
    ULONG result;
    EXPECT_EQ(Query(other, u"doneMode", KeyValuePartialInformation, buffer, 64, &result),
              STATUS_KEY_DELETED);
    EXPECT_EQ(SetValue(doomed, u"doneMode", REG_SZ, u"1", 2), STATUS_KEY_DELETED);
    HANDLE child = kHandlePoison;
    EXPECT_EQ(Create(u"Child", &child, NULL, doomed), STATUS_KEY_DELETED);
    EXPECT_EQ(Open(kSettings, KEY_READ, &child), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(child, kHandlePoison);
    EXPECT_EQ(ZwDeleteKey(parent), STATUS_SUCCESS);
    for (HANDLE h : {doomed, other, parent, machine}) {
        EXPECT_EQ(ZwClose(h), STATUS_SUCCESS);
    }
}

TEST_F(ZwRegistry, ClosingAHandleTwiceIsAViolation) {
    ExpectViolation("invalid-handle");
    HANDLE key = OpenSettings();
    EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);
    EXPECT_EQ(CountViolations("invalid-handle"), 0u);
    EXPECT_EQ(ZwClose(key), STATUS_INVALID_HANDLE);
    EXPECT_EQ(CountViolations("invalid-handle"), 1u);
}

TEST_F(ZwRegistry, EveryCallAtDispatchLevelIsAViolation) {
    ExpectViolation("registry-at-dispatch");
    HANDLE key = OpenSettings();
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    std::vector<UCHAR> buffer(64);
    ULONG result;
    EXPECT_EQ(Query(key, u"missing", KeyValuePartialInformation, buffer, 64, &result),
              STATUS_OBJECT_NAME_NOT_FOUND);
    SetValue(key, u"doneMode", REG_SZ, u"1", 2);
    ZwClose(OpenSettings());
    KeLowerIrql(old);
    EXPECT_EQ(CountViolations("registry-at-dispatch"), 4u);
    EXPECT_EQ(ZwClose(key), STATUS_SUCCESS);
    EXPECT_EQ(CountViolations("registry-at-dispatch"), 4u);
}

TEST_F(ZwRegistry, HandlesLeftOpenAreReportedAsLeaks) {
    ExpectViolation("registry-handle-leak");
    OpenSettings();
    OpenSettings(KEY_READ);
    kernel.CheckForLeaks();
    EXPECT_EQ(CountViolations("registry-handle-leak"), 2u);
}

TEST(ZwRegistryKernels, HandlesOfAnEarlierKernelAreNotValidInALaterOne) {
    HANDLE stale = NULL;
    {
        auto first = std::make_unique<Kernel>();
        first->Registry().Create(kSettingsPath);
        ASSERT_EQ(Open(kSettings, KEY_READ, &stale), STATUS_SUCCESS);
        first->SetViolationHandler([](const platform::kernel::Violation&) {});
    }
    auto second = std::make_unique<Kernel>();
    std::vector<std::string> rules;
    second->SetViolationHandler([&](const auto& violation) { rules.push_back(violation.rule); });
    second->Registry().Create(kSettingsPath);
    std::vector<UCHAR> buffer(64);
    ULONG result = kPoison;
    EXPECT_EQ(Query(stale, u"doneMode", KeyValuePartialInformation, buffer, 64, &result),
              STATUS_INVALID_HANDLE);
    EXPECT_EQ(ZwClose(stale), STATUS_INVALID_HANDLE);
    EXPECT_EQ(rules, std::vector<std::string>{"invalid-handle"});
}

TEST_F(ZwRegistry, ConcurrentOpenWriteQueryCloseIsSafe) {
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            const char16_t name[] = {u'v', static_cast<char16_t>(u'0' + t), 0};
            for (int i = 0; i < 200; ++i) {
                HANDLE h;
                std::vector<UCHAR> buffer(64);
                ULONG result;
                failures[t] += Open(kSettings, kReadWrite, &h) != STATUS_SUCCESS ||
                               SetValue(h, name, REG_SZ, u"1", 2) != STATUS_SUCCESS ||
                               Query(h, name, KeyValuePartialInformation, buffer, 64, &result) !=
                                   STATUS_SUCCESS ||
                               ZwClose(h) != STATUS_SUCCESS;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

} // namespace
