// WinExec and the start of a program from its image file.
#include "platform/win32/program_images.h"

#include "platform/win32/disk_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using namespace platform::win32;

namespace platform::win32 {

DWORD StartProgramImage(const std::string& path, const std::string& arguments, int show,
                        ProcessId* id) {
    Disk::Resolved resolved = detail::ResolveOnDisk(path.c_str());
    if (resolved.lookup != Disk::Lookup::Found)
        return detail::LookupError(resolved);
    std::error_code error;
    if (!std::filesystem::is_regular_file(resolved.host, error))
        return ERROR_ACCESS_DENIED;
    std::ifstream in(resolved.host, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    std::optional<std::string> name = ImageProgramName(bytes);
    ProgramSpec spec;
    Runtime* runtime = Runtime::TryCurrent();
    if (!name || runtime == nullptr || !runtime->LookupProgram(*name, &spec))
        return ERROR_BAD_FORMAT;
    spec.commandLine = arguments;
    spec.imagePath = resolved.path;
    spec.show = show;
    ProcessId started = runtime->Start(spec);
    if (id != nullptr)
        *id = started;
    return ERROR_SUCCESS;
}

} // namespace platform::win32

namespace {

// The directory part of a Windows path, without its last backslash.
std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Where WinExec looks for a bare name, in the documented order: the
// caller's own directory, the current directory (always C:\ here), the
// system directory (and on NT the 16-bit one), the Windows directory. PATH
// holds nothing else on the machine.
std::vector<std::string> SearchDirectories() {
    std::vector<std::string> directories;
    if (const ProcessInfo* process = CurrentProcess())
        directories.push_back(DirectoryOf(process->imagePath));
    directories.push_back("C:");
    OsKind os = CurrentOsKind();
    directories.push_back(SystemDirectoryOf(os));
    if (os != OsKind::Windows98)
        directories.push_back(WindowsDirectoryOf(os) + "\\system");
    directories.push_back(WindowsDirectoryOf(os));
    return directories;
}

} // namespace

// Returns above 31 on success; 0, ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND
// or ERROR_BAD_FORMAT on failure (Microsoft's WinExec page). It returns at
// once instead of waiting for the new program's first GetMessage.
UINT WINAPI WinExec(LPCSTR lpCmdLine, UINT uCmdShow) {
    if (lpCmdLine == NULL)
        return 0;
    std::string line = lpCmdLine;
    std::string file;
    std::string arguments;
    if (!line.empty() && line[0] == '"') {
        size_t close = line.find('"', 1);
        file = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        if (close != std::string::npos)
            arguments = line.substr(close + 1);
    } else {
        size_t blank = line.find_first_of(" \t");
        file = line.substr(0, blank);
        if (blank != std::string::npos)
            arguments = line.substr(blank);
    }
    arguments.erase(0, arguments.find_first_not_of(" \t") == std::string::npos
                           ? arguments.size()
                           : arguments.find_first_not_of(" \t"));
    if (file.empty())
        return ERROR_FILE_NOT_FOUND;
    size_t nameStart = file.find_last_of("\\/:");
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    if (file.find('.', nameStart) == std::string::npos)
        file += ".exe";

    std::string path = file;
    if (nameStart == 0) {
        path.clear();
        for (const std::string& directory : SearchDirectories()) {
            std::string candidate = directory + "\\" + file;
            DWORD attributes = GetFileAttributesA(candidate.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                path = candidate;
                break;
            }
        }
        if (path.empty())
            return ERROR_FILE_NOT_FOUND;
    }
    ProcessId id = 0;
    DWORD error = StartProgramImage(path, arguments, static_cast<int>(uCmdShow), &id);
    if (error == ERROR_ACCESS_DENIED)
        error = ERROR_FILE_NOT_FOUND;
    return error == ERROR_SUCCESS ? 33 : error;
}
