#include "machine/registry_text.h"

#include <cctype>
#include <cstdio>
#include <sstream>
#include <vector>

namespace machine {
namespace {

using platform::registry::KeyRef;
using platform::registry::Store;
using platform::registry::Value;

constexpr uint32_t kSz = 1;
constexpr uint32_t kExpandSz = 2;
constexpr uint32_t kBinary = 3;
constexpr uint32_t kDword = 4;
constexpr size_t kBytesPerLine = 24;
const char* const kRoot = "\\REGISTRY";

// Keys that stay when the store is cleared: the link's key and target, the
// hives. The link itself ("CurrentControlSet") is never written or read.
bool IsLink(const std::string& parent, const std::string& name) {
    return name == "CurrentControlSet" && parent == "\\REGISTRY\\Machine\\System";
}
bool Stays(const std::string& path) {
    return path == "\\REGISTRY\\Machine\\System" ||
           path == "\\REGISTRY\\Machine\\System\\ControlSet001" ||
           path.find('\\', std::string(kRoot).size() + 1) == std::string::npos;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

// The ASCII text of UTF-16LE data ending in exactly one NUL (withNul) or in
// none; false when the data holds anything else.
bool PrintableText(const std::vector<uint8_t>& data, bool withNul, std::string* text) {
    if (data.size() % 2 != 0)
        return false;
    size_t units = data.size() / 2;
    if (withNul && (units == 0 || data[data.size() - 2] != 0 || data[data.size() - 1] != 0))
        return false;
    text->clear();
    for (size_t i = 0; i < units - (withNul ? 1 : 0); ++i) {
        unsigned unit = data[2 * i] | data[2 * i + 1] << 8;
        if (unit < 0x20 || unit > 0x7E)
            return false;
        text->push_back(static_cast<char>(unit));
    }
    return true;
}

std::string Hex(const std::vector<uint8_t>& data) {
    std::string out;
    char byte[4];
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        out += byte;
        if (i + 1 < data.size())
            out += (i + 1) % kBytesPerLine == 0 ? ",\\\n  " : ",";
    }
    return out;
}

std::string ValueLine(const Value& value) {
    // Appended, not "\"" + name: GCC 12 at -O3 reports a false overlap in the
    // literal-plus-temporary form.
    std::string line = "@=";
    if (!value.name.empty()) {
        line = "\"";
        line += Escape(value.name);
        line += "\"=";
    }
    std::string text;
    if (value.type == kSz && PrintableText(value.data, true, &text))
        return line + "\"" + Escape(text) + "\"";
    if (value.type == kSz && PrintableText(value.data, false, &text))
        return line + "nonul:\"" + Escape(text) + "\"";
    if (value.type == kExpandSz && PrintableText(value.data, true, &text))
        return line + "expand:\"" + Escape(text) + "\"";
    if (value.type == kDword && value.data.size() == 4) {
        char number[16];
        std::snprintf(number, sizeof number, "dword:%08x",
                      value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                          static_cast<unsigned>(value.data[3]) << 24);
        return line + number;
    }
    if (value.type == kBinary)
        return line + "hex:" + Hex(value.data);
    char type[16];
    std::snprintf(type, sizeof type, "hex(%x):", value.type);
    return line + type + Hex(value.data);
}

void ExportKey(const Store& store, const KeyRef& key, const std::string& path, std::string* out) {
    *out += "[" + path + "]\n";
    for (const Value& value : store.Values(key))
        *out += ValueLine(value) + "\n";
    *out += "\n";
    for (const std::string& name : store.SubkeyNames(key))
        if (!IsLink(path, name))
            ExportKey(store, store.Open(key, name), path + "\\" + name, out);
}

// Empties the store down to the keys that stay, which lose their values.
void Clear(Store& store, const KeyRef& key, const std::string& path) {
    for (const Value& value : store.Values(key))
        store.DeleteValue(key, value.name);
    for (const std::string& name : store.SubkeyNames(key)) {
        const std::string child = path + "\\" + name;
        if (IsLink(path, name))
            continue;
        if (Stays(child))
            Clear(store, store.Open(key, name), child);
        else
            store.DeleteTree(child);
    }
}

// A quoted text at text[*at] (the opening quote), unescaped; *at after it.
bool Unquote(const std::string& text, size_t* at, std::string* out) {
    if (*at >= text.size() || text[*at] != '"')
        return false;
    out->clear();
    for (size_t i = *at + 1; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            out->push_back(text[++i]);
        } else if (text[i] == '"') {
            *at = i + 1;
            return true;
        } else {
            out->push_back(text[i]);
        }
    }
    return false;
}

bool HexDigits(const std::string& text) {
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return !text.empty();
}

bool ParseHex(const std::string& text, std::vector<uint8_t>* data) {
    data->clear();
    std::istringstream bytes(text);
    for (std::string byte; std::getline(bytes, byte, ',');) {
        if (byte.size() != 2 || !HexDigits(byte))
            return false;
        data->push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
    }
    return true;
}

std::vector<uint8_t> Utf16(const std::string& text, bool withNul) {
    std::vector<uint8_t> data;
    for (char c : text) {
        data.push_back(static_cast<uint8_t>(c));
        data.push_back(0);
    }
    if (withNul)
        data.insert(data.end(), {0, 0});
    return data;
}

// One value line (continuations joined) into a value; false when malformed.
bool ParseValue(const std::string& line, Value* value) {
    size_t at = 0;
    if (line.compare(0, 2, "@=") == 0) {
        value->name.clear();
        at = 1;
    } else if (!Unquote(line, &at, &value->name) || at >= line.size() || line[at] != '=') {
        return false;
    }
    const std::string data = line.substr(at + 1);
    std::string text;
    size_t quote = 0;
    const bool nonul = data.compare(0, 6, "nonul:") == 0;
    const bool expand = data.compare(0, 7, "expand:") == 0;
    if (nonul || expand || (!data.empty() && data[0] == '"')) {
        quote = nonul ? 6 : expand ? 7 : 0;
        if (!Unquote(data, &quote, &text) || quote != data.size())
            return false;
        value->type = expand ? kExpandSz : kSz;
        value->data = Utf16(text, !nonul);
        return true;
    }
    if (data.compare(0, 6, "dword:") == 0 && data.size() == 14 && HexDigits(data.substr(6))) {
        unsigned long number = std::stoul(data.substr(6), nullptr, 16);
        value->type = kDword;
        value->data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                       static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
        return true;
    }
    if (data.compare(0, 4, "hex:") == 0) {
        value->type = kBinary;
        return ParseHex(data.substr(4), &value->data);
    }
    size_t close = data.find("):");
    if (data.compare(0, 4, "hex(") == 0 && close != std::string::npos && close > 4 && close <= 12 &&
        HexDigits(data.substr(4, close - 4))) {
        value->type = static_cast<uint32_t>(std::stoul(data.substr(4, close - 4), nullptr, 16));
        return ParseHex(data.substr(close + 2), &value->data);
    }
    return false;
}

} // namespace

