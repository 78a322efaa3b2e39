// The routines are exported on every system, also where they are stubs
// (98's advapi32 token calls, 98's QueryDosDeviceA): GetProcAddress finds
// them there too, and callers decide by the system, not by the lookup.
#include "platform/win32/system_modules.h"

#include "platform/win32/windows.h"

#include <cstring>
#include <strings.h>

namespace platform::win32::detail {
namespace {

// Above every program and resource module's instance.
const UINT_PTR kKernel32 = 0x7C800000;
const UINT_PTR kAdvapi32 = 0x77DD0000;

struct Export {
    UINT_PTR module;
    const char* name;
    FARPROC routine;
};

template <class F> FARPROC Routine(F* routine) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(routine));
}

const Export* Exports() {
    static const Export exports[] = {
        {kKernel32, "QueryDosDeviceA", Routine(&QueryDosDeviceA)},
        {kAdvapi32, "OpenProcessToken", Routine(&OpenProcessToken)},
        {kAdvapi32, "LookupPrivilegeValueA", Routine(&LookupPrivilegeValueA)},
        {kAdvapi32, "AdjustTokenPrivileges", Routine(&AdjustTokenPrivileges)},
        {0, nullptr, nullptr},
    };
    return exports;
}

} // namespace

HMODULE SystemModule(const std::string& name) {
    if (strcasecmp(name.c_str(), "kernel32") == 0)
        return reinterpret_cast<HMODULE>(kKernel32);
    if (strcasecmp(name.c_str(), "advapi32") == 0)
        return reinterpret_cast<HMODULE>(kAdvapi32);
    return nullptr;
}

} // namespace platform::win32::detail

using namespace platform::win32::detail;

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    UINT_PTR module = reinterpret_cast<UINT_PTR>(hModule);
    if (module != kKernel32 && module != kAdvapi32) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // A name below 0x10000 is an ordinal; programs here look up by name.
    if (reinterpret_cast<UINT_PTR>(lpProcName) >= 0x10000) {
        for (const Export* e = Exports(); e->name != nullptr; ++e) {
            if (e->module == module && std::strcmp(e->name, lpProcName) == 0)
                return e->routine;
        }
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}
