#include "machine/driver_binding.h"

#include "platform/win32/windows.h"

#include <cctype>
#include <cstring>

namespace machine {
namespace {

using platform::win32::OsKind;

std::string ReadText(const std::string& path, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    char data[1024] = {};
    DWORD size = sizeof data - 2, type = 0;
    LONG error = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ))
        return "";
    return std::string(data, size);
}

// The strings of a REG_MULTI_SZ value (or the one string of a REG_SZ).
std::vector<std::string> ReadList(const std::string& path, const char* name) {
    std::vector<std::string> items;
    std::string data = ReadText(path, name);
    for (size_t start = 0; start < data.size();) {
        size_t end = data.find('\0', start);
        if (end == std::string::npos)
            end = data.size();
        if (end > start)
            items.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

std::string FirstString(const std::string& path, const char* name) {
    std::vector<std::string> items = ReadList(path, name);
    return items.empty() ? "" : items[0];
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "system32\drivers\x.sys" below the Windows directory, "\SystemRoot\..."
// likewise; a path with a drive stays as it is.
std::string FullImagePath(const std::string& windows, const std::string& image) {
    const std::string systemRoot = "\\systemroot\\";
    if (Lower(image.substr(0, systemRoot.size())) == systemRoot)
        return windows + "\\" + image.substr(systemRoot.size());
    if (image.size() > 1 && image[1] == ':')
        return image;
    return windows + "\\" + image;
}

bool ChooseNt(const std::string& windows, const std::string& instanceId, DriverChoice* choice) {
    const std::string instance = "SYSTEM\\CurrentControlSet\\Enum\\" + instanceId;
    std::string service = FirstString(instance, "Service");
    if (service.empty())
        return false;
    std::string image = FirstString("SYSTEM\\CurrentControlSet\\Services\\" + service, "ImagePath");
    choice->service = service;
    choice->imagePath =
        FullImagePath(windows, image.empty() ? "system32\\drivers\\" + service + ".sys" : image);
    choice->upperFilters = ReadList(instance, "UpperFilters");
    std::string classGuid = FirstString(instance, "ClassGUID");
    if (!classGuid.empty())
        for (const auto& filter :
             ReadList("SYSTEM\\CurrentControlSet\\Control\\Class\\" + classGuid, "UpperFilters"))
            choice->upperFilters.push_back(filter);
    return true;
}

bool Choose98(const std::string& windows, const std::string& instanceId, DriverChoice* choice) {
    std::string driver = FirstString("Enum\\" + instanceId, "Driver");
    if (driver.empty())
        return false;
    std::string file =
        FirstString("System\\CurrentControlSet\\Services\\Class\\" + driver, "NTMPDriver");
    if (file.empty())
        return false;
    std::string name = Lower(file);
    if (name.size() > 4 && name.substr(name.size() - 4) == ".sys")
        name.resize(name.size() - 4);
    choice->service = name;
    choice->imagePath = windows + "\\SYSTEM32\\DRIVERS\\" + file;
    choice->upperFilters.clear();
    return true;
}

} // namespace

bool ChooseDriver(OsKind os, const std::string& windowsDirectory, const std::string& instanceId,
                  DriverChoice* choice) {
    return os == OsKind::Windows98 ? Choose98(windowsDirectory, instanceId, choice)
                                   : ChooseNt(windowsDirectory, instanceId, choice);
}

} // namespace machine
