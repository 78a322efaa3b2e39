// reg set, reg delete: through the ANSI registry calls of the Win32 stand-in,
// as a program (or the registry editor) writes, so the calls leave their
// usual "reg ..." trace lines.
#include "touchsim/numbers.h"
#include "touchsim/script_error.h"
#include "touchsim/verb_table.h"

#include "platform/win32/windows.h"

#include <cmath>
#include <cstring>
#include <strings.h>

namespace touchsim::detail {
namespace {

constexpr int kTableEntries = 5000;

struct KeyPath {
    HKEY root;
    std::string subkey;
};

KeyPath ParseKey(const ScriptLine& line, const std::string& key) {
    static const struct {
        const char* name;
        HKEY root;
    } kRoots[] = {
        {"HKLM", HKEY_LOCAL_MACHINE}, {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKCU", HKEY_CURRENT_USER},  {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKCR", HKEY_CLASSES_ROOT},  {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKU", HKEY_USERS},          {"HKEY_USERS", HKEY_USERS},
    };
    size_t slash = key.find('\\');
    std::string root = key.substr(0, slash);
    for (const auto& known : kRoots) {
        if (strcasecmp(root.c_str(), known.name) == 0)
            return {known.root, slash == std::string::npos ? "" : key.substr(slash + 1)};
    }
    throw ScriptError(line.number,
                      "bad key \"" + key + "\" (HKLM\\..., HKCU\\..., HKCR\\..., HKU\\...)");
}

std::vector<BYTE> HexBytes(const ScriptLine& line, size_t from) {
    std::vector<BYTE> bytes;
    for (size_t i = from; i < line.words.size(); ++i) {
        const std::string& word = line.words[i].text;
        if (word.size() % 2 != 0)
            throw ScriptError(line.number, "bad hex bytes \"" + word + "\"");
        for (size_t j = 0; j < word.size(); j += 2)
            bytes.push_back(
                static_cast<BYTE>(ParseUnsigned(line.number, "0x" + word.substr(j, 2), 0xFF)));
    }
    return bytes;
}

// entry i = clamp(floor(K * i + C), 0, 65535), 16-bit little-endian.
std::vector<BYTE> Table(double k, double c) {
    std::vector<BYTE> bytes;
    for (int i = 0; i < kTableEntries; ++i) {
        double value = std::floor(k * i + c);
        auto entry = static_cast<uint16_t>(value < 0 ? 0 : value > 65535 ? 65535 : value);
        bytes.push_back(static_cast<BYTE>(entry));
        bytes.push_back(static_cast<BYTE>(entry >> 8));
    }
    return bytes;
}

void Check(int line, const char* what, LONG error) {
    if (error != ERROR_SUCCESS)
        throw ScriptError(line, std::string(what) + " failed with error " + std::to_string(error));
}

Action Set(int number, KeyPath key, std::string value, DWORD type, std::vector<BYTE> data) {
    return [=](Session& session) {
        session.Machine();
        HKEY handle;
        DWORD disposition;
        Check(number, "reg set",
              RegCreateKeyExA(key.root, key.subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_WRITE, nullptr, &handle, &disposition));
        LONG error = RegSetValueExA(handle, value.c_str(), 0, type, data.data(),
                                    static_cast<DWORD>(data.size()));
        RegCloseKey(handle);
        Check(number, "reg set", error);
        session.Machine().Settle();
    };
}

Action ParseSet(const ScriptLine& line) {
    KeyPath key = ParseKey(line, Need(line, 2, "KEY"));
    const std::string& value = Need(line, 3, "VALUE");
    const std::string& type = Need(line, 4, "TYPE (sz, dword, binary or table)");
    if (type == "sz") {
        NoMoreThan(line, 6);
        const std::string& text = Need(line, 5, "TEXT");
        std::vector<BYTE> data(text.begin(), text.end());
        data.push_back(0);
        return Set(line.number, key, value, REG_SZ, data);
    }
    if (type == "dword") {
        NoMoreThan(line, 6);
        auto n = static_cast<uint32_t>(ParseUnsigned(line.number, Need(line, 5, "N"), UINT32_MAX));
        std::vector<BYTE> data(4);
        std::memcpy(data.data(), &n, 4); // the host is little-endian, as Windows is
        return Set(line.number, key, value, REG_DWORD, data);
    }
    if (type == "binary")
        return Set(line.number, key, value, REG_BINARY, HexBytes(line, 5));
    if (type == "table") {
        NoMoreThan(line, 7);
        double k = ParseReal(line.number, Need(line, 5, "K"));
        double c = ParseReal(line.number, Need(line, 6, "C"));
        return Set(line.number, key, value, REG_BINARY, Table(k, c));
    }
    throw ScriptError(line.number, "bad type \"" + type + "\" (sz, dword, binary or table)");
}

Action ParseDelete(const ScriptLine& line) {
    NoMoreThan(line, 4);
    KeyPath key = ParseKey(line, Need(line, 2, "KEY"));
    const int number = line.number;
    if (line.words.size() == 3) {
        return [=](Session& session) {
            session.Machine();
            Check(number, "reg delete", RegDeleteKeyA(key.root, key.subkey.c_str()));
            session.Machine().Settle();
        };
    }
    std::string value = line.words[3].text;
    return [=](Session& session) {
        session.Machine();
        HKEY handle;
        Check(number, "reg delete",
              RegOpenKeyExA(key.root, key.subkey.c_str(), 0, KEY_SET_VALUE, &handle));
        LONG error = RegDeleteValueA(handle, value.c_str());
        RegCloseKey(handle);
        Check(number, "reg delete", error);
        session.Machine().Settle();
    };
}

Action ParseReg(const ScriptLine& line) {
    const std::string& what = Need(line, 1, "set or delete");
    if (what == "set")
        return ParseSet(line);
    if (what == "delete")
        return ParseDelete(line);
    throw ScriptError(line.number, "unknown reg action \"" + what + "\"");
}

} // namespace

std::vector<VerbSpec> RegistryVerbs() {
    return {
        {"reg",
         "reg set KEY VALUE sz TEXT | dword N | binary HEXBYTES | table K C\n"
         "reg delete KEY [VALUE]",
         "Writes or deletes a registry value (or, without VALUE, a key) through the ANSI "
         "registry calls. KEY is HKLM\\..., HKCU\\..., HKCR\\... or HKU\\...; reg set creates "
         "it when missing. sz TEXT is stored with its NUL; binary takes hex bytes such as "
         "01 02 0a; table writes a REG_BINARY of 5000 16-bit little-endian entries, entry i "
         "being clamp(floor(K*i + C), 0, 65535). Quote words that hold blanks.",
         false, ParseReg},
    };
}

} // namespace touchsim::detail
