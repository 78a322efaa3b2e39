#include "platform/win32/disk.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace platform::win32 {
namespace {

namespace fs = std::filesystem;

std::atomic<Disk*> gCurrent{nullptr};

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    }
    return true;
}

bool ValidComponent(const std::string& name) {
    for (unsigned char c : name) {
        if (c < 0x20 || std::string("<>:\"|?*").find(static_cast<char>(c)) != std::string::npos)
            return false;
    }
    return true;
}

// The directories each system has before anything is installed.
std::vector<std::string> SystemFolders(OsKind os) {
    const std::string windows = WindowsDirectoryOf(os);
    std::vector<std::string> folders = {"C:\\Program Files", windows, SystemDirectoryOf(os)};
    if (os == OsKind::Windows98) {
        // 98 keeps WDM drivers in SYSTEM32\DRIVERS beside its SYSTEM folder.
        folders.push_back(windows + "\\INF");
        folders.push_back(windows + "\\INF\\OTHER");
        folders.push_back(windows + "\\SYSTEM32");
        folders.push_back(windows + "\\SYSTEM32\\DRIVERS");
    } else {
        folders.push_back(windows + "\\inf");
        folders.push_back(SystemDirectoryOf(os) + "\\drivers");
    }
    return folders;
}

} // namespace

std::string WindowsDirectoryOf(OsKind os) {
    return os == OsKind::Windows2000 ? "C:\\WINNT" : "C:\\WINDOWS";
}

std::string SystemDirectoryOf(OsKind os) {
    switch (os) {
    case OsKind::Windows98:
        return "C:\\WINDOWS\\SYSTEM";
    case OsKind::Windows2000:
        return "C:\\WINNT\\system32";
    case OsKind::WindowsXP:
        break;
    }
    return "C:\\WINDOWS\\system32";
}

OsKind CurrentOsKind() {
    OsVersion version = System::Current().Version();
    if (version.platformId != VER_PLATFORM_WIN32_NT)
        return OsKind::Windows98;
    return version.major == 5 && version.minor == 0 ? OsKind::Windows2000 : OsKind::WindowsXP;
}

Disk::Disk(OsKind os) {
    std::string pattern = (fs::temp_directory_path() / "machine-disk-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("disk: cannot make a temporary folder");
    root_ = pattern;
    drives_['C'] = root_;
    previous_ = gCurrent.exchange(this);
    for (const std::string& folder : SystemFolders(os))
        MakeDirectories(folder);
}

Disk::~Disk() {
    Disk* self = this;
    gCurrent.compare_exchange_strong(self, previous_);
    if (!keep_) {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
}

Disk* Disk::TryCurrent() {
    return gCurrent.load();
}

void Disk::MapDrive(char letter, const fs::path& hostFolder) {
    letter = Upper(letter);
    if (letter < 'A' || letter > 'Z' || letter == 'C')
        throw std::invalid_argument("disk: drive letter " + std::string(1, letter));
    drives_[letter] = hostFolder;
}

void Disk::UnmapDrive(char letter) {
    letter = Upper(letter);
    if (letter != 'C')
        drives_.erase(letter);
}

std::vector<char> Disk::Drives() const {
    std::vector<char> letters;
    for (const auto& [letter, folder] : drives_)
        letters.push_back(letter);
    return letters;
}

Disk::Resolved Disk::Resolve(const std::string& path) const {
    Resolved resolved = ResolvePath(path);
    if (observer_)
        observer_(resolved);
    return resolved;
}

Disk::Resolved Disk::ResolvePath(const std::string& path) const {
    Resolved result;
    std::string rest = path;
    char drive = 'C';
    if (rest.size() >= 2 && rest[1] == ':' && std::isalpha(static_cast<unsigned char>(rest[0]))) {
        drive = Upper(rest[0]);
        rest = rest.substr(2);
    }
    if (rest.empty() && path.empty())
        return result;
    auto mapped = drives_.find(drive);

    std::vector<std::string> components;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = rest.size();
        std::string part = rest.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!components.empty())
                components.pop_back();
            continue;
        }
        // Windows drops trailing dots and blanks of a name.
        while (!part.empty() && (part.back() == '.' || part.back() == ' '))
            part.pop_back();
        if (part.empty() || !ValidComponent(part)) {
            result.path = path;
            return result;
        }
        components.push_back(part);
    }
    result.path = std::string(1, drive) + ":\\";
    for (size_t i = 0; i < components.size(); ++i)
        result.path += (i > 0 ? "\\" : "") + components[i];
    if (mapped == drives_.end()) {
        result.lookup = Lookup::NoPath;
        return result;
    }

    fs::path host = mapped->second;
    std::error_code error;
    for (size_t i = 0; i < components.size(); ++i) {
        // The smallest host name that matches keeps the choice deterministic.
        std::string match;
        for (const auto& entry : fs::directory_iterator(host, error)) {
            std::string name = entry.path().filename().string();
            if (SameName(name, components[i]) && (match.empty() || name < match))
                match = name;
        }
        bool last = i + 1 == components.size();
        if (match.empty()) {
            result.host = host / components[i];
            result.lookup = last ? Lookup::Missing : Lookup::NoPath;
            return result;
        }
        host /= match;
        if (!last && !fs::is_directory(host, error)) {
            result.lookup = Lookup::NoPath;
            result.host = host;
            return result;
        }
    }
    result.lookup = Lookup::Found;
    result.host = host;
    return result;
}

