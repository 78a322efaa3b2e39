// The script verbs: each line parses into a command that runs against a
// session. Parsing checks the whole line (arguments, numbers, ranges), so a
// script with a malformed line stops before anything runs.
#pragma once

#include "touchsim/lexer.h"
#include "touchsim/session.h"

#include <functional>
#include <string>
#include <vector>

namespace touchsim {

struct Command {
    int line = 0;
    std::string verb;
    bool needsBoot = false; // the machine boots first unless it has
    std::function<void(Session&)> run;
};

// Throws ScriptError naming the line: unknown verb, missing or extra
// argument, bad number.
Command ParseCommand(const ScriptLine& line);

struct VerbHelp {
    std::string usage;
    std::string text;
};
// Every verb, in the order --help lists them.
std::vector<VerbHelp> AllVerbHelp();

} // namespace touchsim
