#include "touchsim/verbs.h"

#include "touchsim/numbers.h"
#include "touchsim/script_error.h"
#include "touchsim/verb_table.h"

namespace touchsim {
namespace detail {

const std::string& Need(const ScriptLine& line, size_t index, const char* what) {
    if (index >= line.words.size())
        throw ScriptError(line.number, "missing argument: " + std::string(what));
    return line.words[index].text;
}

void NoMoreThan(const ScriptLine& line, size_t count) {
    if (line.words.size() > count)
        throw ScriptError(line.number, "unexpected \"" + line.words[count].text + "\"");
}

uint16_t Word16(const ScriptLine& line, size_t index, const char* what) {
    return static_cast<uint16_t>(ParseUnsigned(line.number, Need(line, index, what), 0xFFFF));
}

} // namespace detail

namespace {

std::vector<detail::VerbSpec> Table() {
    std::vector<detail::VerbSpec> all;
    for (auto group : {detail::MachineVerbs, detail::RegistryVerbs, detail::ScreenVerbs,
                       detail::UserVerbs, detail::DiskVerbs, detail::SystemVerbs}) {
        for (const detail::VerbSpec& spec : group())
            all.push_back(spec);
    }
    return all;
}

} // namespace

Command ParseCommand(const ScriptLine& line) {
    const std::string& verb = line.words.at(0).text;
    for (const detail::VerbSpec& spec : Table()) {
        if (verb == spec.name)
            return Command{line.number, verb, spec.needsBoot, spec.parse(line)};
    }
    throw ScriptError(line.number, "unknown verb \"" + verb + "\"");
}

std::vector<VerbHelp> AllVerbHelp() {
    std::vector<VerbHelp> help;
    for (const detail::VerbSpec& spec : Table())
        help.push_back({spec.usage, spec.help});
    return help;
}

} // namespace touchsim
