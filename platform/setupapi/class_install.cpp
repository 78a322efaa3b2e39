// SetupDiInstallClassA: the INF's [Version] Class and ClassGUID name the
// class; its class-install section (ClassInstall32 on NT, decorated ones
// first; ClassInstall on 98) runs with HKR the class key, which NT keys by
// GUID below Control\Class and 98 by name below Services\Class. The class
// key keeps "Class" = the name on NT.
#include "platform/setupapi/device_info.h"
#include "platform/setupapi/host_state.h"
#include "platform/setupapi/inf_install.h"

using namespace platform::setupapi::detail;

BOOL WINAPI SetupDiInstallClassA(HWND hwndParent, PCSTR InfFileName, DWORD Flags,
                                 HSPFILEQ FileQueue) {
    (void)hwndParent;
    (void)Flags;
    if (!InfFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HINF handle = SetupOpenInfFileA(InfFileName, nullptr, INF_STYLE_WIN4, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return FALSE; // the open's error stands
    InfFile* inf = InfFromHandle(handle);
    DWORD error = ERROR_SUCCESS;
    GUID guid{};
    std::string className = inf->Version("Class");
    const InfSection* section = nullptr;
    if (className.empty() || !ParseGuid(inf->Version("ClassGUID"), &guid)) {
        error = ERROR_INVALID_CLASS;
    } else {
        const char* names[] = {"ClassInstall32.NTx86", "ClassInstall32.NT", "ClassInstall32"};
        if (IsNt())
            for (const char* name : names)
                if (!section)
                    section = inf->Find(name);
        if (!IsNt())
            section = inf->Find("ClassInstall");
        if (!section)
            error = ERROR_SECTION_NOT_FOUND;
    }
    HKEY key = nullptr;
    if (error == ERROR_SUCCESS)
        error = static_cast<DWORD>(RegCreateKeyExA(
            HKEY_LOCAL_MACHINE, (ClassRoot() + "\\" + ClassKeyName(guid, className)).c_str(), 0,
            nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    if (error == ERROR_SUCCESS) {
        if (IsNt())
            SetString(key, "Class", className);
        std::string source = InfFileName;
        source = source.substr(0, source.find_last_of('\\') + 1);
        UINT what =
            SPINST_REGISTRY | ((FileQueue && FileQueue != INVALID_HANDLE_VALUE) ? 0 : SPINST_FILES);
        PVOID context = SetupInitDefaultQueueCallbackEx(hwndParent, nullptr, 0, 0, nullptr);
        error = InstallSection(*inf, *section, what, key, source, 0, SetupDefaultQueueCallbackA,
                               context);
        SetupTermDefaultQueueCallback(context);
        if (error == ERROR_SUCCESS && !(what & SPINST_FILES))
            if (auto* queue = QueueFromHandle(FileQueue))
                error = QueueFileSections(*inf, *section, queue, source, 0);
        RegCloseKey(key);
    }
    SetupCloseInfFile(handle);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}