void Disk::MakeDirectories(const std::string& path) {
    Resolved resolved = Resolve(path);
    if (resolved.lookup == Lookup::BadName)
        throw std::invalid_argument("disk: bad path \"" + path + "\"");
    if (resolved.lookup == Lookup::Found)
        return;
    size_t slash = resolved.path.rfind('\\');
    if (slash > 2)
        MakeDirectories(resolved.path.substr(0, slash));
    resolved = Resolve(path);
    std::error_code error;
    fs::create_directory(resolved.host, error);
    if (error)
        throw std::runtime_error("disk: cannot make \"" + path + "\": " + error.message());
}

void Disk::PutFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    Resolved resolved = Resolve(path);
    size_t slash = resolved.path.rfind('\\');
    if (resolved.lookup == Lookup::BadName || slash < 2 || slash + 1 == resolved.path.size())
        throw std::invalid_argument("disk: bad file path \"" + path + "\"");
    MakeDirectories(resolved.path.substr(0, slash));
    resolved = Resolve(path);
    std::ofstream out(resolved.host, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("disk: cannot write \"" + path + "\"");
}

void Disk::PutText(const std::string& path, const std::string& text) {
    PutFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::optional<std::vector<uint8_t>> Disk::ReadFile(const std::string& path) const {
    Resolved resolved = Resolve(path);
    std::error_code error;
    if (resolved.lookup != Lookup::Found || !fs::is_regular_file(resolved.host, error))
        return std::nullopt;
    std::ifstream in(resolved.host, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool Disk::Exists(const std::string& path) const {
    return Resolve(path).lookup == Lookup::Found;
}

void Disk::PutImage(const std::string& path, const std::string& programName) {
    PutText(path, ImageFileText(programName));
}

std::string ImageFileText(const std::string& programName) {
    return "program " + programName + "\n";
}

std::optional<std::string> ImageProgramName(const std::vector<uint8_t>& bytes) {
    std::string text(bytes.begin(), bytes.end());
    const std::string prefix = "program ";
    if (text.compare(0, prefix.size(), prefix) != 0 || text.empty() || text.back() != '\n')
        return std::nullopt;
    std::string name = text.substr(prefix.size(), text.size() - prefix.size() - 1);
    if (name.empty() || name.find_first_of(" \n\r\t") != std::string::npos)
        return std::nullopt;
    return name;
}

} // namespace platform::win32
