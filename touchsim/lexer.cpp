#include "touchsim/lexer.h"

#include "touchsim/script_error.h"

namespace touchsim {
namespace {

bool Blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

ScriptLine SplitLine(int number, const std::string& line) {
    ScriptLine result{number, {}, {}};
    size_t end = line.size();
    size_t i = 0;
    while (i < line.size()) {
        if (Blank(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '#') {
            end = i;
            break;
        }
        Word word{"", i};
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\'))
                    c = line[i++];
                word.text += c;
            }
            if (!closed)
                throw ScriptError(number, "unterminated quote");
        } else {
            while (i < line.size() && !Blank(line[i]))
                word.text += line[i++];
        }
        result.words.push_back(std::move(word));
    }
    while (end > 0 && Blank(line[end - 1]))
        --end;
    result.text = line.substr(0, end);
    return result;
}

} // namespace

std::string ScriptLine::RestFrom(size_t index) const {
    if (index >= words.size())
        return "";
    return text.substr(words[index].column);
}

std::vector<ScriptLine> SplitScript(const std::string& script) {
    std::vector<ScriptLine> lines;
    size_t start = 0;
    int number = 0;
    while (start <= script.size()) {
        size_t newline = script.find('\n', start);
        if (newline == std::string::npos)
            newline = script.size();
        ScriptLine line = SplitLine(++number, script.substr(start, newline - start));
        if (!line.words.empty())
            lines.push_back(std::move(line));
        start = newline + 1;
    }
    return lines;
}

} // namespace touchsim
