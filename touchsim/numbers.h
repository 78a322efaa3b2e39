// Numbers in scripts: decimal or 0x hexadecimal integers, and for table
// coefficients also decimal fractions with a sign. Each parse throws
// ScriptError naming the line when the word is not such a number or is out
// of range.
#pragma once

#include <cstdint>
#include <string>

namespace touchsim {

uint64_t ParseUnsigned(int line, const std::string& word, uint64_t max);
double ParseReal(int line, const std::string& word);

} // namespace touchsim
