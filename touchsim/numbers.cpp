#include "touchsim/numbers.h"

#include "touchsim/script_error.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace touchsim {
namespace {

bool Digits(const std::string& text, size_t from, int base) {
    if (from >= text.size())
        return false;
    for (size_t i = from; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool ok = base == 16 ? std::isxdigit(c) != 0 : std::isdigit(c) != 0;
        if (!ok)
            return false;
    }
    return true;
}

bool HexPrefix(const std::string& word) {
    return word.size() > 1 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
}

} // namespace

uint64_t ParseUnsigned(int line, const std::string& word, uint64_t max) {
    const bool hex = HexPrefix(word);
    if (!Digits(word, hex ? 2 : 0, hex ? 16 : 10))
        throw ScriptError(line, "bad number \"" + word + "\"");
    errno = 0;
    unsigned long long value = std::strtoull(word.c_str() + (hex ? 2 : 0), nullptr, hex ? 16 : 10);
    if (errno == ERANGE || value > max)
        throw ScriptError(line, "number out of range \"" + word + "\" (at most " +
                                    std::to_string(max) + ")");
    return value;
}

double ParseReal(int line, const std::string& word) {
    size_t start = (!word.empty() && (word[0] == '-' || word[0] == '+')) ? 1 : 0;
    std::string body = word.substr(start);
    double value;
    if (HexPrefix(body)) {
        value = static_cast<double>(ParseUnsigned(line, body, UINT32_MAX));
    } else {
        size_t point = body.find('.');
        std::string whole = body.substr(0, point);
        std::string fraction = point == std::string::npos ? "" : body.substr(point + 1);
        bool ok = (Digits(whole, 0, 10) || whole.empty()) &&
                  (fraction.empty() || Digits(fraction, 0, 10)) &&
                  !(whole.empty() && fraction.empty());
        if (!ok)
            throw ScriptError(line, "bad number \"" + word + "\"");
        value = std::strtod(body.c_str(), nullptr);
    }
    if (!std::isfinite(value))
        throw ScriptError(line, "bad number \"" + word + "\"");
    return start == 1 && word[0] == '-' ? -value : value;
}

} // namespace touchsim
