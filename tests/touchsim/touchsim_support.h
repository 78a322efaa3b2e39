// Running scripts in tests: the probe and steps programs in the machine's catalogue,
// the trace captured.
#pragma once

#include "tests/touchsim/probe_program.h"
#include "tests/touchsim/steps_program.h"
#include "touchsim/runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace touchsim_testing {

struct Outcome {
    touchsim::RunResult result;
    std::vector<std::string> trace;

    bool Has(const std::string& event) const {
        return std::any_of(trace.begin(), trace.end(), [&](const std::string& line) {
            return line.substr(line.find(' ') + 1) == event;
        });
    }
};

// stateDir: the machine kept there between runs (empty: none).
inline Outcome RunTsim(const std::string& script, const std::string& stateDir = "") {
    Outcome outcome;
    touchsim::RunOptions options;
    options.stateDir = stateDir;
    options.programs.Add(ProbeProgram());
    options.programs.Add(StepsProgram());
    options.traceOut = [&outcome](const std::string& line) { outcome.trace.push_back(line); };
    outcome.result = touchsim::RunScript(script, options);
    return outcome;
}

} // namespace touchsim_testing
