// The setup library over a registry and an in-memory disk: paths are
// Windows paths compared without case; the device tree records what the
// library tells it.
#pragma once

#include "platform/setupapi/host.h"
#include "tests/support/memory_files.h"
#include "tests/support/ansi_registry.h"
#include "tests/win32base/win32_fixture.h"

#include <map>
#include <set>

namespace setupapi_testing {

using platform::win32::OsKind;
using support::MemoryFiles;
using win32_testing::kPoison;

class RecordingTree : public platform::setupapi::DeviceTree {
public:
    std::vector<std::string> events;
    std::set<std::string> present;
    void Created(const std::string& id) override {
        events.push_back("created " + id);
        present.insert(id);
    }
    void Installed(const std::string& id) override { events.push_back("installed " + id); }
    void Removed(const std::string& id) override {
        events.push_back("removed " + id);
        present.erase(id);
    }
    bool Present(const std::string& id) override { return present.count(id) != 0; }
};

class SetupApiTest : public win32_testing::Win32Test {
protected:
    SetupApiTest() {
        platform::setupapi::SetFileAccess(&disk);
        platform::setupapi::SetDeviceTree(&tree);
    }
    ~SetupApiTest() override {
        platform::setupapi::SetFileAccess(nullptr);
        platform::setupapi::SetDeviceTree(nullptr);
    }

    // Opens text as an INF file of that path (style 2); fails the test if it cannot.
    HINF Open(const std::string& text, const std::string& path = "D:\\test.inf") {
        disk.Put(path, text);
        UINT line = 0;
        HINF inf = SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, &line);
        EXPECT_NE(inf, INVALID_HANDLE_VALUE)
            << "error " << std::hex << GetLastError() << " at line " << std::dec << line;
        return inf;
    }

    // A value as the ANSI calls read it back ("" when missing).
    std::string Text(const std::string& path, const char* name) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return "<no key>";
        char data[512] = "";
        DWORD size = sizeof data - 1, type = 0;
        LONG error =
            RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(key);
        if (error != ERROR_SUCCESS)
            return "<none>";
        if (type == REG_DWORD) {
            DWORD value;
            memcpy(&value, data, 4);
            return std::to_string(value);
        }
        return data;
    }

    bool KeyExists(const std::string& path) { return support::HklmKeyExists(path); }

    MemoryFiles disk;
    RecordingTree tree;
};

} // namespace setupapi_testing
