// The machine's disk: drive C: is a host folder (a fresh temporary one per
// disk, removed with it unless kept), other drive letters can map further
// host folders (D: for a medium). The Windows and system directories exist
// as each system lays them out.
//
// Windows paths are case-insensitive: every component maps to the existing
// host entry whatever its case; a new entry takes the case it is given.
// Components are compared by ASCII case only.
//
// Host side: the machine or a test constructs one Disk; the file calls of
// the programs (CreateFileA, CopyFileA, ...) work on the current one. Without
// a Disk, every disk path fails with ERROR_PATH_NOT_FOUND.
#pragma once

#include "platform/win32/system_info.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform::win32 {

// "C:\WINDOWS" (98, XP) or "C:\WINNT" (2000).
std::string WindowsDirectoryOf(OsKind os);
// "C:\WINDOWS\SYSTEM" (98), "C:\WINNT\system32", "C:\WINDOWS\system32".
std::string SystemDirectoryOf(OsKind os);
// The system that System::Current() reports.
OsKind CurrentOsKind();

class Disk {
public:
    // Becomes the current disk until destroyed (the one before it then is again).
    explicit Disk(OsKind os);
    ~Disk();
    Disk(const Disk&) = delete;
    Disk& operator=(const Disk&) = delete;

    static Disk* TryCurrent();

    // The folder of C: stays on the host after the disk is gone.
    void Keep() { keep_ = true; }
    const std::filesystem::path& HostRoot() const { return root_; }

    // Drive letter to host folder ('C' is the disk itself and cannot move).
    void MapDrive(char letter, const std::filesystem::path& hostFolder);
    void UnmapDrive(char letter);
    std::vector<char> Drives() const; // upper case, in order

    // Where a Windows path leads on the host.
    enum class Lookup {
        Found,   // the entry exists (host: its path, in the case it has)
        Missing, // its directory exists, the entry does not (host: where it would be)
        NoPath,  // a directory on the way is missing, or not a directory
        BadName, // not a drive path, or a name Windows refuses
    };
    struct Resolved {
        Lookup lookup = Lookup::BadName;
        std::filesystem::path host;
        std::string path; // the full Windows path, "." and ".." folded
    };
    // A relative path starts at the current directory ("C:\").
    Resolved Resolve(const std::string& path) const;
    // Host side: sees every lookup and its outcome (which files a program
    // reads from a medium, say). An empty function ends it.
    void SetLookupObserver(std::function<void(const Resolved&)> observer) {
        observer_ = std::move(observer);
    }

    // --- Host-side helpers (tests, the machine, touchsim); they make the
    // directories on the way and leave no trace lines.
    void PutFile(const std::string& path, const std::vector<uint8_t>& bytes);
    void PutText(const std::string& path, const std::string& text);
    std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) const;
    bool Exists(const std::string& path) const;
    void MakeDirectories(const std::string& path);
    // The image file of a program of the machine's catalogue.
    void PutImage(const std::string& path, const std::string& programName);

private:
    Resolved ResolvePath(const std::string& path) const;

    std::filesystem::path root_;
    std::function<void(const Resolved&)> observer_;
    std::map<char, std::filesystem::path> drives_;
    bool keep_ = false;
    Disk* previous_ = nullptr;
};

// On the host an image file names the program it stands for: "program NAME\n".
std::string ImageFileText(const std::string& programName);
// The program name of an image file's bytes; nullopt when they are no image.
std::optional<std::string> ImageProgramName(const std::vector<uint8_t>& bytes);

} // namespace platform::win32
