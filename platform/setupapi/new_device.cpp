// InstallNewDevice: the found-new-hardware path of Plug and Play. The
// instance key receives the hardware ids and the INF's class, and the
// device is installed by the class installer's own steps.
#include "platform/setupapi/device_info.h"
#include "platform/setupapi/host_state.h"

#include <cstring>

namespace platform::setupapi {
namespace {

using namespace detail;

// Whether some model of the INF lists one of the ids.
bool Lists(const InfFile& inf, const std::vector<std::string>& ids) {
    const InfSection* manufacturers = inf.Find("Manufacturer");
    for (size_t m = 0; manufacturers && m < manufacturers->lines.size(); ++m) {
        const InfSection* models = inf.Find(inf.Field(manufacturers->lines[m], 0));
        for (size_t i = 0; models && i < models->lines.size(); ++i)
            for (size_t f = 1; f < models->lines[i].fields.size(); ++f)
                for (const auto& id : ids)
                    if (EqualNoCase(inf.Field(models->lines[i], f), id))
                        return true;
    }
    return false;
}

bool WriteInstanceKey(const std::string& instanceId, const InfFile& inf,
                      const std::vector<std::string>& ids) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, InstanceKeyPath(instanceId).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    std::string multi;
    for (const auto& id : ids)
        multi += id + '\0';
    multi += '\0';
    RegSetValueExA(key, "HardwareID", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi.data()),
                   static_cast<DWORD>(multi.size()));
    SetString(key, "ClassGUID", inf.Version("ClassGUID"));
    SetString(key, "Class", inf.Version("Class"));
    RegCloseKey(key);
    return true;
}

} // namespace

bool InstallNewDevice(const std::vector<std::string>& infPaths, const std::string& instanceId,
                      const std::vector<std::string>& hardwareIds, std::string* infPath) {
    for (const auto& path : infPaths) {
        HINF handle = SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            continue;
        InfFile* inf = InfFromHandle(handle);
        GUID guid{};
        bool usable = Lists(*inf, hardwareIds) && ParseGuid(inf->Version("ClassGUID"), &guid) &&
                      WriteInstanceKey(instanceId, *inf, hardwareIds);
        SetupCloseInfFile(handle);
        if (!usable)
            continue;
        DeviceInfoSet set;
        set.hasClass = true;
        set.classGuid = guid;
        DeviceInfo device;
        device.instanceId = instanceId;
        device.classGuid = guid;
        device.registered = true;
        device.params.cbSize = sizeof device.params;
        device.params.Flags = DI_ENUMSINGLEINF | DI_NOFILECOPY;
        std::strncpy(device.params.DriverPath, path.c_str(), MAX_PATH - 1);
        if (SelectDriver(set, device) != ERROR_SUCCESS ||
            InstallDevice(set, device) != ERROR_SUCCESS)
            return false;
        if (infPath)
            *infPath = path;
        return true;
    }
    return false;
}

} // namespace platform::setupapi
