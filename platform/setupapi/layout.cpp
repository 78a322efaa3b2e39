// Where each system keeps devices, classes and services, and the small
// registry helpers every area of the library shares.
#include "platform/kernel/kernel.h"
#include "platform/setupapi/host_state.h"
#include "platform/trace/trace.h"
#include "platform/win32/system_info.h"

#include <cstdio>
#include <vector>

namespace platform::setupapi::detail {

bool IsNt() {
    return win32::System::Current().IsNt();
}

std::string EnumRoot() {
    return IsNt() ? "SYSTEM\\CurrentControlSet\\Enum" : "Enum";
}

std::string ClassRoot() {
    return IsNt() ? "SYSTEM\\CurrentControlSet\\Control\\Class"
                  : "System\\CurrentControlSet\\Services\\Class";
}

std::string ServicesRoot() {
    return "SYSTEM\\CurrentControlSet\\Services";
}

std::string GuidText(const GUID& guid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  guid.Data1, guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                  guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

bool ParseGuid(const std::string& text, GUID* guid) {
    unsigned d1, d2, d3, b[8];
    int used = 0;
    if (text.size() != 38 ||
        std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}%n", &d1, &d2, &d3, &b[0],
                    &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7], &used) != 11 ||
        used != 38)
        return false;
    guid->Data1 = d1;
    guid->Data2 = static_cast<USHORT>(d2);
    guid->Data3 = static_cast<USHORT>(d3);
    for (int i = 0; i < 8; ++i)
        guid->Data4[i] = static_cast<UCHAR>(b[i]);
    return true;
}

void SetString(HKEY key, const char* name, const std::string& value) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

std::string QueryString(HKEY key, const char* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return "";
    std::vector<char> data(size + 1, 0);
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return "";
    return std::string(data.data());
}

bool DeleteTree(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    for (;;) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (!DeleteTree(key, name))
            break;
    }
    RegCloseKey(key);
    return RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS;
}

void Trace(const std::string& text) {
    trace::Emit(kernel::Kernel::Current().Now(), text);
}

} // namespace platform::setupapi::detail
