// SetupDiCallClassInstaller with the default handlers of the functions the
// programs call: DIF_SELECTDEVICE, DIF_INSTALLDEVICE, DIF_REMOVE.
//
// DIF_SELECTDEVICE builds the driver list from the one INF of the install
// parameters (DI_ENUMSINGLEINF with DriverPath) and takes the model whose
// id matches the device's hardware ids, else the first model: Windows would
// show the list for the user to pick from, and with one model the user's
// pick is that one. Without DI_ENUMSINGLEINF there is no one to pick:
// ERROR_NO_DRIVER_SELECTED.
//
// DIF_INSTALLDEVICE writes what Windows keeps for an installed device: in
// the driver key the install section's registry lines and DriverDesc,
// ProviderName, InfPath, InfSection, MatchingDeviceId; the .HW section in
// the device key; the .Services section, whose associated service becomes
// the instance key's Service; the files unless DI_NOFILECOPY. On NT the
// ".NT"-decorated install section is used when the INF has one.
#include "platform/setupapi/device_info.h"
#include "platform/setupapi/host_state.h"
#include "platform/setupapi/inf_install.h"

#include <cstring>

namespace platform::setupapi::detail {
namespace {

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> HardwareIds(const DeviceInfo& device) {
    std::vector<std::string> ids;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, InstanceKeyPath(device.instanceId).c_str(), 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return ids;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, "HardwareID", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_MULTI_SZ) {
        std::vector<char> data(size + 2, 0);
        RegQueryValueExA(key, "HardwareID", nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                         &size);
        for (const char* p = data.data(); *p; p += std::strlen(p) + 1)
            ids.push_back(p);
    }
    RegCloseKey(key);
    return ids;
}

// The open INF of a path, closed on scope exit.
struct OpenInf {
    HINF handle = INVALID_HANDLE_VALUE;
    explicit OpenInf(const std::string& path)
        : handle(SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, nullptr)) {}
    ~OpenInf() {
        if (handle != INVALID_HANDLE_VALUE)
            SetupCloseInfFile(handle);
    }
    InfFile* inf() const {
        return handle == INVALID_HANDLE_VALUE ? nullptr : InfFromHandle(handle);
    }
};

const InfSection* Decorated(const InfFile& inf, const std::string& section) {
    if (IsNt())
        for (const char* suffix : {".NTx86", ".NT"})
            if (const InfSection* found = inf.Find(section + suffix))
                return found;
    return inf.Find(section);
}

} // namespace

DWORD SelectDriver(DeviceInfoSet& set, DeviceInfo& device) {
    const SP_DEVINSTALL_PARAMS_A& params = device.params.DriverPath[0] ? device.params : set.params;
    if (!(params.Flags & DI_ENUMSINGLEINF) || !params.DriverPath[0])
        return ERROR_NO_DRIVER_SELECTED;
    OpenInf open(params.DriverPath);
    InfFile* inf = open.inf();
    if (!inf)
        return GetLastError();
    GUID infClass{};
    if (!ParseGuid(inf->Version("ClassGUID"), &infClass) ||
        std::memcmp(&infClass, &device.classGuid, sizeof infClass) != 0)
        return ERROR_NO_DRIVER_SELECTED;
    std::vector<std::string> ids = HardwareIds(device);
    bool found = false;
    const InfSection* manufacturers = inf->Find("Manufacturer");
    for (size_t m = 0; manufacturers && m < manufacturers->lines.size(); ++m) {
        const InfLine& maker = manufacturers->lines[m];
        const InfSection* models = inf->Find(inf->Field(maker, 0));
        if (!models)
            continue;
        for (const auto& model : models->lines) {
            bool matches = false;
            for (size_t i = 1; i < model.fields.size(); ++i)
                for (const auto& id : ids)
                    matches = matches || EqualNoCase(inf->Field(model, i), id);
            if (found && !matches)
                continue;
            device.driverSelected = found = true;
            device.driverInf = params.DriverPath;
            device.installSection = inf->Field(model, 0);
            device.driverDescription = inf->Substitute(model.key);
            device.manufacturer = inf->Substitute(maker.key);
            device.matchingId = inf->Field(model, 1);
            if (matches)
                return ERROR_SUCCESS;
        }
    }
    return found ? ERROR_SUCCESS : ERROR_NO_DRIVER_SELECTED;
}

