// The setup library's files held in memory, by upper-case path (Windows
// paths compare without case); copies and deletions only change the map,
// so nothing reaches the host's disk. Shared by the setup library's tests
// and the INF fuzzer.
#pragma once

#include "platform/setupapi/host.h"

#include <cctype>
#include <map>
#include <set>
#include <string>

namespace support {

class MemoryFiles : public platform::setupapi::FileAccess {
public:
    std::map<std::string, std::string> files; // by upper-case path
    std::set<std::string> undeletable;        // upper-case paths
    std::string windows = "C:\\WINDOWS";
    std::string system = "C:\\WINDOWS\\system32";

    static std::string Key(std::string path) {
        for (char& c : path)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        return path;
    }
    void Put(const std::string& path, const std::string& data) { files[Key(path)] = data; }
    bool Has(const std::string& path) const { return files.count(Key(path)) != 0; }

    DWORD Read(const std::string& path, std::string* data) override {
        auto found = files.find(Key(path));
        if (found == files.end())
            return ERROR_FILE_NOT_FOUND;
        *data = found->second;
        return ERROR_SUCCESS;
    }
    DWORD Copy(const std::string& from, const std::string& to) override {
        std::string data;
        if (DWORD error = Read(from, &data); error != ERROR_SUCCESS)
            return error;
        files[Key(to)] = data;
        return ERROR_SUCCESS;
    }
    DWORD Delete(const std::string& path) override {
        if (undeletable.count(Key(path)))
            return ERROR_ACCESS_DENIED;
        return files.erase(Key(path)) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }
    std::string WindowsDirectory() override { return windows; }
    std::string SystemDirectory() override { return system; }
};

} // namespace support
