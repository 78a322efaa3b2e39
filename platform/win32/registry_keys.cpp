// RegOpenKeyExA, RegCreateKeyExA, RegDeleteKeyA, RegEnumKeyExA, RegCloseKey.
#include "platform/win32/registry_keys.h"

#include "platform/kernel/kernel.h"
#include "platform/registry/names.h"
#include "platform/trace/trace.h"
#include "platform/win32/handle_table.h"
#include "platform/win32/system_info.h"

#include <cstring>

namespace platform::win32::detail {
namespace {

constexpr ACCESS_MASK kWriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE |
                                     WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

struct KeyObject : HandleObject {
    OpenKey open;
};

struct Predefined {
    HKEY handle;
    const char* path;
    const char* display;
};

const Predefined kPredefined[] = {
    {HKEY_LOCAL_MACHINE, "\\REGISTRY\\Machine", "HKLM"},
    {HKEY_CURRENT_USER, "\\REGISTRY\\User\\.Default", "HKCU"},
    {HKEY_USERS, "\\REGISTRY\\User", "HKU"},
    {HKEY_CLASSES_ROOT, "\\REGISTRY\\Machine\\Software\\Classes", "HKCR"},
};

bool UnderMachine(const registry::KeyRef& key) {
    std::string path = Registry().PathOf(key);
    const std::string machine = "\\REGISTRY\\Machine";
    return path.size() >= machine.size() &&
           registry::NamesEqual(std::string_view(path).substr(0, machine.size()), machine) &&
           (path.size() == machine.size() || path[machine.size()] == '\\');
}

// What an open with `desired` grants on `key`, or ERROR_ACCESS_DENIED.
LONG Grant(const registry::KeyRef& key, REGSAM desired, ACCESS_MASK* granted) {
    const System& system = System::Current();
    if (!system.IsNt()) {
        *granted = KEY_ALL_ACCESS; // no registry security on 9x
        return ERROR_SUCCESS;
    }
    if (system.LimitedUser() && (desired & kWriteAccess) != 0 && UnderMachine(key))
        return ERROR_ACCESS_DENIED;
    *granted = desired;
    if (desired & GENERIC_ALL)
        *granted |= KEY_ALL_ACCESS;
    if (desired & GENERIC_READ)
        *granted |= KEY_READ;
    if (desired & GENERIC_WRITE)
        *granted |= KEY_WRITE;
    return ERROR_SUCCESS;
}

HKEY Insert(OpenKey open) {
    auto object = std::make_shared<KeyObject>();
    object->open = std::move(open);
    return reinterpret_cast<HKEY>(InsertHandle(std::move(object)));
}

bool ValidSubkey(const std::string& subkey) {
    return registry::SplitPath(subkey).has_value();
}

void Trace(const std::string& text) {
    trace::Emit(kernel::Kernel::Current().Now(), "reg " + text);
}

// Resolves hKey and looks up lpSubKey below it; *key stays null when the
// subkey does not exist. An empty or missing subkey names hKey itself.
LONG LocateSubkey(HKEY hKey, LPCSTR lpSubKey, OpenKey* parent, std::string* subkey,
                  registry::KeyRef* key) {
    LONG error = ResolveKey(hKey, parent);
    if (error != ERROR_SUCCESS)
        return error;
    *subkey = lpSubKey ? lpSubKey : "";
    if (!ValidSubkey(*subkey))
        return ERROR_BAD_PATHNAME;
    *key = subkey->empty() ? parent->key : Registry().Open(parent->key, *subkey);
    return ERROR_SUCCESS;
}

} // namespace

registry::Store& Registry() {
    return kernel::Kernel::Current().Registry();
}

LONG ResolveKey(HKEY handle, OpenKey* open) {
    for (const Predefined& root : kPredefined) {
        if (handle != root.handle)
            continue;
        open->key = Registry().Create(root.path);
        open->display = root.display;
        bool limited = System::Current().IsNt() && System::Current().LimitedUser() &&
                       root.handle != HKEY_CURRENT_USER;
        open->access = limited ? KEY_READ : KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    auto object = FindHandleAs<KeyObject>(reinterpret_cast<uintptr_t>(handle));
    if (!object)
        return ERROR_INVALID_HANDLE;
    if (Registry().IsDeleted(object->open.key))
        return ERROR_KEY_DELETED;
    *open = object->open;
    return ERROR_SUCCESS;
}

LONG CheckAccess(const OpenKey& open, ACCESS_MASK needed) {
    if (!System::Current().IsNt())
        return ERROR_SUCCESS;
    return (open.access & needed) == needed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG ResolveKeyFor(HKEY handle, ACCESS_MASK needed, OpenKey* open) {
    LONG error = ResolveKey(handle, open);
    return error == ERROR_SUCCESS ? CheckAccess(*open, needed) : error;
}

std::string JoinDisplay(const std::string& display, const std::string& subkey) {
    return subkey.empty() ? display : display + "\\" + subkey;
}

} // namespace platform::win32::detail

using namespace platform::win32::detail;
using platform::registry::KeyRef;
using platform::win32::System;

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult) {
    UNREFERENCED_PARAMETER(ulOptions);
    if (phkResult == NULL)
        return ERROR_INVALID_PARAMETER;
    *phkResult = NULL;
    OpenKey parent;
    std::string subkey;
    OpenKey open;
    LONG error = LocateSubkey(hKey, lpSubKey, &parent, &subkey, &open.key);
    if (error != ERROR_SUCCESS)
        return error;
    if (!open.key)
        return ERROR_FILE_NOT_FOUND;
    error = Grant(open.key, samDesired, &open.access);
    if (error != ERROR_SUCCESS)
        return error;
    open.display = JoinDisplay(parent.display, subkey);
    *phkResult = Insert(std::move(open));
    return ERROR_SUCCESS;
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                            DWORD dwOptions, REGSAM samDesired,
                            const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
    UNREFERENCED_PARAMETER(Reserved);
    UNREFERENCED_PARAMETER(lpClass);
    UNREFERENCED_PARAMETER(lpSecurityAttributes);
    if (phkResult == NULL)
        return ERROR_INVALID_PARAMETER;
    *phkResult = NULL;
    if (lpSubKey == NULL || (dwOptions & ~REG_OPTION_VOLATILE))
        return ERROR_INVALID_PARAMETER;
    OpenKey parent;
    std::string subkey;
    OpenKey open;
    LONG error = LocateSubkey(hKey, lpSubKey, &parent, &subkey, &open.key);
    if (error != ERROR_SUCCESS)
        return error;
    bool created = false;
    if (!open.key) {
        error = CheckAccess(parent, KEY_CREATE_SUB_KEY);
        if (error != ERROR_SUCCESS)
            return error;
        open.key = Registry().Create(parent.key, subkey, &created);
        if (!open.key)
            return ERROR_KEY_DELETED;
    }
    error = Grant(open.key, samDesired, &open.access);
    if (error != ERROR_SUCCESS)
        return error;
    open.display = JoinDisplay(parent.display, subkey);
    if (created)
        Trace("create " + open.display);
    if (lpdwDisposition)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = Insert(std::move(open));
    return ERROR_SUCCESS;
}

// NT deletes only a key without subkeys (ERROR_ACCESS_DENIED otherwise);
// 9x deletes the whole tree.
LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    OpenKey parent;
    std::string subkey;
    KeyRef key;
    LONG error = LocateSubkey(hKey, lpSubKey, &parent, &subkey, &key);
    if (error != ERROR_SUCCESS)
        return error;
    if (!key)
        return ERROR_FILE_NOT_FOUND;
    ACCESS_MASK granted;
    error = Grant(key, DELETE, &granted);
    if (error != ERROR_SUCCESS)
        return error;
    bool deleted = System::Current().IsNt() ? Registry().DeleteKey(key)
                                            : Registry().DeleteTree(Registry().PathOf(key));
    if (!deleted)
        return ERROR_ACCESS_DENIED;
    Trace("delete-key " + JoinDisplay(parent.display, subkey));
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime) {
    if (lpName == NULL || lpcchName == NULL || lpReserved != NULL)
        return ERROR_INVALID_PARAMETER;
    OpenKey open;
    LONG error = ResolveKeyFor(hKey, KEY_ENUMERATE_SUB_KEYS, &open);
    if (error != ERROR_SUCCESS)
        return error;
    std::vector<std::string> names = Registry().SubkeyNames(open.key);
    if (dwIndex >= names.size())
        return ERROR_NO_MORE_ITEMS;
    const std::string& name = names[dwIndex];
    if (name.size() + 1 > *lpcchName)
        return ERROR_MORE_DATA;
    std::memcpy(lpName, name.c_str(), name.size() + 1);
    *lpcchName = static_cast<DWORD>(name.size());
    if (lpClass != NULL && lpcchClass != NULL && *lpcchClass > 0) {
        lpClass[0] = '\0';
        *lpcchClass = 0;
    }
    if (lpftLastWriteTime != NULL)
        *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY hKey) {
    for (const Predefined& root : kPredefined) {
        if (hKey == root.handle)
            return ERROR_SUCCESS;
    }
    auto object = FindHandleAs<KeyObject>(reinterpret_cast<uintptr_t>(hKey));
    if (!object)
        return ERROR_INVALID_HANDLE;
    RemoveHandle(reinterpret_cast<uintptr_t>(hKey));
    return ERROR_SUCCESS;
}
