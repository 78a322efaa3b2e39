// Runs a scenario script on a fresh machine. The whole script is parsed
// first: a malformed line or an unknown verb stops it before anything runs
// (exit code 2). A verb that cannot be carried out, a failed `expect` or a
// finding of the kernel's verifier stops the run after that line (exit code
// 1). At the end the machine shuts down and the verifier's leak check runs.
// The same script always gives the same trace. With a state folder the
// machine comes from it and, after a run that ended well, goes back to it.
#pragma once

#include "touchsim/session.h"

#include <string>

namespace touchsim {

struct RunResult {
    int exitCode = 0;
    std::string error; // "line 3: unknown verb \"frob\""; empty on success
};

RunResult RunScript(const std::string& script, const RunOptions& options);

} // namespace touchsim
