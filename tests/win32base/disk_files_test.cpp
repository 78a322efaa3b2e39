// The file calls on the machine's disk: each system's directories, paths
// matched whatever their case, and the results and last errors of the calls
// in one sequence of steps as a program would make them.
//
// Sources of the Windows behaviour: Microsoft's pages for CreateFileA
// (CREATE_ALWAYS/OPEN_ALWAYS on an existing file: ERROR_ALREADY_EXISTS),
// CopyFileA (bFailIfExists: ERROR_FILE_EXISTS), DeleteFileA (missing file:
// ERROR_FILE_NOT_FOUND), CreateDirectoryA (ERROR_ALREADY_EXISTS,
// ERROR_PATH_NOT_FOUND), GetWindowsDirectoryA (size with the NUL when too
// small), QueryDosDeviceA (ERROR_INSUFFICIENT_BUFFER); Wine's kernel32 file
// tests for opening a directory (ERROR_ACCESS_DENIED) and sharing
// (ERROR_SHARING_VIOLATION).
#include "platform/win32/disk.h"
#include "tests/win32base/win32_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace win32_testing {
namespace {

using platform::win32::Disk;
using platform::win32::OsKind;

class DiskFiles : public Win32Test {
protected:
    DiskFiles() : disk(OsKind::WindowsXP) {}

    static HANDLE Open(const char* path, DWORD access, DWORD share, DWORD disposition) {
        return CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }

    // CreateFileA, WriteFile of text, CloseHandle; FALSE at the first failure.
    static BOOL Write(const char* path, const std::string& text, DWORD disposition) {
        HANDLE file = Open(path, GENERIC_WRITE, 0, disposition);
        if (file == INVALID_HANDLE_VALUE)
            return FALSE;
        DWORD error = GetLastError();
        DWORD written = 0;
        BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
        SetLastError(ok ? error : GetLastError());
        return ok && written == text.size();
    }

    static std::string Read(const char* path) {
        HANDLE file = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        if (file == INVALID_HANDLE_VALUE)
            return "<error " + std::to_string(GetLastError()) + ">";
        std::string text(GetFileSize(file, nullptr), '\0');
        DWORD got = 0;
        ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
        char more;
        DWORD after = 1;
        ReadFile(file, &more, 1, &after, nullptr);
        CloseHandle(file);
        return after == 0 && got == text.size() ? text : "<short read>";
    }

    Disk disk;
};

TEST_F(DiskFiles, EachSystemHasItsDirectories) {
    struct Case {
        OsKind os;
        const char* windows;
        const char* system;
        const char* drivers;
        const char* inf;
    };
    const Case cases[] = {
        {OsKind::Windows98, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM32\\DRIVERS",
         "C:\\WINDOWS\\INF\\OTHER"},
        {OsKind::Windows2000, "C:\\WINNT", "C:\\WINNT\\system32", "C:\\WINNT\\system32\\drivers",
         "C:\\WINNT\\inf"},
        {OsKind::WindowsXP, "C:\\WINDOWS", "C:\\WINDOWS\\system32",
         "C:\\WINDOWS\\system32\\drivers", "C:\\WINDOWS\\inf"},
    };
    for (const Case& c : cases) {
        system.SetOs(c.os);
        Disk disk(c.os);
        char buffer[MAX_PATH];
        EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), std::strlen(c.windows));
        EXPECT_STREQ(buffer, c.windows);
        EXPECT_EQ(GetSystemDirectoryA(buffer, sizeof buffer), std::strlen(c.system));
        EXPECT_STREQ(buffer, c.system);
        // Too small: the size needed with the NUL, the buffer untouched.
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(GetSystemDirectoryA(buffer, 4), std::strlen(c.system) + 1);
        EXPECT_EQ(buffer[0], 'x');
        for (const char* folder : {c.windows, c.system, c.drivers, c.inf, "C:\\Program Files"})
            EXPECT_EQ(GetFileAttributesA(folder), DWORD(FILE_ATTRIBUTE_DIRECTORY)) << folder;
    }
}

TEST_F(DiskFiles, FolderGoesWithTheDiskUnlessKept) {
    std::filesystem::path gone, kept;
    {
        Disk disk(OsKind::WindowsXP);
        gone = disk.HostRoot();
        EXPECT_TRUE(std::filesystem::is_directory(gone / "WINDOWS" / "system32" / "drivers"));
    }
    {
        Disk disk(OsKind::WindowsXP);
        kept = disk.HostRoot();
        disk.Keep();
    }
    EXPECT_FALSE(std::filesystem::exists(gone));
    EXPECT_TRUE(std::filesystem::exists(kept));
    std::filesystem::remove_all(kept);
}

