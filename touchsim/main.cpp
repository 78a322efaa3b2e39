// touchsim: the command-line front of the machine.
#include "touchsim/default_scenario.h"
#include "touchsim/help.h"
#include "touchsim/runner.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

std::string gStateDir; // --state DIR

int Run(const std::string& script) {
    touchsim::RunOptions options;
    options.stateDir = gStateDir;
    options.traceOut = [](const std::string& line) { std::cout << line << '\n'; };
    touchsim::RunResult result = touchsim::RunScript(script, options);
    std::cout.flush();
    if (result.exitCode != 0)
        std::cerr << "touchsim: " << result.error << '\n';
    return result.exitCode;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--state") {
        gStateDir = argv[2];
        argv[2] = argv[0];
        argv += 2;
        argc -= 2;
    }
    std::string first = argc > 1 ? argv[1] : "";
    if (argc == 1)
        return Run(touchsim::DefaultScenario());
    if (argc == 2 && (first == "--help" || first == "-h")) {
        std::cout << touchsim::HelpText();
        return 0;
    }
    if (argc == 2 && first == "--default") {
        std::cout << touchsim::DefaultScenario();
        return 0;
    }
    if (argc == 3 && first == "run") {
        std::ifstream file(argv[2], std::ios::binary);
        if (!file) {
            std::cerr << "touchsim: cannot read " << argv[2] << '\n';
            return 2;
        }
        std::ostringstream text;
        text << file.rdbuf();
        return Run(text.str());
    }
    std::cerr << "touchsim: unknown arguments; see touchsim --help\n";
    return 2;
}
