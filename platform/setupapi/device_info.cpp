// Device information sets: SetupDiCreateDeviceInfoList, SetupDiGetClassDevsA,
// SetupDiCreateDeviceInfoA, SetupDiRegisterDeviceInfo,
// SetupDiSetDeviceInstallParamsA, SetupDiEnumDeviceInfo,
// SetupDiCreateDevRegKeyA, SetupDiDestroyDeviceInfoList.
//
// A created element is a phantom until registered: only registration writes
// its instance key and makes its node appear in the device tree
// ("device create instance=... class=..." on the trace).
#include "platform/setupapi/device_info.h"

#include "platform/setupapi/host_state.h"
#include "platform/setupapi/inf_install.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

namespace platform::setupapi::detail {
namespace {

std::mutex gMutex;
std::set<DeviceInfoSet*> gSets;
DWORD gNextDevInst = 1;

const HKEY kInvalidKey = static_cast<HKEY>(INVALID_HANDLE_VALUE);

bool SameGuid(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// "enumerator\device\instance": three non-empty parts of printable
// characters other than blank and comma.
bool ValidInstanceId(const std::string& id) {
    int parts = 1;
    size_t length = 0;
    for (char c : id) {
        if (c == '\\') {
            if (length == 0)
                return false;
            ++parts;
            length = 0;
            continue;
        }
        if (c <= ' ' || c == ',' || static_cast<unsigned char>(c) > 0x7f)
            return false;
        ++length;
    }
    return parts == 3 && length > 0;
}

std::vector<std::string> SubkeyNames(HKEY root, const std::string& path) {
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

bool KeyExists(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string ReadValue(const std::string& path, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    std::string value = QueryString(key, name);
    RegCloseKey(key);
    return value;
}

std::string ClassNameOf(const GUID& guid) {
    if (!IsNt())
        return "";
    return ReadValue(ClassRoot() + "\\" + GuidText(guid), "Class");
}

DeviceInfo* AddElement(DeviceInfoSet* set, const std::string& id, const GUID& guid) {
    auto device = std::make_unique<DeviceInfo>();
    device->instanceId = id;
    device->classGuid = guid;
    device->params.cbSize = sizeof device->params;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        device->devInst = gNextDevInst++;
    }
    set->devices.push_back(std::move(device));
    return set->devices.back().get();
}

bool Present(const std::string& id) {
    DeviceTree* tree = Tree();
    return tree ? tree->Present(id) : true;
}

HDEVINFO NewSet(const GUID* guid, HWND parent) {
    auto* set = new DeviceInfoSet;
    if (guid) {
        set->hasClass = true;
        set->classGuid = *guid;
    }
    set->parent = parent;
    set->params.cbSize = sizeof set->params;
    std::lock_guard<std::mutex> lock(gMutex);
    gSets.insert(set);
    return set;
}

} // namespace

DeviceInfoSet* SetFromHandle(HDEVINFO handle) {
    std::lock_guard<std::mutex> lock(gMutex);
    auto* set = static_cast<DeviceInfoSet*>(handle);
    return gSets.count(set) ? set : nullptr;
}

DeviceInfo* DeviceFromData(DeviceInfoSet* set, PSP_DEVINFO_DATA data, DWORD* error) {
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA)) {
        *error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    for (auto& device : set->devices)
        if (reinterpret_cast<ULONG_PTR>(device.get()) == data->Reserved)
            return device.get();
    *error = ERROR_INVALID_PARAMETER;
    return nullptr;
}

void FillData(const DeviceInfo& device, PSP_DEVINFO_DATA data) {
    data->ClassGuid = device.classGuid;
    data->DevInst = device.devInst;
    data->Reserved = reinterpret_cast<ULONG_PTR>(&device);
}

std::string InstanceKeyPath(const std::string& instanceId) {
    return EnumRoot() + "\\" + instanceId;
}

std::string ClassKeyName(const GUID& guid, const std::string& className) {
    return IsNt() ? GuidText(guid) : className;
}

HKEY OpenDriverKey(const DeviceInfo& device, bool create, DWORD* error) {
    std::string instance = InstanceKeyPath(device.instanceId);
    std::string driver = ReadValue(instance, "Driver");
    if (driver.empty()) {
        if (!create) {
            *error = ERROR_KEY_DOES_NOT_EXIST;
            return nullptr;
        }
        std::string classKey = ClassKeyName(device.classGuid, ReadValue(instance, "Class"));
        for (int n = 0; n < 10000 && driver.empty(); ++n) {
            char number[8];
            std::snprintf(number, sizeof number, "%04d", n);
            if (!KeyExists(ClassRoot() + "\\" + classKey + "\\" + number))
                driver = classKey + "\\" + number;
        }
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, instance.c_str(), 0, KEY_ALL_ACCESS, &key) !=
            ERROR_SUCCESS) {
            *error = ERROR_KEY_DOES_NOT_EXIST;
            return nullptr;
        }
        SetString(key, "Driver", driver);
        RegCloseKey(key);
    }
    HKEY key;
    LONG result =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, (ClassRoot() + "\\" + driver).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) {
        *error = static_cast<DWORD>(result);
        return nullptr;
    }
    return key;
}

