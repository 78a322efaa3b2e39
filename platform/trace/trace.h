// The machine's trace: every observable effect is one line
// "<ms> <source> <event> key=value ...", time in virtual milliseconds with
// three decimals. Stand-ins emit lines; the machine or a test installs the sink.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform::trace {

using Sink = std::function<void(const std::string& line)>;

// Replaces the sink (an empty function discards lines). Thread-safe.
void SetSink(Sink sink);

// Emits "<ms> text", where ms is time (100-ns units) / 10,000 with three decimals.
void Emit(uint64_t time, const std::string& text);

// "12.345" for 123450 units of 100 ns.
std::string FormatMilliseconds(uint64_t time);

// Quotes text for key="value" pairs: backslash and double quote are escaped.
std::string Quote(const std::string& text);

} // namespace platform::trace
