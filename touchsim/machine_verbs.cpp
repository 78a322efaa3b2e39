// machine, boot, wait, standby, resume, restart, expect.
#include "touchsim/numbers.h"
#include "touchsim/script_error.h"
#include "touchsim/verb_table.h"

namespace touchsim::detail {
namespace {

using machine::MachineConfig;
using platform::win32::OsKind;

void ParseScreen(const ScriptLine& line, const std::string& value, MachineConfig* config) {
    size_t x = value.find('x');
    if (x == std::string::npos)
        throw ScriptError(line.number, "bad screen size \"" + value + "\" (want WIDTHxHEIGHT)");
    config->screenWidth = static_cast<int>(ParseUnsigned(line.number, value.substr(0, x), 16384));
    config->screenHeight = static_cast<int>(ParseUnsigned(line.number, value.substr(x + 1), 16384));
    if (config->screenWidth == 0 || config->screenHeight == 0)
        throw ScriptError(line.number, "bad screen size \"" + value + "\"");
}

Action ParseMachine(const ScriptLine& line) {
    MachineConfig config;
    for (size_t i = 1; i < line.words.size(); ++i) {
        const std::string& word = line.words[i].text;
        size_t equals = word.find('=');
        std::string key = word.substr(0, equals);
        std::string value = equals == std::string::npos ? "" : word.substr(equals + 1);
        if (key == "os" && value == "98")
            config.os = OsKind::Windows98;
        else if (key == "os" && value == "2000")
            config.os = OsKind::Windows2000;
        else if (key == "os" && value == "xp")
            config.os = OsKind::WindowsXP;
        else if (key == "os")
            throw ScriptError(line.number, "bad os \"" + value + "\" (98, 2000 or xp)");
        else if (key == "screen")
            ParseScreen(line, value, &config);
        else if (word == "fresh")
            config.fresh = true;
        else if (key == "usbdi")
            config.usbdiVersion = static_cast<ULONG>(ParseUnsigned(line.number, value, 0xFFFF));
        else
            throw ScriptError(line.number, "unexpected \"" + word + "\"");
    }
    return [config](Session& session) { session.Configure(config); };
}

Action ParseBoot(const ScriptLine& line) {
    NoMoreThan(line, 1);
    return [](Session&) {}; // the runner boots verbs that need it
}

Action ParseWait(const ScriptLine& line) {
    NoMoreThan(line, 2);
    uint64_t ms = ParseUnsigned(line.number, Need(line, 1, "MS"), 24ull * 3600 * 1000);
    return [ms](Session& session) { session.Machine().Wait(ms); };
}

Action ParseStandby(const ScriptLine& line) {
    NoMoreThan(line, 1);
    return [](Session& session) { session.Machine().Standby(); };
}

Action ParseResume(const ScriptLine& line) {
    NoMoreThan(line, 1);
    return [](Session& session) { session.Machine().Resume(); };
}

Action ParseRestart(const ScriptLine& line) {
    NoMoreThan(line, 1);
    return [](Session& session) { session.Machine().Restart(); };
}

// The text after the time stamp of a trace line.
std::string Event(const std::string& line) {
    size_t space = line.find(' ');
    return space == std::string::npos ? "" : line.substr(space + 1);
}

Action ParseExpect(const ScriptLine& line) {
    Need(line, 1, "TEXT");
    std::string text = line.RestFrom(1);
    int number = line.number;
    return [text, number](Session& session) {
        std::vector<std::string> trace = session.Machine().TraceLines();
        for (size_t i = session.expectFrom; i < trace.size(); ++i) {
            if (Event(trace[i]) == text || trace[i] == text) {
                session.expectFrom = i + 1;
                return;
            }
        }
        throw ScriptError(number, "expected trace line not found: " + text);
    };
}

} // namespace

std::vector<VerbSpec> MachineVerbs() {
    return {
        {"machine", "machine [os=98|2000|xp] [screen=WIDTHxHEIGHT] [usbdi=N] [fresh]",
         "The machine to run on; only as the first verb. Defaults: os=xp screen=1024x768, "
         "usbdi the system's own (98 0x200, 2000 0x300, xp 0x500); the package's drivers "
         "installed unless fresh.",
         false, ParseMachine},
        {"boot", "boot",
         "Starts the machine: the input stack on ROOT\\TOUCHSCREEN\\0000 and the USB hub. "
         "Implied before the first verb that needs it.",
         true, ParseBoot},
        {"wait", "wait MS", "Lets MS milliseconds of virtual time pass.", false, ParseWait},
        {"standby", "standby", "System sleep (S3).", true, ParseStandby},
        {"resume", "resume", "Back to working (S0).", true, ParseResume},
        {"restart", "restart",
         "The user restarts the machine: programs end, drivers unload, the boot comes from "
         "what disk and registry hold, and the log-on runs the Run key's commands.",
         true, ParseRestart},
        {"expect", "expect TEXT",
         "Stops the run unless a trace line emitted after the last matched one reads TEXT "
         "(with or without its time).",
         false, ParseExpect},
    };
}

} // namespace touchsim::detail
