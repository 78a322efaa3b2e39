// UTF-16 (resources, templates) to the host's ANSI code page and back. The
// host's ANSI code page is UTF-8, so every text round-trips.
#pragma once

#include <cstddef>
#include <string>

namespace platform::win32::detail {

std::string AnsiFromUtf16(const char16_t* text, size_t length);
std::u16string Utf16FromAnsi(const std::string& text);

// Reads a NUL-terminated UTF-16 string at *offset (advanced past the NUL)
// without reading at or past end. False when it runs into end.
bool ReadUtf16String(const unsigned char* data, size_t end, size_t* offset, std::string* out);

} // namespace platform::win32::detail
