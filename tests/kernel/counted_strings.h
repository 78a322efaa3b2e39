// Counted strings over test text. The view must outlive the string: pass
// literals or named strings, never temporaries.
#pragma once

#include "platform/kernel/ntddk.h"

#include <string>
#include <string_view>

inline UNICODE_STRING Counted(std::u16string_view text) {
    UNICODE_STRING string;
    string.Buffer = const_cast<PWSTR>(text.data());
    string.Length = string.MaximumLength = static_cast<USHORT>(text.size() * sizeof(WCHAR));
    return string;
}

inline std::u16string Text(const UNICODE_STRING& string) {
    return std::u16string(string.Buffer, string.Length / sizeof(WCHAR));
}
