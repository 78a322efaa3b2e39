#include "platform/setupapi/host.h"

#include "platform/setupapi/host_state.h"

namespace platform::setupapi {
namespace {

FileAccess* gFiles = nullptr;
DeviceTree* gTree = nullptr;

// The file calls of the Win32 side, on the machine's disk, as the setup
// library uses kernel32.
class Win32Files : public FileAccess {
public:
    DWORD Read(const std::string& path, std::string* data) override {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return GetLastError();
        DWORD size = GetFileSize(file, nullptr);
        data->assign(size == INVALID_FILE_SIZE ? 0 : size, '\0');
        DWORD read = 0;
        BOOL done = data->empty() || ReadFile(file, data->data(), size, &read, nullptr);
        DWORD error = done ? ERROR_SUCCESS : GetLastError();
        CloseHandle(file);
        data->resize(read);
        return error;
    }
    DWORD Copy(const std::string& from, const std::string& to) override {
        return CopyFileA(from.c_str(), to.c_str(), FALSE) ? ERROR_SUCCESS : GetLastError();
    }
    DWORD Delete(const std::string& path) override {
        return DeleteFileA(path.c_str()) ? ERROR_SUCCESS : GetLastError();
    }
    std::string WindowsDirectory() override { return Directory(GetWindowsDirectoryA); }
    std::string SystemDirectory() override { return Directory(GetSystemDirectoryA); }

private:
    static std::string Directory(UINT(WINAPI* get)(LPSTR, UINT)) {
        char buffer[MAX_PATH] = "";
        UINT length = get(buffer, sizeof buffer);
        return length > 0 && length < sizeof buffer ? std::string(buffer, length) : "";
    }
};

} // namespace

void SetFileAccess(FileAccess* files) {
    gFiles = files;
}

void SetDeviceTree(DeviceTree* tree) {
    gTree = tree;
}

namespace detail {

FileAccess& Files() {
    static Win32Files win32;
    return gFiles ? *gFiles : win32;
}

DeviceTree* Tree() {
    return gTree;
}

} // namespace detail
} // namespace platform::setupapi
