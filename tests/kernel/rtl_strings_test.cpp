#include "platform/kernel/kernel.h"
#include "tests/kernel/counted_strings.h"
#include "tests/support/kernel_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using platform::kernel::AllocationRequest;

constexpr CHAR kAnsiPoison = '#';
constexpr WCHAR kWidePoison = u'#';
PWSTR const kBufferPoison = reinterpret_cast<PWSTR>(0x5A5A5A5A);

// The fixture's teardown fails a test that leaves pool allocated.
using RtlStrings = kernel_testing::KernelFixture;

TEST_F(RtlStrings, InitCountsBytesAndTheNul) {
    UNICODE_STRING wide = {7, 7, kBufferPoison};
    RtlInitUnicodeString(&wide, u"doneMode");
    EXPECT_EQ(wide.Length, 16);
    EXPECT_EQ(wide.MaximumLength, 18);
    RtlInitUnicodeString(&wide, NULL);
    EXPECT_EQ(wide.MaximumLength, 0);
    EXPECT_EQ(wide.Buffer, nullptr);

    ANSI_STRING ansi = {7, 7, nullptr};
    RtlInitAnsiString(&ansi, "30");
    EXPECT_EQ(ansi.Length, 2);
    EXPECT_EQ(ansi.MaximumLength, 3);
}

