// Narrow/Widen: the stand-in's text is ASCII in practice; anything outside
// 7-bit ASCII narrows to '?'.
#include "platform/kernel/kernel.h"

namespace platform::kernel {

std::string Narrow(const WCHAR* text, size_t chars) {
    std::string narrow;
    narrow.reserve(chars);
    for (size_t i = 0; i < chars; ++i)
        narrow += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    return narrow;
}

std::string Narrow(const UNICODE_STRING& text) {
    if (!text.Buffer)
        return {};
    return Narrow(text.Buffer, text.Length / sizeof(WCHAR));
}

std::u16string Widen(const std::string& text) {
    std::u16string wide;
    wide.reserve(text.size());
    for (unsigned char c : text)
        wide += c < 0x80 ? static_cast<char16_t>(c) : u'?';
    return wide;
}

} // namespace platform::kernel