TEST_F(DiskFiles, CallsInSequence) {
    const char* file = "C:\\Program Files\\Touch\\a.txt";
    HANDLE held = INVALID_HANDLE_VALUE;
    struct Step {
        const char* what;
        std::function<BOOL()> call;
        BOOL ok;
        DWORD error; // last error afterwards (0: not examined; success may leave it)
    };
    const Step steps[] = {
        {"make the folder", [] { return CreateDirectoryA("C:\\Program Files\\Touch", nullptr); },
         TRUE, ERROR_SUCCESS},
        {"again, other case", [] { return CreateDirectoryA("c:\\PROGRAM FILES\\touch", nullptr); },
         FALSE, ERROR_ALREADY_EXISTS},
        {"folder under a missing one", [] { return CreateDirectoryA("C:\\No\\Such", nullptr); },
         FALSE, ERROR_PATH_NOT_FOUND},
        {"new file", [=] { return Write(file, "hello", CREATE_NEW); }, TRUE, ERROR_SUCCESS},
        {"new file that exists", [=] { return Write(file, "x", CREATE_NEW); }, FALSE,
         ERROR_FILE_EXISTS},
        {"replace it (other case)",
         [] { return Write("c:/program files/TOUCH/A.TXT", "hello!", CREATE_ALWAYS); }, TRUE,
         ERROR_ALREADY_EXISTS},
        {"read it whole", [=] { return Read(file) == "hello!"; }, TRUE, ERROR_SUCCESS},
        {"open a missing file",
         [] {
             return Open("C:\\Program Files\\Touch\\b.txt", GENERIC_READ, 0, OPEN_EXISTING) !=
                    INVALID_HANDLE_VALUE;
         },
         FALSE, ERROR_FILE_NOT_FOUND},
        {"open under a missing folder",
         [] {
             return Open("C:\\Nowhere\\b.txt", GENERIC_READ, 0, OPEN_EXISTING) !=
                    INVALID_HANDLE_VALUE;
         },
         FALSE, ERROR_PATH_NOT_FOUND},
        {"open a folder",
         [] { return Open("C:\\WINDOWS", GENERIC_READ, 0, OPEN_EXISTING) != INVALID_HANDLE_VALUE; },
         FALSE, ERROR_ACCESS_DENIED},
        {"a name Windows refuses",
         [] { return Open("C:\\a<b.txt", GENERIC_READ, 0, OPEN_ALWAYS) != INVALID_HANDLE_VALUE; },
         FALSE, ERROR_INVALID_NAME},
        {"copy", [=] { return CopyFileA(file, "C:\\Program Files\\Touch\\b.txt", TRUE); }, TRUE,
         ERROR_SUCCESS},
        {"copy is whole", [] { return Read("C:\\Program Files\\Touch\\b.txt") == "hello!"; }, TRUE,
         ERROR_SUCCESS},
        {"copy onto it, failing if it exists",
         [=] { return CopyFileA(file, "C:\\Program Files\\Touch\\B.txt", TRUE); }, FALSE,
         ERROR_FILE_EXISTS},
        {"copy onto it, replacing",
         [=] { return CopyFileA(file, "C:\\Program Files\\Touch\\B.txt", FALSE); }, TRUE,
         ERROR_SUCCESS},
        {"copy a missing file", [] { return CopyFileA("C:\\none.txt", "C:\\c.txt", FALSE); }, FALSE,
         ERROR_FILE_NOT_FOUND},
        {"copy into a missing folder", [=] { return CopyFileA(file, "C:\\No\\c.txt", FALSE); },
         FALSE, ERROR_PATH_NOT_FOUND},
        {"attributes of a file", [=] { return GetFileAttributesA(file) == FILE_ATTRIBUTE_ARCHIVE; },
         TRUE, ERROR_SUCCESS},
        {"attributes of nothing",
         [] { return GetFileAttributesA("C:\\none.txt") != INVALID_FILE_ATTRIBUTES; }, FALSE,
         ERROR_FILE_NOT_FOUND},
        {"hold it open without sharing",
         [&] {
             return (held = Open(file, GENERIC_READ, 0, OPEN_EXISTING)) != INVALID_HANDLE_VALUE;
         },
         TRUE, ERROR_SUCCESS},
        {"a second open",
         [=] {
             return Open(file, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING) !=
                    INVALID_HANDLE_VALUE;
         },
         FALSE, ERROR_SHARING_VIOLATION},
        {"delete it while open", [=] { return DeleteFileA(file); }, FALSE, ERROR_SHARING_VIOLATION},
        {"copy over it while open",
         [=] { return CopyFileA("C:\\Program Files\\Touch\\b.txt", file, FALSE); }, FALSE,
         ERROR_SHARING_VIOLATION},
        {"write through a read handle",
         [&] {
             DWORD written = 0;
             return WriteFile(held, "x", 1, &written, nullptr);
         },
         FALSE, ERROR_ACCESS_DENIED},
        {"close it", [&] { return CloseHandle(held); }, TRUE, ERROR_SUCCESS},
        {"closed twice", [&] { return CloseHandle(held); }, FALSE, ERROR_INVALID_HANDLE},
        {"delete it", [=] { return DeleteFileA(file); }, TRUE, ERROR_SUCCESS},
        {"delete it again", [=] { return DeleteFileA(file); }, FALSE, ERROR_FILE_NOT_FOUND},
        {"delete a folder", [] { return DeleteFileA("C:\\Program Files\\Touch"); }, FALSE,
         ERROR_ACCESS_DENIED},
        {"an empty file", [] { return Write("C:\\empty.bin", "", CREATE_ALWAYS); }, TRUE,
         ERROR_SUCCESS},
        {"copies empty",
         [] {
             return CopyFileA("C:\\empty.bin", "C:\\empty2.bin", FALSE) &&
                    Read("C:\\empty2.bin").empty();
         },
         TRUE, ERROR_SUCCESS},
    };
    for (const Step& step : steps) {
        SetLastError(kPoison);
        BOOL ok = step.call() ? TRUE : FALSE;
        EXPECT_EQ(ok, step.ok) << step.what;
        if (step.error != ERROR_SUCCESS) {
            EXPECT_EQ(GetLastError(), step.error) << step.what;
        }
    }
    EXPECT_TRUE(disk.Exists("C:\\PROGRAM FILES\\TOUCH\\b.txt"));
}

