// SetupInstallFromInfSectionA: the registry lines and files of one install
// section. INI-file lines are accepted and ignored (no INF of the machine's
// programs carries any).
#include "platform/setupapi/host_state.h"
#include "platform/setupapi/inf_install.h"

namespace platform::setupapi::detail {

DWORD InstallSection(const InfFile& inf, const InfSection& install, UINT flags, HKEY relative,
                     const std::string& sourceRoot, UINT copyFlags, PSP_FILE_CALLBACK_A callback,
                     PVOID context) {
    if (flags & SPINST_FILES) {
        FileQueue queue;
        DWORD error = QueueFileSections(inf, install, &queue, sourceRoot, copyFlags);
        if (error == ERROR_SUCCESS)
            error = CommitQueue(queue, callback, context);
        if (error != ERROR_SUCCESS)
            return error;
    }
    if (flags & SPINST_REGISTRY)
        return InstallRegistrySections(inf, install, relative);
    return ERROR_SUCCESS;
}

} // namespace platform::setupapi::detail

using namespace platform::setupapi::detail;

BOOL WINAPI SetupInstallFromInfSectionA(HWND Owner, HINF InfHandle, PCSTR SectionName, UINT Flags,
                                        HKEY RelativeKeyRoot, PCSTR SourceRootPath, UINT CopyFlags,
                                        PSP_FILE_CALLBACK_A MsgHandler, PVOID Context,
                                        HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData) {
    (void)Owner;
    (void)DeviceInfoSet;
    (void)DeviceInfoData;
    InfFile* inf = InfFromHandle(InfHandle);
    if (!inf) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!SectionName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const InfSection* section = inf->Find(SectionName);
    if (!section) {
        SetLastError(ERROR_SECTION_NOT_FOUND);
        return FALSE;
    }
    DWORD error =
        InstallSection(*inf, *section, Flags, RelativeKeyRoot, SourceRootPath ? SourceRootPath : "",
                       CopyFlags, MsgHandler, Context);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}
