// The .res image format: a sequence of entries, each a header (data size,
// header size, type and name as sz_Or_Ord, DWORD-aligned, then version,
// flags, language, version, characteristics) followed by the data, each
// entry DWORD-aligned. The first entry is an empty marker.
#include "platform/win32/resources.h"

#include "platform/win32/runtime.h"
#include "platform/win32/system_modules.h"
#include "platform/win32/text_utf.h"
#include "platform/win32/win_base.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <strings.h>
#include <vector>

namespace platform::win32 {
namespace {

constexpr UINT_PTR kFirstInstance = 0x400000;
constexpr UINT_PTR kInstanceStride = 0x100000;

struct Key {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::string text; // upper case
};

struct Entry {
    Key type;
    Key name;
    detail::ResourceEntry resource;
};

struct Module {
    std::string name;
    HINSTANCE instance;
    std::vector<Entry> entries;
};

struct Registry {
    std::mutex mutex;
    std::vector<std::unique_ptr<Module>> modules;
};

Registry& Modules() {
    static Registry registry;
    return registry;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = char(c - 'a' + 'A');
        }
    }
    return text;
}

bool ReadKey(const BYTE* data, size_t end, size_t* offset, Key* key) {
    if (*offset + 2 > end) {
        return false;
    }
    WORD first;
    std::memcpy(&first, data + *offset, 2);
    if (first == 0xFFFF) {
        if (*offset + 4 > end) {
            return false;
        }
        key->isOrdinal = true;
        std::memcpy(&key->ordinal, data + *offset + 2, 2);
        *offset += 4;
        return true;
    }
    if (!detail::ReadUtf16String(data, end, offset, &key->text)) {
        return false;
    }
    key->text = Upper(key->text);
    return true;
}

bool ParseRes(const unsigned char* data, size_t size, std::vector<Entry>* entries) {
    size_t offset = 0;
    while (offset + 8 <= size) {
        DWORD dataSize;
        DWORD headerSize;
        std::memcpy(&dataSize, data + offset, 4);
        std::memcpy(&headerSize, data + offset + 4, 4);
        if (headerSize < 16 || headerSize > size - offset ||
            dataSize > size - offset - headerSize) {
            return false;
        }
        size_t headerEnd = offset + headerSize;
        size_t cursor = offset + 8;
        Entry entry;
        if (!ReadKey(data, headerEnd, &cursor, &entry.type) ||
            !ReadKey(data, headerEnd, &cursor, &entry.name)) {
            return false;
        }
        entry.resource.data = data + headerEnd;
        entry.resource.size = dataSize;
        bool marker = entry.type.isOrdinal && entry.type.ordinal == 0 && dataSize == 0;
        if (!marker) {
            entries->push_back(std::move(entry));
        }
        offset = (headerEnd + dataSize + 3) & ~size_t(3);
    }
    return true;
}

Key KeyOf(LPCSTR name) {
    Key key;
    if (IS_INTRESOURCE(name)) {
        key.isOrdinal = true;
        key.ordinal = (WORD)(ULONG_PTR)name;
    } else if (name[0] == '#') {
        key.isOrdinal = true;
        key.ordinal = (WORD)std::strtoul(name + 1, nullptr, 10);
    } else {
        key.text = Upper(name);
    }
    return key;
}

bool Same(const Key& a, const Key& b) {
    return a.isOrdinal == b.isOrdinal && (a.isOrdinal ? a.ordinal == b.ordinal : a.text == b.text);
}

Module* ModuleOf(HINSTANCE instance) {
    Registry& registry = Modules();
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (auto& module : registry.modules) {
        if (module->instance == instance) {
            return module.get();
        }
    }
    return nullptr;
}

} // namespace

ResourceModuleRegistration::ResourceModuleRegistration(const char* module,
                                                       const unsigned char* data, size_t size) {
    auto m = std::make_unique<Module>();
    m->name = module;
    if (!ParseRes(data, size, &m->entries)) {
        std::fprintf(stderr, "win32: the resources of %s are malformed\n", module);
        std::abort();
    }
    Registry& registry = Modules();
    std::lock_guard<std::mutex> lock(registry.mutex);
    m->instance = reinterpret_cast<HINSTANCE>(kFirstInstance +
                                              kInstanceStride * (registry.modules.size() + 1));
    registry.modules.push_back(std::move(m));
}

