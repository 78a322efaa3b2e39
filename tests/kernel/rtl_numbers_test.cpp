#include "platform/kernel/kernel.h"
#include "tests/kernel/counted_strings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr ULONG kPoison = 0xDEADBEEF;

struct TextToInteger {
    ULONG base;
    std::u16string text;
    ULONG value;
    NTSTATUS status;
};

TEST(RtlUnicodeStringToInteger, ConvertsAsTheNativeRoutine) {
    const TextToInteger cases[] = {
        {10, u"123", 123, STATUS_SUCCESS},
        {10, u"  -345", 0u - 345, STATUS_SUCCESS},
        {10, u"xyz", 0, STATUS_SUCCESS},
        {10, u"   +678abc", 678, STATUS_SUCCESS},
        {16, u"   +678abc", 0x678abc, STATUS_SUCCESS},
        {8, u"789", 7, STATUS_SUCCESS},
        {16, u"FGH", 15, STATUS_SUCCESS},
        {10, u"", 0, STATUS_SUCCESS},
        // Every control character counts as a blank before the number.
        {10, std::u16string(u"\x01\x02\x1f\x20") + u"42", 42, STATUS_SUCCESS},
        {10, std::u16string(1, u'\0') + u"42", 42, STATUS_SUCCESS},
        {10, u"\x02", 0, STATUS_SUCCESS},
        {10, u"--5", 0, STATUS_SUCCESS},
        {10, u"12 34", 12, STATUS_SUCCESS},
        {10, u"4294967295", 0xFFFFFFFF, STATUS_SUCCESS},
        {10, u"4294967296", 0, STATUS_SUCCESS},
        {10, u"-2147483648", 0x80000000, STATUS_SUCCESS},
        // Base 0 reads a lower-case prefix, else decimal.
        {0, u"0x1F", 0x1F, STATUS_SUCCESS},
        {0, u"-0x10", 0u - 16, STATUS_SUCCESS},
        {0, u"0o17", 017, STATUS_SUCCESS},
        {0, u"0b101", 5, STATUS_SUCCESS},
        {0, u"0X1F", 0, STATUS_SUCCESS},
        {0, u"00x12", 0, STATUS_SUCCESS},
        {0, u"056789", 56789, STATUS_SUCCESS},
        // An explicit base takes no prefix.
        {16, u"0x1F", 0, STATUS_SUCCESS},
        {16, u"0b1", 0xB1, STATUS_SUCCESS},
        {2, u"1012", 5, STATUS_SUCCESS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "base " << c.base << " case #" << (&c - cases));
        UNICODE_STRING text = Counted(c.text);
        ULONG value = kPoison;
        EXPECT_EQ(RtlUnicodeStringToInteger(&text, c.base, &value), c.status);
        EXPECT_EQ(value, c.value);
    }
}

TEST(RtlUnicodeStringToInteger, RejectsOtherBasesAndLeavesTheValue) {
    UNICODE_STRING text = Counted(u"10");
    for (ULONG base : {1u, 7u, 20u, 0xFFFFFFF8u}) {
        ULONG value = kPoison;
        EXPECT_EQ(RtlUnicodeStringToInteger(&text, base, &value), STATUS_INVALID_PARAMETER) << base;
        EXPECT_EQ(value, kPoison);
    }
}

struct IntegerToText {
    ULONG value;
    ULONG base;
    USHORT maxChars;
    std::u16string text; // what the buffer holds afterwards, poison included
    NTSTATUS status;
};

TEST(RtlIntegerToUnicodeString, WritesDigitsAndANulWhenThereIsRoom) {
    const IntegerToText cases[] = {
        {123, 10, 11, std::u16string(u"123\0-", 5), STATUS_SUCCESS},
        {123, 0, 11, std::u16string(u"123\0-", 5), STATUS_SUCCESS},
        {0xFFFFFFFF, 16, 9, std::u16string(u"FFFFFFFF\0", 9), STATUS_SUCCESS},
        {0xFFFFFFFF, 16, 8, u"FFFFFFFF-", STATUS_SUCCESS},
        {0xFFFFFFFF, 16, 7, u"---------", STATUS_BUFFER_OVERFLOW},
        {0xA, 16, 1, u"A-", STATUS_SUCCESS},
        {0, 16, 0, u"--", STATUS_BUFFER_OVERFLOW},
        {5, 2, 33, std::u16string(u"101\0-", 5), STATUS_SUCCESS},
        {0x80000000, 2, 33, std::u16string(u"10000000000000000000000000000000\0", 33),
         STATUS_SUCCESS},
        {0xFFFFFFFF, 8, 12, std::u16string(u"37777777777\0", 12), STATUS_SUCCESS},
        {30, 7, 11, u"----", STATUS_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " base " << c.base << " max " << c.maxChars);
        WCHAR buffer[40];
        std::fill(std::begin(buffer), std::end(buffer), u'-');
        UNICODE_STRING string = {7, static_cast<USHORT>(c.maxChars * sizeof(WCHAR)), buffer};
        EXPECT_EQ(RtlIntegerToUnicodeString(c.value, c.base, &string), c.status);
        EXPECT_EQ(std::u16string(buffer, c.text.size()), c.text);
        if (c.status == STATUS_SUCCESS) {
            size_t digits = c.text.find_first_of(std::u16string(u"\0-", 2));
            EXPECT_EQ(string.Length,
                      (digits == std::u16string::npos ? c.text.size() : digits) * sizeof(WCHAR));
        } else {
            EXPECT_EQ(string.Length, 7);
        }
        EXPECT_EQ(string.MaximumLength, c.maxChars * sizeof(WCHAR));
    }
}

} // namespace
