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
    platform::win32::ProgramSpec panel;
    panel.name = "tpanel";
    panel.entry = TpanelMain;
    panel.module = "tpanel";
    panel.imagePath = "C:\\UsbTouch\\tpanel.exe";
    catalogue.Add(panel);
    struct Companion {
        const char* name;
        platform::win32::ProgramEntry entry;
        const char* module;
    };
    for (const Companion& companion : {Companion{"keyflip", KeyflipMain, "companions"},
                                       Companion{"beep", BeepMain, "companions"},
                                       Companion{"remover", RemoverMain, "remover"}}) {
        platform::win32::ProgramSpec spec;
        spec.name = companion.name;
        spec.entry = companion.entry;
        spec.module = companion.module;
        spec.imagePath = "C:\\UsbTouch\\" + spec.name + ".exe";
        catalogue.Add(spec);
    }
    // Runs from the media, where its image is; nothing installs it.
    platform::win32::ProgramSpec setup;
    setup.name = "setup";
    setup.entry = SetupMain;
    setup.module = "setup";
    setup.imagePath = "D:\\setup.exe";
    catalogue.Add(setup);
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