DWORD InstallDevice(DeviceInfoSet& set, DeviceInfo& device) {
    (void)set;
    if (!device.driverSelected)
        return ERROR_NO_DRIVER_SELECTED;
    if (!device.registered || device.removed)
        return ERROR_NO_SUCH_DEVINST;
    OpenInf open(device.driverInf);
    InfFile* inf = open.inf();
    if (!inf)
        return GetLastError();
    const InfSection* install = Decorated(*inf, device.installSection);
    if (!install)
        return ERROR_SECTION_NOT_FOUND;
    DWORD error = ERROR_SUCCESS;
    if (!(device.params.Flags & DI_NOFILECOPY)) {
        PVOID context = SetupInitDefaultQueueCallbackEx(nullptr, nullptr, 0, 0, nullptr);
        error = InstallSection(*inf, *install, SPINST_FILES, nullptr, DirectoryOf(device.driverInf),
                               0, SetupDefaultQueueCallbackA, context);
        SetupTermDefaultQueueCallback(context);
        if (error != ERROR_SUCCESS)
            return error;
    }
    HKEY driverKey = OpenDriverKey(device, true, &error);
    if (!driverKey)
        return error;
    error = InstallRegistrySections(*inf, *install, driverKey);
    SetString(driverKey, "DriverDesc", device.driverDescription);
    SetString(driverKey, "ProviderName", inf->Version("Provider"));
    SetString(driverKey, "InfPath", FileNameOf(device.driverInf));
    SetString(driverKey, "InfSection", install->name);
    SetString(driverKey, "MatchingDeviceId", device.matchingId);
    RegCloseKey(driverKey);
    if (error != ERROR_SUCCESS)
        return error;
    if (const InfSection* hardware = inf->Find(install->name + ".HW")) {
        HKEY deviceKey = OpenDeviceKey(device, &error);
        if (!deviceKey)
            return error;
        error = InstallRegistrySections(*inf, *hardware, deviceKey);
        RegCloseKey(deviceKey);
        if (error != ERROR_SUCCESS)
            return error;
    }
    std::string service;
    if (const InfSection* services = inf->Find(install->name + ".Services")) {
        error = InstallServices(*inf, *services, &service);
        if (error != ERROR_SUCCESS)
            return error;
    }
    HKEY instance;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, InstanceKeyPath(device.instanceId).c_str(), 0,
                      KEY_ALL_ACCESS, &instance) != ERROR_SUCCESS)
        return ERROR_NO_SUCH_DEVINST;
    SetString(instance, "Mfg", device.manufacturer);
    SetString(instance, "DeviceDesc", device.driverDescription);
    if (!service.empty())
        SetString(instance, "Service", service);
    RegCloseKey(instance);
    if (platform::setupapi::DeviceTree* tree = Tree())
        tree->Installed(device.instanceId);
    return ERROR_SUCCESS;
}

DWORD RemoveDevice(DeviceInfo& device) {
    if (!device.registered || device.removed)
        return ERROR_NO_SUCH_DEVINST;
    DWORD ignored;
    HKEY instance;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, InstanceKeyPath(device.instanceId).c_str(), 0, KEY_READ,
                      &instance) != ERROR_SUCCESS)
        return ERROR_NO_SUCH_DEVINST;
    std::string driver = QueryString(instance, "Driver");
    RegCloseKey(instance);
    (void)ignored;
    if (!driver.empty())
        DeleteTree(HKEY_LOCAL_MACHINE, ClassRoot() + "\\" + driver);
    DeleteTree(HKEY_LOCAL_MACHINE, InstanceKeyPath(device.instanceId));
    device.removed = true;
    Trace("device remove instance=" + device.instanceId);
    if (platform::setupapi::DeviceTree* tree = Tree())
        tree->Removed(device.instanceId);
    return ERROR_SUCCESS;
}

} // namespace platform::setupapi::detail

using namespace platform::setupapi::detail;

BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                      PSP_DEVINFO_DATA DeviceInfoData) {
    auto* set = SetFromHandle(DeviceInfoSet);
    DWORD error = ERROR_INVALID_HANDLE;
    DeviceInfo* device = set ? DeviceFromData(set, DeviceInfoData, &error) : nullptr;
    if (!device) {
        SetLastError(error);
        return FALSE;
    }
    switch (InstallFunction) {
    case DIF_SELECTDEVICE:
        error = SelectDriver(*set, *device);
        break;
    case DIF_INSTALLDEVICE:
        error = InstallDevice(*set, *device);
        break;
    case DIF_REMOVE:
        error = RemoveDevice(*device);
        break;
    default:
        error = ERROR_DI_DO_DEFAULT;
        break;
    }
    SetLastError(error);
    return error == ERROR_SUCCESS;
}
