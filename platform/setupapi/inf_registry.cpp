// AddReg and DelReg lines: "root, subkey, value name, flags, value...".
// Roots HKCR, HKCU, HKLM, HKU and HKR (the caller's relative key); a line
// with another root is skipped. Strings are stored with their terminating
// NUL, as the setup library writes them.
#include "platform/setupapi/inf_install.h"

#include "platform/setupapi/host_state.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform::setupapi::detail {
namespace {

constexpr DWORD kBinary = 0x00000001;
constexpr DWORD kNoClobber = 0x00000002;
constexpr DWORD kDelVal = 0x00000004;
constexpr DWORD kAppend = 0x00000008;
constexpr DWORD kKeyOnly = 0x00000010;
constexpr DWORD kOverwriteOnly = 0x00000020;
constexpr DWORD kTypeMask = 0xFFFF0000 | kBinary;
constexpr DWORD kTypeMultiSz = 0x00010000;
constexpr DWORD kTypeExpandSz = 0x00020000;
constexpr DWORD kTypeDword = 0x00010001;
constexpr DWORD kTypeNone = 0x00020001;

HKEY RootOf(const std::string& name, HKEY relative) {
    if (EqualNoCase(name, "HKR"))
        return relative;
    if (EqualNoCase(name, "HKLM"))
        return HKEY_LOCAL_MACHINE;
    if (EqualNoCase(name, "HKCU"))
        return HKEY_CURRENT_USER;
    if (EqualNoCase(name, "HKCR"))
        return HKEY_CLASSES_ROOT;
    if (EqualNoCase(name, "HKU"))
        return HKEY_USERS;
    return nullptr;
}

DWORD Number(const std::string& text) {
    return static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 0));
}

// The bytes of the value that fields [4..] describe; *type receives its type.
std::vector<BYTE> ValueData(const InfFile& inf, const InfLine& line, DWORD flags, DWORD* type) {
    std::vector<BYTE> data;
    DWORD kind = flags & kTypeMask;
    if (kind == kTypeDword && line.fields.size() == 5) {
        *type = REG_DWORD;
        DWORD value = Number(inf.Field(line, 4));
        for (int i = 0; i < 4; ++i)
            data.push_back(static_cast<BYTE>(value >> (8 * i)));
        return data;
    }
    if (flags & kBinary) {
        *type = kind == kTypeDword ? REG_DWORD : kind == kTypeNone ? REG_NONE : REG_BINARY;
        for (size_t i = 4; i < line.fields.size(); ++i)
            data.push_back(
                static_cast<BYTE>(std::strtoul(inf.Field(line, i).c_str(), nullptr, 16)));
        return data;
    }
    if (kind == kTypeMultiSz) {
        *type = REG_MULTI_SZ;
        for (size_t i = 4; i < line.fields.size(); ++i) {
            std::string item = inf.Field(line, i);
            data.insert(data.end(), item.begin(), item.end());
            data.push_back(0);
        }
        data.push_back(0);
        return data;
    }
    *type = kind == kTypeExpandSz ? REG_EXPAND_SZ : REG_SZ;
    std::string text = inf.Field(line, 4);
    data.assign(text.begin(), text.end());
    data.push_back(0);
    return data;
}

// REG_MULTI_SZ append: the strings of `add` not yet in `existing`.
std::vector<BYTE> Appended(HKEY key, const std::string& name, const std::vector<BYTE>& add) {
    std::vector<std::string> items;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_MULTI_SZ) {
        std::vector<BYTE> old(size + 2, 0);
        RegQueryValueExA(key, name.c_str(), nullptr, &type, old.data(), &size);
        for (const char* p = reinterpret_cast<const char*>(old.data()); *p; p += strlen(p) + 1)
            items.push_back(p);
    }
    for (const char* p = reinterpret_cast<const char*>(add.data()); *p; p += strlen(p) + 1) {
        bool present = false;
        for (const auto& item : items)
            present = present || EqualNoCase(item, p);
        if (!present)
            items.push_back(p);
    }
    std::vector<BYTE> data;
    for (const auto& item : items) {
        data.insert(data.end(), item.begin(), item.end());
        data.push_back(0);
    }
    data.push_back(0);
    return data;
}

DWORD AddRegLine(const InfFile& inf, const InfLine& line, HKEY relative) {
    HKEY root = RootOf(inf.Field(line, 0), relative);
    if (!root)
        return ERROR_SUCCESS;
    std::string subkey = inf.Field(line, 1);
    std::string name = inf.Field(line, 2);
    DWORD flags = Number(inf.Field(line, 3));
    HKEY key;
    if (flags & kOverwriteOnly) {
        if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return ERROR_SUCCESS;
    } else {
        LONG error = RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (error != ERROR_SUCCESS)
            return static_cast<DWORD>(error);
    }
    LONG error = ERROR_SUCCESS;
    bool exists =
        RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    if (flags & kDelVal) {
        if (exists)
            error = RegDeleteValueA(key, name.c_str());
    } else if (line.fields.size() > 2 && !(flags & kKeyOnly) && !((flags & kNoClobber) && exists) &&
               !((flags & kOverwriteOnly) && !exists)) {
        DWORD type = REG_SZ;
        std::vector<BYTE> data = ValueData(inf, line, flags, &type);
        if ((flags & kAppend) && type == REG_MULTI_SZ)
            data = Appended(key, name, data);
        error = RegSetValueExA(key, name.c_str(), 0, type, data.data(),
                               static_cast<DWORD>(data.size()));
    }
    RegCloseKey(key);
    return static_cast<DWORD>(error);
}

DWORD DelRegLine(const InfFile& inf, const InfLine& line, HKEY relative) {
    HKEY root = RootOf(inf.Field(line, 0), relative);
    if (!root)
        return ERROR_SUCCESS;
    std::string subkey = inf.Field(line, 1);
    if (line.fields.size() < 3) {
        if (!subkey.empty())
            DeleteTree(root, subkey);
        return ERROR_SUCCESS;
    }
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, inf.Field(line, 2).c_str());
        RegCloseKey(key);
    }
    return ERROR_SUCCESS;
}

} // namespace

DWORD InstallRegistrySections(const InfFile& inf, const InfSection& install, HKEY relative) {
    // Windows runs every DelReg section before the AddReg sections.
    for (const char* directive : {"DelReg", "AddReg"}) {
        bool add = directive[0] == 'A';
        for (const std::string& name : SectionList(inf, install, directive)) {
            const InfSection* section = inf.Find(name);
            if (!section)
                return ERROR_SECTION_NOT_FOUND;
            for (const auto& line : section->lines) {
                DWORD error =
                    add ? AddRegLine(inf, line, relative) : DelRegLine(inf, line, relative);
                if (error != ERROR_SUCCESS)
                    return error;
            }
        }
    }
    return ERROR_SUCCESS;
}

std::vector<std::string> SectionList(const InfFile& inf, const InfSection& install,
                                     const std::string& directive) {
    std::vector<std::string> names;
    for (const auto& line : install.lines)
        if (EqualNoCase(line.key, directive))
            for (size_t i = 0; i < line.fields.size(); ++i)
                if (std::string name = inf.Field(line, i); !name.empty())
                    names.push_back(name);
    return names;
}

} // namespace platform::setupapi::detail
