#include "touchsim/runner.h"

#include "machine/machine_error.h"
#include "machine/machine_state.h"
#include "touchsim/lexer.h"
#include "touchsim/script_error.h"
#include "touchsim/verbs.h"

#include <exception>

namespace touchsim {
namespace {

constexpr int kScriptFault = 2;
constexpr int kRunFault = 1;

std::string Where(int line) {
    return line > 0 ? "line " + std::to_string(line) + ": " : "at shutdown: ";
}

std::vector<Command> ParseAll(const std::string& script) {
    std::vector<Command> commands;
    for (const ScriptLine& line : SplitScript(script)) {
        Command command = ParseCommand(line);
        if (command.verb == "machine" && !commands.empty())
            throw ScriptError(line.number, "machine must be the first verb");
        commands.push_back(std::move(command));
    }
    return commands;
}

// Findings reported since the last check, as one message; empty if none.
std::string NewViolations(Session& session, size_t* seen) {
    if (!session.HasMachine())
        return "";
    std::vector<platform::kernel::Violation> all = session.Machine().Violations();
    std::string message;
    for (size_t i = *seen; i < all.size(); ++i)
        message +=
            (message.empty() ? "" : "; ") + ("verifier: " + all[i].rule + ": " + all[i].detail);
    *seen = all.size();
    return message;
}

} // namespace

RunResult RunScript(const std::string& script, const RunOptions& options) {
    std::vector<Command> commands;
    try {
        commands = ParseAll(script);
    } catch (const ScriptError& error) {
        return {kScriptFault, Where(error.Line()) + error.what()};
    }
    Session session(options);
    size_t seen = 0;
    for (const Command& command : commands) {
        try {
            if (command.needsBoot)
                session.Machine().Boot();
            command.run(session);
        } catch (const ScriptError& error) {
            return {kRunFault, Where(error.Line()) + error.what()};
        } catch (const machine::MachineError& error) {
            return {kRunFault, Where(command.line) + error.what()};
        } catch (const std::exception& error) {
            return {kRunFault, Where(command.line) + "failed: " + error.what()};
        }
        std::string found = NewViolations(session, &seen);
        if (!found.empty())
            return {kRunFault, Where(command.line) + found};
    }
    if (session.HasMachine())
        session.Machine().Shutdown();
    std::string found = NewViolations(session, &seen);
    if (!found.empty())
        return {kRunFault, Where(0) + found};
    if (!options.stateDir.empty() && session.HasMachine()) {
        try {
            machine::SaveMachineState(session.Machine(), options.stateDir);
        } catch (const std::exception& error) {
            return {kRunFault, Where(0) + error.what()};
        }
    }
    return {};
}

} // namespace touchsim
