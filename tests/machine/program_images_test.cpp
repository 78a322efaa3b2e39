// Programs start from their image files on the machine's disk: by path, by
// WinExec with Windows' search order for a bare name, and not at all when
// the file is absent or no image; a running program's image can be neither
// deleted nor overwritten.
//
// Sources: Microsoft's WinExec page (search order; above 31 on success,
// ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_BAD_FORMAT); its
// DeleteFileA page and Wine's kernel32 file tests (a running image:
// ERROR_ACCESS_DENIED to delete, ERROR_SHARING_VIOLATION to write).
#include "machine/machine.h"

#include "machine/machine_error.h"
#include "platform/win32/windows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using machine::Machine;
using machine::MachineConfig;
using platform::win32::OsKind;
using platform::win32::ProgramSpec;

std::vector<std::string> gStarted; // what each probe saw: "<module>|<command line>"
std::vector<std::string> gCommands;
std::vector<UINT> gResults;

int WINAPI ProbeEntry(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof path);
    gStarted.push_back(std::string(path) + "|" + GetCommandLineA());
    return 0;
}

int WINAPI LauncherEntry(HINSTANCE, HINSTANCE, LPSTR, int) {
    for (const std::string& command : gCommands)
        gResults.push_back(WinExec(command.c_str(), 1));
    return 0;
}

int WINAPI WaiterEntry(HINSTANCE, HINSTANCE, LPSTR, int) {
    Sleep(1000);
    return 0;
}

machine::ProgramCatalogue Catalogue() {
    machine::ProgramCatalogue programs;
    const struct {
        const char* name;
        platform::win32::ProgramEntry entry;
    } entries[] = {{"probe", ProbeEntry}, {"launcher", LauncherEntry}, {"waiter", WaiterEntry}};
    for (const auto& entry : entries) {
        ProgramSpec spec;
        spec.name = entry.name;
        spec.entry = entry.entry;
        programs.Add(spec);
    }
    return programs;
}

class ProgramImages : public ::testing::Test {
protected:
    ProgramImages() {
        gStarted.clear();
        gCommands.clear();
        gResults.clear();
    }
};

TEST_F(ProgramImages, WinExecSearchesAsWindowsDoes) {
    struct Case {
        const char* command;
        UINT result;         // 33 for started
        const char* started; // what the probe saw, "" when nothing started
    };
    struct System {
        OsKind os;
        const char* systemImage;
        std::vector<Case> cases;
    };
    const System systems[] = {
        {OsKind::WindowsXP,
         "C:\\WINDOWS\\system32\\sysonly.exe",
         {
             {"near", 33, "C:\\App\\near.exe|\"C:\\App\\near.exe\""},
             {"Near.EXE -a b", 33, "C:\\App\\Near.EXE|\"C:\\App\\Near.EXE\" -a b"},
             {"sysonly.exe x", 33,
              "C:\\WINDOWS\\system32\\sysonly.exe|\"C:\\WINDOWS\\system32\\sysonly.exe\" x"},
             {"winonly", 33, "C:\\WINDOWS\\winonly.exe|\"C:\\WINDOWS\\winonly.exe\""},
             {"rooted", 33, "C:\\rooted.exe|\"C:\\rooted.exe\""},
             {"\"C:\\Program Files\\Touch\\far.exe\" -s", 33,
              "C:\\Program Files\\Touch\\far.exe|\"C:\\Program Files\\Touch\\far.exe\" -s"},
             {"missing.exe", ERROR_FILE_NOT_FOUND, ""},
             {"C:\\App\\missing.exe", ERROR_FILE_NOT_FOUND, ""},
             {"C:\\Nowhere\\near.exe", ERROR_PATH_NOT_FOUND, ""},
             {"C:\\App\\readme.exe", ERROR_BAD_FORMAT, ""},
             // Blank-separated: the first word names the file.
             {"C:\\Program Files\\Touch\\far.exe", ERROR_FILE_NOT_FOUND, ""},
         }},
        {OsKind::Windows98,
         "C:\\WINDOWS\\SYSTEM\\sysonly.exe",
         {
             {"sysonly", 33,
              "C:\\WINDOWS\\SYSTEM\\sysonly.exe|\"C:\\WINDOWS\\SYSTEM\\sysonly.exe\""},
         }},
    };
    for (const System& system : systems) {
        gStarted.clear();
        gResults.clear();
        gCommands.clear();
        Machine m(MachineConfig{system.os}, machine::DriverCatalogue::Product(), Catalogue());
        auto& disk = m.Disk();
        disk.PutImage("C:\\App\\launcher.exe", "launcher");
        disk.PutImage("C:\\App\\near.exe", "probe");
        disk.PutImage("C:\\WINDOWS\\near.exe", "waiter"); // the caller's directory comes first
        disk.PutImage(system.systemImage, "probe");
        disk.PutImage("C:\\WINDOWS\\winonly.exe", "probe");
        disk.PutImage("C:\\rooted.exe", "probe");
        disk.PutImage("C:\\Program Files\\Touch\\far.exe", "probe");
        disk.PutText("C:\\App\\readme.exe", "not a program\n");
        std::vector<std::string> expected;
        for (const Case& c : system.cases) {
            gCommands.push_back(c.command);
            if (*c.started)
                expected.push_back(c.started);
        }
        m.StartProgram("C:\\App\\launcher.exe");
        ASSERT_EQ(gResults.size(), system.cases.size());
        for (size_t i = 0; i < system.cases.size(); ++i)
            EXPECT_EQ(gResults[i], system.cases[i].result) << system.cases[i].command;
        EXPECT_EQ(gStarted, expected);
    }
}

