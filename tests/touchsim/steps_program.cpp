#include "tests/touchsim/steps_program.h"

#include "apps/setup/setup_files.h"

#include <sstream>
#include <string>

namespace touchsim_testing {
namespace {

const char kInstallPath[] = "C:\\Program Files\\Touch";

int WINAPI StepsEntry(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    std::istringstream words(commandLine);
    std::string step;
    while (words >> step) {
        if (step == "mkdir")
            CreateDirectoryA(kInstallPath, NULL);
        else if (step == "files")
            CopyProgramFiles(kInstallPath, NULL);
        else if (step == "defaults")
            WriteDefaultSettings();
        else if (step == "osflag")
            WriteOsFlag("xp");
        else if (step == "autostart")
            RegisterAutostart("C:\\Program Files\\Touch\\tpanel.exe");
        else if (step == "group")
            CreateProgramGroup(kInstallPath, NULL);
        else if (step == "restart")
            RestartComputer();
        else
            return 1;
    }
    return 0;
}

} // namespace

platform::win32::ProgramSpec StepsProgram() {
    platform::win32::ProgramSpec spec;
    spec.name = "steps";
    spec.entry = StepsEntry;
    return spec;
}

} // namespace touchsim_testing
