// GetWindowsDirectoryA, GetSystemDirectoryA and QueryDosDeviceA: where the
// machine's system lives and what its DOS device names lead to.
#include "platform/kernel/kernel.h"
#include "platform/win32/disk.h"
#include "platform/win32/win_base.h"

#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

using namespace platform::win32;

namespace {

// Documented for both calls: the length without the NUL when it fits, else
// the size needed including the NUL, the buffer untouched.
UINT CopyDirectory(const std::string& path, LPSTR buffer, UINT size) {
    if (buffer == NULL || path.size() >= size)
        return static_cast<UINT>(path.size() + 1);
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<UINT>(path.size());
}

// Every DOS device name with its target: the drives, then the kernel's links.
std::vector<std::pair<std::string, std::string>> DosDevices() {
    std::vector<std::pair<std::string, std::string>> devices;
    if (Disk* disk = Disk::TryCurrent()) {
        int volume = 1;
        int cdrom = 0;
        for (char letter : disk->Drives()) {
            // D: is the medium's drive, which the machine models as a CD-ROM.
            std::string target = letter == 'D'
                                     ? "\\Device\\CdRom" + std::to_string(cdrom++)
                                     : "\\Device\\HarddiskVolume" + std::to_string(volume++);
            devices.emplace_back(std::string(1, letter) + ":", target);
        }
    }
    for (auto& link : platform::kernel::Kernel::Current().DosDeviceLinks())
        devices.push_back(link);
    return devices;
}

} // namespace

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return CopyDirectory(WindowsDirectoryOf(CurrentOsKind()), lpBuffer, uSize);
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    return CopyDirectory(SystemDirectoryOf(CurrentOsKind()), lpBuffer, uSize);
}

DWORD WINAPI QueryDosDeviceA(LPCSTR lpDeviceName, LPSTR lpTargetPath, DWORD ucchMax) {
    // 98 SE answers every query with ERROR_INVALID_PARAMETER (observed and
    // reported on the Bugtraq list, July 2001, "Windows MS-DOS Device Name DoS").
    if (CurrentOsKind() == OsKind::Windows98 || lpTargetPath == NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string result;
    for (const auto& [name, target] : DosDevices()) {
        if (lpDeviceName == NULL)
            result += name + '\0';
        else if (strcasecmp(name.c_str(), lpDeviceName) == 0) {
            result = target + '\0';
            break;
        }
    }
    if (result.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    result += '\0';
    if (result.size() > ucchMax) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpTargetPath, result.data(), result.size());
    return static_cast<DWORD>(result.size());
}