TEST_F(ProgramImages, ARunningImageIsHeld) {
    Machine m(MachineConfig{}, machine::DriverCatalogue::Product(), Catalogue());
    const char* image = "C:\\App\\waiter.exe";
    m.Disk().PutImage(image, "waiter");
    m.Disk().PutImage("C:\\App\\other.exe", "probe");
    m.StartProgram("c:\\app\\WAITER.exe");
    struct Step {
        const char* what;
        BOOL ok;
        DWORD error;
    };
    auto run = [&](std::vector<Step> expected) {
        std::vector<std::pair<BOOL, DWORD>> seen;
        auto record = [&](BOOL ok) { seen.emplace_back(ok, GetLastError()); };
        record(DeleteFileA(image));
        record(CopyFileA("C:\\App\\other.exe", image, FALSE));
        HANDLE file = CreateFileA(image, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        record(file != INVALID_HANDLE_VALUE);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        record(CopyFileA(image, "C:\\App\\copy.exe", FALSE));
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(seen[i].first, expected[i].ok) << expected[i].what;
            if (expected[i].error != ERROR_SUCCESS) {
                EXPECT_EQ(seen[i].second, expected[i].error) << expected[i].what;
            }
        }
    };
    run({{"delete while running", FALSE, ERROR_ACCESS_DENIED},
         {"copy over while running", FALSE, ERROR_SHARING_VIOLATION},
         {"open for writing while running", FALSE, ERROR_SHARING_VIOLATION},
         {"copy from while running", TRUE, ERROR_SUCCESS}});
    m.Wait(2000);
    run({{"delete once ended", TRUE, ERROR_SUCCESS},
         {"copy over once ended", TRUE, ERROR_SUCCESS},
         {"open for writing once ended", TRUE, ERROR_SUCCESS},
         {"copy from once ended", TRUE, ERROR_SUCCESS}});
}

TEST_F(ProgramImages, NoImageNoProgram) {
    Machine m(MachineConfig{}, machine::DriverCatalogue::Product(), Catalogue());
    m.Disk().PutText("C:\\text.exe", "program\n");
    m.Disk().PutImage("C:\\unknown.exe", "nosuch");
    for (const char* path : {"C:\\absent.exe", "C:\\text.exe", "C:\\unknown.exe", "C:\\WINDOWS"})
        EXPECT_THROW(m.StartProgram(path), machine::MachineError) << path;
    m.Disk().PutImage("C:\\Tools\\probe.exe", "probe");
    m.StartProgram("C:\\Tools\\probe.exe", "-x");
    EXPECT_EQ(gStarted,
              std::vector<std::string>{"C:\\Tools\\probe.exe|\"C:\\Tools\\probe.exe\" -x"});
    bool traced = false;
    for (const std::string& line : m.TraceLines())
        traced |= line.find("program start name=probe cmdline=\"-x\"") != std::string::npos;
    EXPECT_TRUE(traced);
}

} // namespace
