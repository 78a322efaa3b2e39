// Splits a script into lines of words. Words are separated by blanks; a
// word may be double-quoted to hold blanks (\" and \\ escape inside); a #
// that begins a word starts a comment that runs to the end of the line.
// Blank and comment-only lines are dropped.
#pragma once

#include <string>
#include <vector>

namespace touchsim {

struct Word {
    std::string text; // without quotes, escapes resolved
    size_t column;    // where it starts in the line
};

struct ScriptLine {
    int number;       // 1-based
    std::string text; // the line without its comment, trailing blanks cut
    std::vector<Word> words;

    // The line's text from word index on, as written (quotes kept).
    std::string RestFrom(size_t index) const;
};

// Throws ScriptError on an unterminated quote.
std::vector<ScriptLine> SplitScript(const std::string& script);

} // namespace touchsim
