// The media holds exactly what setup reads from it: setup's steps run from
// the build's media folder in drive D: on 98 and on XP, every file they
// look up there is noted, and that set, the folder's listing and
// media/files.txt must agree. A file setup needs but the media lacks fails
// here rather than at install time.
#include "apps/setup/install_drivers.h"
#include "apps/setup/setup_files.h"
#include "machine/machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>

namespace {

using machine::Machine;
using machine::MachineConfig;
using platform::win32::Disk;
using platform::win32::OsKind;

std::function<void()> gSteps;

int WINAPI SetupEntry(HINSTANCE, HINSTANCE, LPSTR, int) {
    gSteps();
    return 0;
}

// Lower case, forward slashes: how the three lists are compared.
std::string Key(std::string name) {
    for (char& c : name)
        c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// The media files setup's steps look up on a fresh machine of that system;
// a lookup that finds nothing is noted with " (missing)".
std::set<std::string> FilesSetupReads(OsKind os) {
    machine::ProgramCatalogue programs = machine::ProgramCatalogue::Product();
    programs.Add({"setup", SetupEntry, "", "", ""});
    MachineConfig config{os};
    config.fresh = true;
    Machine m(config, machine::DriverCatalogue::Product(), programs);
    m.Boot();
    // Every system has the Run key; setup only opens it.
    m.Kernel().Registry().Create(
        "\\REGISTRY\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    m.InsertMedia(SETUP_MEDIA_DIR);
    m.Disk().MakeDirectories("C:\\Program Files\\Touch");
    std::set<std::string> read;
    m.Disk().SetLookupObserver([&](const Disk::Resolved& found) {
        if (found.path.size() < 4 || found.path.compare(0, 3, "D:\\") != 0)
            return;
        if (found.lookup == Disk::Lookup::Found && !std::filesystem::is_directory(found.host))
            read.insert(Key(found.path.substr(3)));
        else if (found.lookup != Disk::Lookup::Found)
            read.insert(Key(found.path.substr(3)) + " (missing)");
    });
    gSteps = [os] {
        WriteDefaultSettings(); // reads the system's settings file
        CopyProgramFiles("C:\\Program Files\\Touch", NULL);
        const char* panel = "C:\\Program Files\\Touch\\tpanel.exe";
        if (os == OsKind::Windows98) {
            InstallDriversWin98(NULL, panel);
        } else {
            RemoveRootTouchDevices(NULL);
            InstallDriversNt(NULL, panel);
        }
    };
    m.StartProgram("D:\\setup.exe");
    m.Settle();
    m.Disk().SetLookupObserver({});
    return read;
}

std::set<std::string> MediaListing() {
    std::set<std::string> files;
    const std::filesystem::path root = SETUP_MEDIA_DIR;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files.insert(Key(entry.path().lexically_relative(root).generic_string()));
    return files;
}

std::set<std::string> ListedInFilesTxt() {
    std::set<std::string> files;
    std::ifstream list(MEDIA_DIR "/files.txt");
    for (std::string line; std::getline(list, line);)
        if (!line.empty() && line[0] != '#')
            files.insert(Key(line));
    return files;
}

TEST(MediaFiles, SetupReadsWhatTheMediaHoldsAndTheListNames) {
    std::set<std::string> read = FilesSetupReads(OsKind::Windows98);
    std::set<std::string> xp = FilesSetupReads(OsKind::WindowsXP);
    read.insert(xp.begin(), xp.end());
    const std::set<std::string> listed = ListedInFilesTxt();
    ASSERT_FALSE(listed.empty());
    EXPECT_EQ(read, listed) << "what setup reads from the media";
    EXPECT_EQ(MediaListing(), listed) << "the host media folder";
}

} // namespace
