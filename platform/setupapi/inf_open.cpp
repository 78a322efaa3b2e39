// SetupOpenInfFileA, SetupCloseInfFile, SetupSetDirectoryIdA, and the
// directory ids every INF knows.
//
// Only Windows 95-style INF files are opened (the style the programs ask
// for): the [Version] section must carry one of the signatures "$Chicago$",
// "$Windows 95$" or "$Windows NT$", else ERROR_WRONG_INF_STYLE. A class name
// given to the open must match the INF's Class (ERROR_CLASS_MISMATCH).
#include "platform/setupapi/host_state.h"
#include "platform/setupapi/inf_file.h"

#include <memory>
#include <mutex>
#include <set>

namespace platform::setupapi::detail {
namespace {

std::mutex gMutex;
std::set<InfFile*> gOpen;

bool KnownSignature(const std::string& signature) {
    for (const char* known : {"$Chicago$", "$Windows 95$", "$Windows NT$"})
        if (EqualNoCase(signature, known))
            return true;
    return false;
}

} // namespace

InfFile* InfFromHandle(HINF handle) {
    std::lock_guard<std::mutex> lock(gMutex);
    auto* inf = static_cast<InfFile*>(handle);
    return gOpen.count(inf) ? inf : nullptr;
}

std::string InfFile::Directory(DWORD id, const std::string& sourceRoot) const {
    auto custom = directories.find(id);
    if (custom != directories.end())
        return custom->second;
    FileAccess& files = Files();
    switch (id) {
    case DIRID_SRCPATH:
        return sourceRoot;
    case DIRID_WINDOWS:
        return files.WindowsDirectory();
    case DIRID_SYSTEM:
        return files.SystemDirectory();
    case DIRID_DRIVERS:
        // 98 keeps its port drivers in SYSTEM\IOSUBSYS.
        return IsNt() ? files.SystemDirectory() + "\\drivers"
                      : files.WindowsDirectory() + "\\SYSTEM\\IOSUBSYS";
    case DIRID_INF:
        return files.WindowsDirectory() + "\\INF";
    default:
        return "";
    }
}

} // namespace platform::setupapi::detail

using namespace platform::setupapi::detail;

HINF WINAPI SetupOpenInfFileA(PCSTR FileName, PCSTR InfClass, DWORD InfStyle, PUINT ErrorLine) {
    if (ErrorLine)
        *ErrorLine = 0;
    if (!FileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string text;
    DWORD error = Files().Read(FileName, &text);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    auto inf = std::make_unique<InfFile>();
    inf->path = FileName;
    UINT line = 0;
    error = ParseInf(text, inf.get(), &line);
    if (error == ERROR_SUCCESS && (InfStyle & INF_STYLE_WIN4) &&
        !KnownSignature(inf->Version("Signature")))
        error = ERROR_WRONG_INF_STYLE;
    if (error == ERROR_SUCCESS && InfClass && !EqualNoCase(inf->Version("Class"), InfClass))
        error = ERROR_CLASS_MISMATCH;
    if (error != ERROR_SUCCESS) {
        if (ErrorLine)
            *ErrorLine = line;
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    std::lock_guard<std::mutex> lock(gMutex);
    gOpen.insert(inf.get());
    SetLastError(ERROR_SUCCESS);
    return inf.release();
}

VOID WINAPI SetupCloseInfFile(HINF InfHandle) {
    std::lock_guard<std::mutex> lock(gMutex);
    auto* inf = static_cast<InfFile*>(InfHandle);
    if (gOpen.erase(inf))
        delete inf;
}

BOOL WINAPI SetupSetDirectoryIdA(HINF InfHandle, DWORD Id, PCSTR Directory) {
    InfFile* inf = InfFromHandle(InfHandle);
    if (!inf) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // Only user ids may be defined; a null directory forgets the id.
    if (Id < DIRID_USER) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (Directory)
        inf->directories[Id] = Directory;
    else
        inf->directories.erase(Id);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
