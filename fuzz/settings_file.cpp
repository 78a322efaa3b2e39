// setup's settings-file import inside a fresh machine: the input is the
// file, setup runs from C:\Setup and imports it into the settings key.
//
// Input: the system (1: 98, 2000 or XP), then the file's bytes.
#include "apps/setup/setup_files.h"
#include "machine/machine.h"

#include <vector>

namespace {

int WINAPI ImportEntry(HINSTANCE, HINSTANCE, LPSTR, int) {
    ImportSettingsFile("win98.cfg");
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    using platform::win32::OsKind;
    static const OsKind kSystems[] = {OsKind::Windows98, OsKind::Windows2000, OsKind::WindowsXP};
    machine::ProgramCatalogue programs;
    platform::win32::ProgramSpec spec;
    spec.name = "setup";
    spec.entry = ImportEntry;
    programs.Add(spec);
    machine::Machine m(machine::MachineConfig{kSystems[data[0] % 3]},
                       machine::DriverCatalogue::Product(), programs);
    m.Disk().PutImage("C:\\Setup\\setup.exe", "setup");
    m.Disk().PutFile("C:\\Setup\\win98.cfg", std::vector<uint8_t>(data + 1, data + size));
    m.StartProgram("C:\\Setup\\setup.exe");
    m.Shutdown();
    return 0;
}
