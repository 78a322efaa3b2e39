#include "machine/program_catalogue.h"

#include "apps/companions/companion_entries.h"
#include "apps/panel/tpanel_entry.h"
#include "apps/remover/remover_entry.h"
#include "apps/setup/setup_entry.h"

#include <algorithm>
#include <cctype>

namespace machine {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

ProgramCatalogue ProgramCatalogue::Product() {
    ProgramCatalogue catalogue;
    struct Program {
        const char* name;
        platform::win32::ProgramEntry entry;
        const char* module;
        const char* imagePath;
    };
    // Setup runs from the media, where its image is; nothing installs it.
    for (const Program& program :
         {Program{"tpanel", TpanelMain, "tpanel", "C:\\UsbTouch\\tpanel.exe"},
          Program{"keyflip", KeyflipMain, "companions", "C:\\UsbTouch\\keyflip.exe"},
          Program{"beep", BeepMain, "companions", "C:\\UsbTouch\\beep.exe"},
          Program{"remover", RemoverMain, "remover", "C:\\UsbTouch\\remover.exe"},
          Program{"setup", SetupMain, "setup", "D:\\setup.exe"}}) {
        platform::win32::ProgramSpec spec;
        spec.name = program.name;
        spec.entry = program.entry;
        spec.module = program.module;
        spec.imagePath = program.imagePath;
        catalogue.Add(spec);
    }
    return catalogue;
}

void ProgramCatalogue::Add(const platform::win32::ProgramSpec& spec) {
    programs_[Lower(spec.name)] = spec;
}

const platform::win32::ProgramSpec* ProgramCatalogue::Find(const std::string& name) const {
    auto found = programs_.find(Lower(name));
    return found == programs_.end() ? nullptr : &found->second;
}

std::vector<std::string> ProgramCatalogue::Names() const {
    std::vector<std::string> names;
    for (const auto& [key, spec] : programs_)
        names.push_back(spec.name);
    return names;
}

} // namespace machine
