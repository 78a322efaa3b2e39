// RegQueryValueExA, RegSetValueExA, RegDeleteValueA.
//
// The store keeps the bytes the native calls see, so the ANSI calls convert
// string data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) as Windows does: a set
// widens exactly the cbData bytes given (a missing NUL stays missing), a
// query narrows the stored text and reports its ANSI size.
//
// Every value set is traced, as "<ms> reg set <key>\<name> <type> <data>":
//   REG_SZ and REG_EXPAND_SZ   the text up to its first NUL, quoted: "2"
//   REG_DWORD of 4 bytes       0x00000002
//   anything else              the type, the byte count and, up to 16
//                              bytes, the bytes in hex ("REG_BINARY 2 bytes
//                              0a0b"), else their CRC-32 ("REG_BINARY 10000
//                              bytes crc32=1c291ca3")
// Deletions are traced as "<ms> reg delete <key>\<name>". The default value
// is named "(default)" there.
#include "platform/kernel/kernel.h"
#include "platform/trace/trace.h"
#include "platform/win32/registry_keys.h"
#include "platform/win32/system_info.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace platform::win32::detail;

namespace {

bool IsText(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::string TypeName(DWORD type) {
    switch (type) {
    case REG_NONE:
        return "REG_NONE";
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    default:
        return "type=" + std::to_string(type);
    }
}

uint32_t Crc32(const BYTE* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string DescribeData(DWORD type, const BYTE* data, DWORD size) {
    char text[32];
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        const char* chars = reinterpret_cast<const char*>(data);
        return TypeName(type) + " " +
               platform::trace::Quote(std::string(chars, size > 0 ? strnlen(chars, size) : 0));
    }
    if (type == REG_DWORD && size == 4) {
        uint32_t value = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                         uint32_t(data[3]) << 24;
        std::snprintf(text, sizeof text, "0x%08x", value);
        return TypeName(type) + " " + text;
    }
    std::string described = TypeName(type) + " " + std::to_string(size) + " bytes";
    if (size > 16) {
        std::snprintf(text, sizeof text, " crc32=%08x", Crc32(data, size));
        return described + text;
    }
    if (size > 0)
        described += ' ';
    for (DWORD i = 0; i < size; ++i) {
        std::snprintf(text, sizeof text, "%02x", data[i]);
        described += text;
    }
    return described;
}

std::string ValueDisplay(const OpenKey& open, const std::string& name) {
    return open.display + "\\" + (name.empty() ? "(default)" : name);
}

void Trace(const std::string& text) {
    platform::trace::Emit(platform::kernel::Kernel::Current().Now(), "reg " + text);
}

// The bytes a query of this value reports through the ANSI interface.
std::vector<BYTE> AnsiData(const platform::registry::Value& value) {
    if (!IsText(value.type))
        return value.data;
    std::u16string wide(value.data.size() / 2, u'\0');
    if (!wide.empty())
        std::memcpy(wide.data(), value.data.data(), wide.size() * 2);
    std::string narrow = platform::kernel::Narrow(wide.data(), wide.size());
    return std::vector<BYTE>(narrow.begin(), narrow.end());
}

} // namespace

// How many bytes of a text the ANSI call stores. NT adds the NUL a count
// left out when the byte after the data is that NUL; the 9x family stores
// the whole string with its NUL whatever the count.
static DWORD TextBytesStored(const char* data, DWORD count) {
    if (!platform::win32::System::Current().IsNt())
        return static_cast<DWORD>(std::strlen(data)) + 1;
    if (count > 0 && data[count - 1] != '\0' && data[count] == '\0')
        return count + 1;
    return count;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved != NULL || (lpData != NULL && lpcbData == NULL))
        return ERROR_INVALID_PARAMETER;
    OpenKey open;
    LONG error = ResolveKeyFor(hKey, KEY_QUERY_VALUE, &open);
    if (error != ERROR_SUCCESS)
        return error;
    auto value = Registry().GetValue(open.key, lpValueName ? lpValueName : "");
    if (!value) {
        if (lpData == NULL && lpcbData != NULL)
            *lpcbData = 0;
        return ERROR_FILE_NOT_FOUND;
    }
    std::vector<BYTE> data = AnsiData(*value);
    DWORD size = static_cast<DWORD>(data.size());
    if (lpType != NULL)
        *lpType = value->type;
    if (lpData != NULL && size > *lpcbData) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData != NULL && size > 0)
        std::memcpy(lpData, data.data(), size);
    // A text stored without its NUL gets one where the buffer has room;
    // the size reported stays the stored one.
    if (lpData != NULL && IsText(value->type) && size > 0 && data[size - 1] != 0 &&
        size < *lpcbData)
        lpData[size] = 0;
    if (lpcbData != NULL)
        *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                           const BYTE* lpData, DWORD cbData) {
    UNREFERENCED_PARAMETER(Reserved);
    OpenKey open;
    LONG error = ResolveKeyFor(hKey, KEY_SET_VALUE, &open);
    if (error != ERROR_SUCCESS)
        return error;
    if (lpData == NULL && cbData != 0)
        return ERROR_NOACCESS;
    std::string name = lpValueName ? lpValueName : "";
    if (IsText(dwType) && lpData != NULL)
        cbData = TextBytesStored(reinterpret_cast<const char*>(lpData), cbData);
    std::vector<BYTE> stored;
    if (cbData > 0)
        stored.assign(lpData, lpData + cbData);
    if (IsText(dwType) && cbData > 0) {
        std::u16string wide =
            platform::kernel::Widen(std::string(reinterpret_cast<const char*>(lpData), cbData));
        stored.resize(wide.size() * 2);
        std::memcpy(stored.data(), wide.data(), stored.size());
    }
    if (!Registry().SetValue(open.key, name, dwType, stored.data(), stored.size()))
        return ERROR_KEY_DELETED;
    Trace("set " + ValueDisplay(open, name) + " " + DescribeData(dwType, lpData, cbData));
    return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    OpenKey open;
    LONG error = ResolveKeyFor(hKey, KEY_SET_VALUE, &open);
    if (error != ERROR_SUCCESS)
        return error;
    std::string name = lpValueName ? lpValueName : "";
    if (!Registry().DeleteValue(open.key, name))
        return ERROR_FILE_NOT_FOUND;
    Trace("delete " + ValueDisplay(open, name));
    return ERROR_SUCCESS;
}
