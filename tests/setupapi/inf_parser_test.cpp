// INF parsing through SetupOpenInfFileA: malformed files fail with the
// error and line Windows reports, never a crash; well-formed lines give the
// fields the documented syntax says.
#include "tests/setupapi/setupapi_fixture.h"

#include "platform/setupapi/inf_file.h"

namespace setupapi_testing {
namespace {

using platform::setupapi::detail::InfFromHandle;

const std::string kVersion = "[Version]\r\nSignature=\"$Chicago$\"\r\n";

struct BadInf {
    const char* what;
    std::string text;
    DWORD error;
    UINT line;
};

// Errors and lines as Wine's setupapi conformance tests (parser.c,
// test_invalid_files) record them for Windows.
TEST_F(SetupApiTest, MalformedFilesFailWithTheErrorAndItsLine) {
    const BadInf cases[] = {
        {"empty file", "", ERROR_WRONG_INF_STYLE, 0},
        {"blank line only", "\r\n", ERROR_WRONG_INF_STYLE, 0},
        {"text before any section", "abcd\r\n", ERROR_EXPECTED_SECTION_NAME, 1},
        {"text before the Version", "abcd\r\n" + kVersion, ERROR_EXPECTED_SECTION_NAME, 1},
        {"unclosed section name", kVersion + "[abc", ERROR_BAD_SECTION_NAME_LINE, 3},
        {"section name across lines", kVersion + "[abc\r\ndef]", ERROR_BAD_SECTION_NAME_LINE, 3},
        {"section name of 256 characters", kVersion + "[" + std::string(256, 'a') + "]",
         ERROR_SECTION_NAME_TOO_LONG, 3},
        {"unknown signature", "[Version]\r\nSignature=\"$Foobar$\"\r\n", ERROR_WRONG_INF_STYLE, 0},
        {"no Version section", "[abc]\r\nkey=1\r\n", ERROR_WRONG_INF_STYLE, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        disk.Put("D:\\bad.inf", c.text);
        UINT line = kPoison;
        SetLastError(kPoison);
        EXPECT_EQ(SetupOpenInfFileA("D:\\bad.inf", nullptr, INF_STYLE_WIN4, &line),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(line, c.line);
    }
}

TEST_F(SetupApiTest, OpenRefusesMissingFilesAndOtherClasses) {
    SetLastError(kPoison);
    EXPECT_EQ(SetupOpenInfFileA("D:\\none.inf", nullptr, INF_STYLE_WIN4, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));

    disk.Put("D:\\mouse.inf", "[Version]\nSignature=\"$Windows NT$\"\nClass=Mouse\n");
    SetLastError(kPoison);
    EXPECT_EQ(SetupOpenInfFileA("D:\\mouse.inf", "USB", INF_STYLE_WIN4, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_MISMATCH));
    HINF inf = SetupOpenInfFileA("D:\\mouse.inf", "MOUSE", INF_STYLE_WIN4, nullptr);
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    SetupCloseInfFile(inf);
}

struct LineCase {
    const char* line;
    const char* key;
    std::vector<std::string> fields;
};

TEST_F(SetupApiTest, LinesSplitIntoKeyAndFields) {
    const LineCase cases[] = {
        {"a = b, c ,d", "a", {"b", "c", "d"}},
        {"a=\"x, y\";comment", "a", {"x, y"}},
        {"a=\"say \"\"hi\"\"\"", "a", {"say \"hi\""}},
        {"a = \" padded \" , next", "a", {" padded ", "next"}},
        {"a = first, \\\r\n   second", "a", {"first", "second"}},
        {"a = %Name%\\sub, %%literal%%, %unknown%",
         "a",
         {"Touch Driver\\sub", "%literal%", "%unknown%"}},
        {"a = %12%\\x.sys, %65659%", "a", {"C:\\WINDOWS\\system32\\drivers\\x.sys", "C:\\custom"}},
        {"plain, line", "", {"plain", "line"}},
        {"a = ;nothing", "a", {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        HINF handle =
            Open(kVersion + "[S]\r\n" + c.line + "\r\n[Strings]\r\nName=\"Touch Driver\"\r\n");
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(SetupSetDirectoryIdA(handle, 65659, "C:\\custom"));
        auto* inf = InfFromHandle(handle);
        const auto* section = inf->Find("s");
        ASSERT_NE(section, nullptr);
        ASSERT_EQ(section->lines.size(), 1u);
        EXPECT_EQ(section->lines[0].key, c.key);
        std::vector<std::string> fields;
        for (size_t i = 0; i < section->lines[0].fields.size(); ++i)
            fields.push_back(inf->Field(section->lines[0], i));
        EXPECT_EQ(fields, c.fields);
        SetupCloseInfFile(handle);
    }
}

TEST_F(SetupApiTest, SectionsOfOneNameMergeAndCtrlZEndsTheFile) {
    HINF handle = Open(kVersion + "[A]\nx=1\n[B]\ny=2\n[a]\nz=3\n\x1a[C]\nw=4\n");
    auto* inf = InfFromHandle(handle);
    ASSERT_NE(inf->Find("A"), nullptr);
    EXPECT_EQ(inf->Find("A")->lines.size(), 2u);
    EXPECT_EQ(inf->Find("C"), nullptr);
    SetupCloseInfFile(handle);
}

TEST_F(SetupApiTest, DirectoryIdsBelowTheUserRangeCannotBeSet) {
    HINF handle = Open(kVersion);
    SetLastError(kPoison);
    EXPECT_FALSE(SetupSetDirectoryIdA(handle, DIRID_SYSTEM, "C:\\elsewhere"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetupCloseInfFile(handle);
    SetLastError(kPoison);
    EXPECT_FALSE(SetupSetDirectoryIdA(handle, 65659, "C:\\x"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

} // namespace
} // namespace setupapi_testing