HINSTANCE ModuleInstance(const std::string& module) {
    Registry& registry = Modules();
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (auto& m : registry.modules) {
        if (strcasecmp(m->name.c_str(), module.c_str()) == 0) {
            return m->instance;
        }
    }
    return reinterpret_cast<HINSTANCE>(kFirstInstance);
}

namespace detail {

HINSTANCE CallerInstance() {
    const ProcessInfo* process = CurrentProcess();
    return process != nullptr ? process->instance : reinterpret_cast<HINSTANCE>(kFirstInstance);
}

const ResourceEntry* FindModuleResource(HINSTANCE instance, LPCSTR name, LPCSTR type) {
    if (name == nullptr || type == nullptr) {
        return nullptr;
    }
    Module* module = ModuleOf(instance != nullptr ? instance : CallerInstance());
    if (module == nullptr) {
        return nullptr;
    }
    Key typeKey = KeyOf(type);
    Key nameKey = KeyOf(name);
    for (const Entry& entry : module->entries) {
        if (Same(entry.type, typeKey) && Same(entry.name, nameKey)) {
            return &entry.resource;
        }
    }
    return nullptr;
}

} // namespace detail
} // namespace platform::win32

using namespace platform::win32::detail;
using platform::win32::Runtime;

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName == nullptr) {
        return CallerInstance();
    }
    std::string name = lpModuleName;
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) {
        name = name.substr(slash + 1);
    }
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        name = name.substr(0, dot);
    }
    if (HMODULE system = platform::win32::detail::SystemModule(name)) {
        return system;
    }
    HINSTANCE instance = platform::win32::ModuleInstance(name);
    if (instance == platform::win32::ModuleInstance("")) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return instance;
}

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    const ResourceEntry* entry = FindModuleResource(hModule, lpName, lpType);
    if (entry == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(entry));
}

HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
    UNREFERENCED_PARAMETER(hModule);
    if (hResInfo == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return const_cast<BYTE*>(reinterpret_cast<const ResourceEntry*>(hResInfo)->data);
}

LPVOID WINAPI LockResource(HGLOBAL hResData) {
    return hResData;
}

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
    UNREFERENCED_PARAMETER(hModule);
    return hResInfo != nullptr ? reinterpret_cast<const ResourceEntry*>(hResInfo)->size : 0;
}

BOOL WINAPI FreeResource(HGLOBAL hResData) {
    UNREFERENCED_PARAMETER(hResData);
    return FALSE;
}

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    // Strings come in blocks of 16, block n + 1 holding ids 16n to 16n + 15,
    // each a count followed by that many UTF-16 units.
    const ResourceEntry* block =
        FindModuleResource(hInstance, MAKEINTRESOURCEA((uID >> 4) + 1), RT_STRING);
    if (lpBuffer == nullptr || cchBufferMax <= 0) {
        return 0;
    }
    lpBuffer[0] = '\0';
    if (block == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    size_t offset = 0;
    for (UINT index = 0; index <= (uID & 15); ++index) {
        if (offset + 2 > block->size) {
            return 0;
        }
        WORD length;
        std::memcpy(&length, block->data + offset, 2);
        offset += 2;
        if (index == (uID & 15)) {
            if (offset + 2 * size_t(length) > block->size) {
                return 0;
            }
            std::u16string text(length, u'\0');
            std::memcpy(text.data(), block->data + offset, 2 * size_t(length));
            std::string ansi = AnsiFromUtf16(text.data(), text.size());
            int n = std::min<int>((int)ansi.size(), cchBufferMax - 1);
            std::memcpy(lpBuffer, ansi.data(), n);
            lpBuffer[n] = '\0';
            return n;
        }
        offset += 2 * size_t(length);
    }
    return 0;
}