TEST_F(DiskFiles, CopiesAndDeletionsLeaveTraceLines) {
    disk.PutText("C:\\a.txt", "a");
    CopyFileA("C:\\a.txt", "C:\\b.txt", FALSE);
    CopyFileA("C:\\a.txt", "C:\\b.txt", TRUE);
    DeleteFileA("C:\\b.txt");
    DeleteFileA("C:\\b.txt");
    std::vector<std::string> events;
    for (const std::string& line : Trace())
        events.push_back(line.substr(line.find(' ') + 1));
    EXPECT_EQ(events, (std::vector<std::string>{
                          "file copy from=\"C:\\\\a.txt\" to=\"C:\\\\b.txt\"",
                          "file copy from=\"C:\\\\a.txt\" to=\"C:\\\\b.txt\" error=80",
                          "file delete path=\"C:\\\\b.txt\"",
                          "file delete path=\"C:\\\\b.txt\" error=2",
                      }));
}

TEST_F(DiskFiles, DosDeviceNames) {
    char target[100];
    EXPECT_EQ(QueryDosDeviceA("c:", target, sizeof target), 25u);
    EXPECT_EQ(std::string(target, 25), std::string("\\Device\\HarddiskVolume1\0\0", 25));
    SetLastError(kPoison);
    EXPECT_EQ(QueryDosDeviceA("C:", target, 10), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(QueryDosDeviceA("vududode", target, sizeof target), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    system.SetOs(OsKind::Windows98);
    EXPECT_EQ(QueryDosDeviceA("C:", target, sizeof target), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

// The texts are those 2000 and XP show for these codes (Microsoft's System
// Error Codes pages).
TEST_F(DiskFiles, SystemMessageTexts) {
    char text[200];
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    EXPECT_EQ(FormatMessageA(flags, nullptr, ERROR_FILE_NOT_FOUND, 0, text, sizeof text, nullptr),
              44u);
    EXPECT_STREQ(text, "The system cannot find the file specified.\r\n");
    char* allocated = nullptr;
    ASSERT_EQ(FormatMessageA(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, ERROR_ACCESS_DENIED,
                             0, reinterpret_cast<LPSTR>(&allocated), 0, nullptr),
              19u);
    EXPECT_STREQ(allocated, "Access is denied.\r\n");
    EXPECT_EQ(LocalFree(allocated), nullptr);
    EXPECT_EQ(FormatMessageA(flags, nullptr, ERROR_FILE_NOT_FOUND, 0, text, 10, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(FormatMessageA(flags, nullptr, 0xDEAD, 0, text, sizeof text, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MR_MID_NOT_FOUND));
}

} // namespace
} // namespace win32_testing
