// disk: what lies on the machine's disk before the script's programs run.
#include "touchsim/script_error.h"
#include "touchsim/verb_table.h"

namespace touchsim::detail {
namespace {

Action ParseDisk(const ScriptLine& line) {
    const std::string& what = Need(line, 1, "image");
    if (what != "image")
        throw ScriptError(line.number, "unknown disk verb \"" + what + "\" (disk image PATH NAME)");
    NoMoreThan(line, 4);
    std::string path = Need(line, 2, "PATH");
    std::string name = Need(line, 3, "NAME");
    const int number = line.number;
    return [=](Session& session) {
        if (!session.Machine().Programs().Find(name))
            throw ScriptError(number, "no program named \"" + name + "\" in the catalogue");
        try {
            session.Machine().Disk().PutImage(path, name);
        } catch (const std::exception& error) {
            throw ScriptError(number, error.what());
        }
    };
}

} // namespace

std::vector<VerbSpec> DiskVerbs() {
    return {
        {"disk", "disk image PATH NAME",
         "Puts the image file of the catalogue's program NAME at PATH on the machine's disk "
         "(directories on the way are made), so that `start PATH` or WinExec can run it.",
         false, ParseDisk},
    };
}

} // namespace touchsim::detail
