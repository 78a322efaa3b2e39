#include "touchsim/help.h"

#include "touchsim/verbs.h"

#include <sstream>

namespace touchsim {
namespace {

// Wraps text at about 76 columns, each line indented.
std::string Wrapped(const std::string& text, const std::string& indent) {
    std::istringstream words(text);
    std::string word;
    std::string out = indent;
    size_t column = indent.size();
    bool first = true;
    while (words >> word) {
        if (!first && column + 1 + word.size() > 76) {
            out += "\n" + indent;
            column = indent.size();
            first = true;
        }
        if (!first) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        first = false;
    }
    return out + "\n";
}

} // namespace

std::string HelpText() {
    std::string text =
        "usage: touchsim                 run the default scenario (the story on XP),\n"
        "                                print its trace\n"
        "       touchsim story [--os 98|2000|xp] [--screen WxH] [--pictures DIR]\n"
        "                                the package's whole life on a fresh machine:\n"
        "                                setup from the media, restart, calibration at\n"
        "                                log-on, touches in each mode, stability saved,\n"
        "                                standby, pull-out, uninstall, restart; with\n"
        "                                --pictures, a PNG at each step and index.html\n"
        "       touchsim run SCRIPT      run a scenario script, print its trace\n"
        "       touchsim --default       print the default scenario's script\n"
        "       touchsim --help          this text\n"
        "       touchsim --state DIR [run SCRIPT]\n"
        "                                the same, the machine kept in DIR: its disk,\n"
        "                                registry (registry.reg) and program groups are\n"
        "                                loaded before and saved after a run that ends well\n"
        "\n"
        "The trace goes to standard output, one line per effect: \"<ms> <source> <event>\n"
        "key=value ...\" with virtual milliseconds. Errors go to standard error; the exit\n"
        "code is 2 for a malformed script (nothing runs), 1 when a line fails, an expect\n"
        "is not met or the kernel's verifier finds a fault, 0 otherwise.\n"
        "\n"
        "Scripts: one verb per line; # starts a comment; numbers are decimal or 0x hex;\n"
        "double quotes keep blanks in a word. A verb's effects are in the trace before the\n"
        "next line runs. Verbs:\n";
    for (const VerbHelp& verb : AllVerbHelp()) {
        text += "\n";
        std::istringstream usages(verb.usage);
        std::string usage;
        while (std::getline(usages, usage))
            text += "  " + usage + "\n";
        text += Wrapped(verb.text, "      ");
    }
    return text;
}

} // namespace touchsim