std::string ExportRegistry(const Store& store) {
    std::string out = "; the machine's registry: keys in creation order, each with its values\n\n";
    for (const std::string& hive : store.SubkeyNames(store.Open(kRoot)))
        ExportKey(store, store.Open(std::string(kRoot) + "\\" + hive),
                  std::string(kRoot) + "\\" + hive, &out);
    return out;
}

bool ImportRegistry(Store& store, const std::string& text, std::string* error) {
    // Parsed whole first, so a malformed text leaves the store as it was.
    struct Entry {
        std::string key;
        std::vector<Value> values;
    };
    std::vector<Entry> entries;
    std::istringstream lines(text);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        const int first = number;
        while (!line.empty() && line.back() == '\\') {
            std::string next;
            if (!std::getline(lines, next))
                break;
            ++number;
            line.pop_back();
            line += next.substr(next.find_first_not_of(' ') == std::string::npos
                                    ? next.size()
                                    : next.find_first_not_of(' '));
        }
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[' && line.back() == ']') {
            std::string key = line.substr(1, line.size() - 2);
            if (key.compare(0, std::string(kRoot).size() + 1, std::string(kRoot) + "\\") != 0) {
                *error = "line " + std::to_string(first) + ": not a registry key";
                return false;
            }
            entries.push_back({key, {}});
            continue;
        }
        Value value;
        if (entries.empty() || !ParseValue(line, &value)) {
            *error = "line " + std::to_string(first) + ": bad value";
            return false;
        }
        entries.back().values.push_back(std::move(value));
    }
    Clear(store, store.Open(kRoot), kRoot);
    for (const Entry& entry : entries) {
        KeyRef key = store.Create(entry.key);
        for (const Value& value : entry.values)
            store.SetValue(key, value.name, value.type, value.data.data(), value.data.size());
    }
    return true;
}

} // namespace machine
