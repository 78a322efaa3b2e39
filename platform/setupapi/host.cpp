#include "platform/setupapi/host.h"

#include "platform/setupapi/host_state.h"

namespace platform::setupapi {
namespace {

FileAccess* gFiles = nullptr;
DeviceTree* gTree = nullptr;

// Without a machine: no file exists, nothing can be written.
class NoFiles : public FileAccess {
public:
    DWORD Read(const std::string&, std::string*) override { return ERROR_FILE_NOT_FOUND; }
    DWORD Copy(const std::string&, const std::string&) override { return ERROR_FILE_NOT_FOUND; }
    DWORD Delete(const std::string&) override { return ERROR_FILE_NOT_FOUND; }
    std::string WindowsDirectory() override { return "C:\\WINDOWS"; }
    std::string SystemDirectory() override { return "C:\\WINDOWS\\system32"; }
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
    static NoFiles none;
    return gFiles ? *gFiles : none;
}

DeviceTree* Tree() {
    return gTree;
}

} // namespace detail
} // namespace platform::setupapi