// Copy truncates to the destination; copy and append add a NUL only when
// there is room for it; an append that does not fit changes nothing.
TEST_F(RtlStrings, CopyAndAppendStayInsideTheDestination) {
    std::u16string source = u"USBConfig";
    UNICODE_STRING from = Counted(source);
    for (USHORT maxChars : {10, 9, 4, 0}) {
        std::u16string buffer(11, kWidePoison);
        UNICODE_STRING to = {3, static_cast<USHORT>(maxChars * sizeof(WCHAR)), buffer.data()};
        RtlCopyUnicodeString(&to, &from);
        std::u16string expected = source.substr(0, maxChars);
        expected += maxChars > 9 ? std::u16string(1, u'\0') : u"";
        expected.resize(11, kWidePoison);
        EXPECT_EQ(buffer, expected) << maxChars;
        EXPECT_EQ(to.Length, std::min<USHORT>(maxChars, 9) * sizeof(WCHAR));
    }

    std::u16string buffer(20, kWidePoison);
    UNICODE_STRING path = {0, 18 * sizeof(WCHAR), buffer.data()};
    ASSERT_EQ(RtlAppendUnicodeToString(&path, u"\\Services\\korvex"), STATUS_SUCCESS);
    EXPECT_EQ(buffer.substr(0, 17), std::u16string(u"\\Services\\korvex\0", 17));
    EXPECT_EQ(RtlAppendUnicodeToString(&path, u"\\USBConfig"), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(Text(path), u"\\Services\\korvex");
    EXPECT_EQ(RtlAppendUnicodeToString(&path, u"\\U"), STATUS_SUCCESS);
    EXPECT_EQ(buffer.substr(16), u"\\U##") << "exactly full: no NUL past the end";
}

TEST_F(RtlStrings, EqualAndCompareMemory) {
    std::u16string a = u"usbConfig", b = u"USBCONFIG", c = u"usbConfi";
    UNICODE_STRING sa = Counted(a), sb = Counted(b), sc = Counted(c);
    EXPECT_FALSE(RtlEqualUnicodeString(&sa, &sb, FALSE));
    EXPECT_TRUE(RtlEqualUnicodeString(&sa, &sb, TRUE));
    EXPECT_FALSE(RtlEqualUnicodeString(&sa, &sc, TRUE));

    const UCHAR x[] = {1, 2, 3, 4}, y[] = {1, 2, 9, 4};
    EXPECT_EQ(RtlCompareMemory(x, y, 4), 2u);
    EXPECT_TRUE(RtlEqualMemory(x, y, 2));
    EXPECT_FALSE(RtlEqualMemory(x, y, 3));
}

// A fixed destination too small for the text gets what fits before its NUL.
TEST_F(RtlStrings, UnicodeToAnsi) {
    struct Case {
        USHORT max;
        std::string buffer;
        USHORT length;
        NTSTATUS status;
    } cases[] = {
        {7, std::string("ab?def\0#", 8), 6, STATUS_SUCCESS},
        {6, std::string("ab?de\0##", 8), 5, STATUS_BUFFER_OVERFLOW},
        {1, std::string("\0#######", 8), 0, STATUS_BUFFER_OVERFLOW},
        {0, "########", 3, STATUS_BUFFER_OVERFLOW},
    };
    std::u16string source = u"ab\x00e9"
                            u"def";
    UNICODE_STRING from = Counted(source);
    for (const auto& c : cases) {
        std::string buffer(8, kAnsiPoison);
        ANSI_STRING to = {3, c.max, buffer.data()};
        EXPECT_EQ(RtlUnicodeStringToAnsiString(&to, &from, FALSE), c.status) << c.max;
        EXPECT_EQ(buffer, c.buffer) << c.max;
        EXPECT_EQ(to.Length, c.length) << c.max;
    }

    ANSI_STRING allocated = {7, 7, nullptr};
    ASSERT_EQ(RtlUnicodeStringToAnsiString(&allocated, &from, TRUE), STATUS_SUCCESS);
    EXPECT_EQ(std::string(allocated.Buffer, 7), std::string("ab?def\0", 7));
    EXPECT_EQ(allocated.MaximumLength, 7);
    RtlFreeAnsiString(&allocated);
    EXPECT_EQ(allocated.Buffer, nullptr);
}

// A fixed destination without room for the text and its NUL is left alone.
TEST_F(RtlStrings, AnsiToUnicode) {
    ANSI_STRING from;
    RtlInitAnsiString(&from, "2\x80");
    for (USHORT max : {6, 5, 0}) {
        std::u16string buffer(4, kWidePoison);
        UNICODE_STRING to = {3, max, buffer.data()};
        NTSTATUS status = RtlAnsiStringToUnicodeString(&to, &from, FALSE);
        bool fits = max >= 6;
        EXPECT_EQ(status, fits ? STATUS_SUCCESS : STATUS_BUFFER_OVERFLOW) << max;
        EXPECT_EQ(buffer, fits ? std::u16string(u"2?\0#", 4) : u"####") << max;
        EXPECT_EQ(to.Length, fits ? 4 : 3) << max;
    }

    UNICODE_STRING allocated = {3, 3, kBufferPoison};
    ASSERT_EQ(RtlAnsiStringToUnicodeString(&allocated, &from, TRUE), STATUS_SUCCESS);
    EXPECT_EQ(std::u16string(allocated.Buffer, 3), std::u16string(u"2?\0", 3));
    EXPECT_EQ(allocated.MaximumLength, 6);
    RtlFreeUnicodeString(&allocated);
}

TEST_F(RtlStrings, AllocatingCallsReportNoMemory) {
    kernel.SetAllocationFilter([](const AllocationRequest&) { return true; });
    std::u16string source = u"30";
    UNICODE_STRING wide = Counted(source);
    ANSI_STRING ansi = {3, 3, nullptr};
    EXPECT_EQ(RtlUnicodeStringToAnsiString(&ansi, &wide, TRUE), STATUS_NO_MEMORY);
    RtlInitAnsiString(&ansi, "30");
    UNICODE_STRING out = {3, 3, kBufferPoison};
    EXPECT_EQ(RtlAnsiStringToUnicodeString(&out, &ansi, TRUE), STATUS_NO_MEMORY);
    EXPECT_EQ(RtlStringFromGUID(GUID{}, &out), STATUS_NO_MEMORY);
    EXPECT_EQ(out.Buffer, kBufferPoison);
}

// A number stored as REG_DWORD reaches the text conversion as its raw bytes.
TEST_F(RtlStrings, DwordBytesReadAsTextConvertLikeText) {
    struct Case {
        ULONG dword;
        ULONG value;
    } cases[] = {{2, 0}, {0, 0}, {0x31, 1}, {0x3233, 32}, {0x20203120, 1}};
    for (const auto& c : cases) {
        char text[100] = {};
        memcpy(text, &c.dword, sizeof c.dword);
        ANSI_STRING ansi;
        RtlInitAnsiString(&ansi, text);
        UNICODE_STRING wide;
        ASSERT_EQ(RtlAnsiStringToUnicodeString(&wide, &ansi, TRUE), STATUS_SUCCESS);
        ULONG value = 0xDEADBEEF;
        EXPECT_EQ(RtlUnicodeStringToInteger(&wide, 10, &value), STATUS_SUCCESS);
        EXPECT_EQ(value, c.value) << std::hex << c.dword;
        RtlFreeUnicodeString(&wide);
    }
}

TEST_F(RtlStrings, GuidTextIsBracedUpperCaseInPool) {
    const GUID guid = {
        0x0a1b2c3d, 0x4e5f, 0x6071, {0x82, 0x93, 0xa4, 0xb5, 0xc6, 0xd7, 0xe8, 0xf9}};
    UNICODE_STRING text = {3, 3, kBufferPoison};
    ASSERT_EQ(RtlStringFromGUID(guid, &text), STATUS_SUCCESS);
    EXPECT_EQ(std::u16string(text.Buffer, text.MaximumLength / sizeof(WCHAR)),
              std::u16string(u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}\0", 39));
    EXPECT_EQ(text.Length, 76);
    RtlFreeUnicodeString(&text);

    GUID other = guid;
    EXPECT_TRUE(IsEqualGUID(guid, other));
    other.Data4[7] ^= 1;
    EXPECT_FALSE(IsEqualGUID(guid, other));
}

} // namespace