HKEY OpenDeviceKey(const DeviceInfo& device, DWORD* error) {
    std::string path = InstanceKeyPath(device.instanceId);
    if (IsNt())
        path += "\\Device Parameters";
    HKEY key;
    LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) {
        *error = static_cast<DWORD>(result);
        return nullptr;
    }
    return key;
}

} // namespace platform::setupapi::detail

using namespace platform::setupapi::detail;

HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID* ClassGuid, HWND hwndParent) {
    SetLastError(ERROR_SUCCESS);
    return NewSet(ClassGuid, hwndParent);
}

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND hwndParent,
                                     DWORD Flags) {
    if ((!ClassGuid && !(Flags & DIGCF_ALLCLASSES)) || (Flags & DIGCF_DEVICEINTERFACE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // The enumerator may name a device below it as well ("ROOT\TOUCHSCREEN").
    std::vector<std::string> devices;
    std::string start = Enumerator ? Enumerator : "";
    size_t depth = start.empty() ? 0 : 1 + std::count(start.begin(), start.end(), '\\');
    if (depth > 2) {
        SetLastError(ERROR_INVALID_DATA);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::string> level = {start};
    if (!start.empty() && !KeyExists(InstanceKeyPath(start))) {
        SetLastError(ERROR_INVALID_DATA);
        return INVALID_HANDLE_VALUE;
    }
    for (size_t d = depth; d < 3; ++d) {
        std::vector<std::string> next;
        for (const auto& path : level)
            for (const auto& name :
                 SubkeyNames(HKEY_LOCAL_MACHINE, path.empty() ? EnumRoot() : InstanceKeyPath(path)))
                next.push_back(path.empty() ? name : path + "\\" + name);
        level = std::move(next);
    }
    HDEVINFO handle = NewSet((Flags & DIGCF_ALLCLASSES) ? nullptr : ClassGuid, hwndParent);
    auto* set = static_cast<DeviceInfoSet*>(handle);
    for (const auto& id : level) {
        GUID guid{};
        if (!ParseGuid(ReadValue(InstanceKeyPath(id), "ClassGUID"), &guid))
            continue;
        if (!(Flags & DIGCF_ALLCLASSES) && !SameGuid(guid, *ClassGuid))
            continue;
        if ((Flags & DIGCF_PRESENT) && !Present(id))
            continue;
        DeviceInfo* device = AddElement(set, id, guid);
        device->registered = true;
        device->description = ReadValue(InstanceKeyPath(id), "DeviceDesc");
    }
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    std::lock_guard<std::mutex> lock(gMutex);
    auto* set = static_cast<::platform::setupapi::detail::DeviceInfoSet*>(DeviceInfoSet);
    if (!gSets.erase(set)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete set; // phantoms never reached the registry
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI SetupDiCreateDeviceInfoA(HDEVINFO DeviceInfoSet, PCSTR DeviceName,
                                     const GUID* ClassGuid, PCSTR DeviceDescription,
                                     HWND hwndParent, DWORD CreationFlags,
                                     PSP_DEVINFO_DATA DeviceInfoData) {
    (void)hwndParent;
    auto* set = SetFromHandle(DeviceInfoSet);
    DWORD error = ERROR_SUCCESS;
    std::string id = DeviceName ? DeviceName : "";
    if (!set)
        error = ERROR_INVALID_HANDLE;
    else if (!ClassGuid || (CreationFlags & ~(DICD_GENERATE_ID | DICD_INHERIT_CLASSDRVS)))
        error = !ClassGuid ? ERROR_INVALID_PARAMETER : ERROR_INVALID_FLAGS;
    else if (DeviceInfoData && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))
        error = ERROR_INVALID_USER_BUFFER;
    else if (set->hasClass && !SameGuid(set->classGuid, *ClassGuid))
        error = ERROR_CLASS_MISMATCH;
    if (error == ERROR_SUCCESS && (CreationFlags & DICD_GENERATE_ID)) {
        // A root device of that name with the next free instance number.
        std::string base = "ROOT\\" + Upper(id);
        id.clear();
        for (int n = 0; n < 10000 && id.empty(); ++n) {
            char number[8];
            std::snprintf(number, sizeof number, "%04d", n);
            if (!KeyExists(InstanceKeyPath(base + "\\" + number)))
                id = base + "\\" + number;
        }
    }
    if (error == ERROR_SUCCESS && !ValidInstanceId(id))
        error = ERROR_INVALID_DEVINST_NAME;
    if (error == ERROR_SUCCESS) {
        bool taken = KeyExists(InstanceKeyPath(id));
        for (const auto& device : set->devices)
            taken = taken || (EqualNoCase(device->instanceId, id) && !device->removed);
        if (taken)
            error = ERROR_DEVINST_ALREADY_EXISTS;
    }
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    DeviceInfo* device = AddElement(set, id, *ClassGuid);
    device->description = DeviceDescription ? DeviceDescription : "";
    if (DeviceInfoData)
        FillData(*device, DeviceInfoData);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI SetupDiRegisterDeviceInfo(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                      DWORD Flags, PSP_DETSIG_CMPPROC CompareProc,
                                      PVOID CompareContext, PSP_DEVINFO_DATA DupDeviceInfoData) {
    (void)Flags;
    (void)CompareProc;
    (void)CompareContext;
    (void)DupDeviceInfoData;
    auto* set = SetFromHandle(DeviceInfoSet);
    DWORD error = ERROR_INVALID_HANDLE;
    DeviceInfo* device = set ? DeviceFromData(set, DeviceInfoData, &error) : nullptr;
    if (!device) {
        SetLastError(error);
        return FALSE;
    }
    if (device->registered) {
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    HKEY key;
    LONG result =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, InstanceKeyPath(device->instanceId).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(result));
        return FALSE;
    }
    std::string className = ClassNameOf(device->classGuid);
    SetString(key, "ClassGUID", GuidText(device->classGuid));
    if (!className.empty())
        SetString(key, "Class", className);
    if (!device->description.empty())
        SetString(key, "DeviceDesc", device->description);
    RegCloseKey(key);
    device->registered = true;
    Trace("device create instance=" + device->instanceId +
          " class=" + (className.empty() ? GuidText(device->classGuid) : className));
    if (platform::setupapi::DeviceTree* tree = Tree())
        tree->Created(device->instanceId);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI SetupDiSetDeviceInstallParamsA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                           PSP_DEVINSTALL_PARAMS_A DeviceInstallParams) {
    auto* set = SetFromHandle(DeviceInfoSet);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!DeviceInstallParams || DeviceInstallParams->cbSize != sizeof(SP_DEVINSTALL_PARAMS_A)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    // A driver path must be a terminated string within its buffer.
    if (!std::memchr(DeviceInstallParams->DriverPath, 0, MAX_PATH)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SP_DEVINSTALL_PARAMS_A* target = &set->params;
    if (DeviceInfoData) {
        DWORD error;
        DeviceInfo* device = DeviceFromData(set, DeviceInfoData, &error);
        if (!device) {
            SetLastError(error);
            return FALSE;
        }
        target = &device->params;
    }
    *target = *DeviceInstallParams;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                                  PSP_DEVINFO_DATA DeviceInfoData) {
    auto* set = SetFromHandle(DeviceInfoSet);
    DWORD error = ERROR_SUCCESS;
    if (!set)
        error = ERROR_INVALID_HANDLE;
    else if (!DeviceInfoData || DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))
        error = ERROR_INVALID_USER_BUFFER;
    else if (MemberIndex >= set->devices.size())
        error = ERROR_NO_MORE_ITEMS;
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    FillData(*set->devices[MemberIndex], DeviceInfoData);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

HKEY WINAPI SetupDiCreateDevRegKeyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                    DWORD Scope, DWORD HwProfile, DWORD KeyType, HINF InfHandle,
                                    PCSTR InfSectionName) {
    (void)HwProfile;
    auto* set = SetFromHandle(DeviceInfoSet);
    DWORD error = ERROR_INVALID_HANDLE;
    DeviceInfo* device = set ? DeviceFromData(set, DeviceInfoData, &error) : nullptr;
    if (!device) {
        SetLastError(error);
        return kInvalidKey;
    }
    if (Scope != DICS_FLAG_GLOBAL || (KeyType != DIREG_DEV && KeyType != DIREG_DRV)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return kInvalidKey;
    }
    if (!device->registered || device->removed) {
        SetLastError(ERROR_DEVINFO_NOT_REGISTERED);
        return kInvalidKey;
    }
    HKEY key = KeyType == DIREG_DEV ? OpenDeviceKey(*device, &error)
                                    : OpenDriverKey(*device, true, &error);
    if (!key) {
        SetLastError(error);
        return kInvalidKey;
    }
    if (InfHandle && InfHandle != INVALID_HANDLE_VALUE && InfSectionName) {
        InfFile* inf = InfFromHandle(InfHandle);
        const InfSection* section = inf ? inf->Find(InfSectionName) : nullptr;
        error = !inf ? ERROR_INVALID_HANDLE
                : !section
                    ? ERROR_SECTION_NOT_FOUND
                    : InstallSection(*inf, *section, SPINST_REGISTRY, key, "", 0, nullptr, nullptr);
        if (error != ERROR_SUCCESS) {
            RegCloseKey(key);
            SetLastError(error);
            return kInvalidKey;
        }
    }
    SetLastError(ERROR_SUCCESS);
    return key;
}
