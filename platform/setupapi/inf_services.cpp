// AddService lines: "name, flags, service-install-section[, event-log
// section]". The service key is written as the service control manager
// writes it: Type, Start, ErrorControl (REG_DWORD), ImagePath
// (REG_EXPAND_SZ; a driver below the Windows directory relative to it, as
// "system32\drivers\x.sys"), DisplayName and Group (REG_SZ). DelService
// lines remove a service key.
#include "platform/setupapi/host_state.h"
#include "platform/setupapi/inf_install.h"

#include <cstdlib>

namespace platform::setupapi::detail {
namespace {

constexpr DWORD kKernelDriver = 1;
constexpr DWORD kFileSystemDriver = 2;

void SetDword(HKEY key, const char* name, DWORD value) {
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

std::string ImagePath(const std::string& binary, DWORD type) {
    std::string windows = Files().WindowsDirectory() + "\\";
    if ((type == kKernelDriver || type == kFileSystemDriver) && binary.size() > windows.size() &&
        EqualNoCase(binary.substr(0, windows.size()), windows))
        return binary.substr(windows.size());
    return binary;
}

DWORD AddService(const InfFile& inf, const InfLine& line) {
    std::string name = inf.Field(line, 0);
    const InfSection* install = inf.Find(inf.Field(line, 2));
    if (name.empty() || !install)
        return ERROR_SECTION_NOT_FOUND;
    const char* required[] = {"ServiceType", "StartType", "ErrorControl", "ServiceBinary"};
    for (const char* key : required)
        if (!inf.FindLine(install->name, key))
            return ERROR_LINE_NOT_FOUND;
    auto value = [&](const char* key) {
        const InfLine* found = inf.FindLine(install->name, key);
        return found ? inf.Field(*found, 0) : std::string();
    };
    auto number = [&](const char* key) {
        return static_cast<DWORD>(std::strtoul(value(key).c_str(), nullptr, 0));
    };
    HKEY key;
    std::string path = ServicesRoot() + "\\" + name;
    LONG error = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (error != ERROR_SUCCESS)
        return static_cast<DWORD>(error);
    DWORD type = number("ServiceType");
    SetDword(key, "Type", type);
    SetDword(key, "Start", number("StartType"));
    SetDword(key, "ErrorControl", number("ErrorControl"));
    std::string image = ImagePath(value("ServiceBinary"), type);
    RegSetValueExA(key, "ImagePath", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(image.c_str()),
                   static_cast<DWORD>(image.size() + 1));
    if (std::string display = value("DisplayName"); !display.empty())
        SetString(key, "DisplayName", display);
    if (std::string group = value("LoadOrderGroup"); !group.empty())
        SetString(key, "Group", group);
    DWORD result = InstallRegistrySections(inf, *install, key);
    RegCloseKey(key);
    return result;
}

} // namespace

DWORD InstallServices(const InfFile& inf, const InfSection& services, std::string* associated) {
    for (const auto& line : services.lines) {
        if (EqualNoCase(line.key, "DelService")) {
            DeleteTree(HKEY_LOCAL_MACHINE, ServicesRoot() + "\\" + inf.Field(line, 0));
            continue;
        }
        if (!EqualNoCase(line.key, "AddService"))
            continue;
        DWORD error = AddService(inf, line);
        if (error != ERROR_SUCCESS)
            return error;
        DWORD flags = static_cast<DWORD>(std::strtoul(inf.Field(line, 1).c_str(), nullptr, 0));
        if (associated && (flags & SPSVCINST_ASSOCSERVICE))
            *associated = inf.Field(line, 0);
    }
    return ERROR_SUCCESS;
}

} // namespace platform::setupapi::detail

using namespace platform::setupapi::detail;

BOOL WINAPI SetupInstallServicesFromInfSectionA(HINF InfHandle, PCSTR SectionName, DWORD Flags) {
    (void)Flags;
    InfFile* inf = InfFromHandle(InfHandle);
    if (!inf || !SectionName) {
        SetLastError(!inf ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const InfSection* section = inf->Find(SectionName);
    if (!section) {
        SetLastError(ERROR_SECTION_NOT_FOUND);
        return FALSE;
    }
    DWORD error = InstallServices(*inf, *section, nullptr);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}
