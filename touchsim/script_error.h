// An error that stops a script, with the number of the line that caused it
// (0: not tied to a line, such as the teardown's leak check).
#pragma once

#include <stdexcept>
#include <string>

namespace touchsim {

class ScriptError : public std::runtime_error {
public:
    ScriptError(int line, const std::string& what) : std::runtime_error(what), line_(line) {}
    int Line() const { return line_; }

private:
    int line_;
};

} // namespace touchsim
