// disk, media: what lies on the machine's disk and in its drive D:.
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

Action ParseMedia(const ScriptLine& line) {
    const std::string& what = Need(line, 1, "insert or eject");
    const int number = line.number;
    if (what == "eject") {
        NoMoreThan(line, 2);
        return [](Session& session) { session.Machine().EjectMedia(); };
    }
    if (what != "insert")
        throw ScriptError(number, "bad media line (media insert [FOLDER] | media eject)");
    NoMoreThan(line, 3);
    std::string folder = line.words.size() > 2 ? line.words[2].text : TOUCHSIM_MEDIA_DIR;
    return [folder](Session& session) { session.Machine().InsertMedia(folder); };
}

} // namespace

std::vector<VerbSpec> DiskVerbs() {
    return {
        {"disk", "disk image PATH NAME",
         "Puts the image file of the catalogue's program NAME at PATH on the machine's disk "
         "(directories on the way are made), so that `start PATH` or WinExec can run it.",
         false, ParseDisk},
        {"media", "media insert [FOLDER] | media eject",
         "Puts the installation media folder (the build's, or FOLDER) in as drive D:, so that "
         "`start D:\\setup.exe` runs the setup from it; eject takes it out.",
         false, ParseMedia},
    };
}

} // namespace touchsim::detail
