// The machine's Windows as the base calls report it: the operating system
// and its version numbers (GetVersionExA, the registry's behaviour) and
// whether the logged-on user is limited (registry access). The screen size
// and each program's module path belong to the program runtime (runtime.h).
//
// Host side: the machine or a test constructs one System and sets it up
// before programs run; programs only read it. Without one, the calls see
// the defaults: Windows XP, an administrator.
#pragma once

#include "platform/win32/win_base.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform::win32 {

enum class OsKind { Windows98, Windows2000, WindowsXP };

// What GetVersionExA reports. For VER_PLATFORM_WIN32_WINDOWS the build
// number's high word holds the major and minor version, as 9x reports it.
struct OsVersion {
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    DWORD major = 5;
    DWORD minor = 1;
    DWORD build = 2600;
    std::string csdVersion;
    WORD servicePackMajor = 0;
    WORD servicePackMinor = 0;
};

// 98: Second Edition, 4.10.2222 " A "; 2000: 5.0.2195 Service Pack 4;
// XP: 5.1.2600 Service Pack 2.
OsVersion VersionOf(OsKind kind);

class System {
public:
    // Becomes the current system until destroyed.
    System();
    ~System();
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    static System& Current();

    void SetOs(OsKind kind); // sets the version too
    void SetVersion(const OsVersion& version);
    OsVersion Version() const;
    // The 9x family has no registry security and deletes keys with subkeys.
    bool IsNt() const;

    // A limited user (NT only) may read HKEY_LOCAL_MACHINE but opens or
    // creates nothing under it with write access: ERROR_ACCESS_DENIED.
    void SetLimitedUser(bool limited);
    bool LimitedUser() const;

    // NT privileges: whether the user's token holds one ("SeShutdownPrivilege"
    // is held unless denied), and which a process has enabled.
    void SetPrivilegeHeld(const std::string& name, bool held);
    bool PrivilegeHeld(const std::string& name) const;
    void SetPrivilegeEnabled(uint32_t processId, const std::string& name, bool enabled);
    bool PrivilegeEnabled(uint32_t processId, const std::string& name) const;

    // ExitWindowsEx leaves its flags here; the machine takes them when control
    // is back on the host and restarts or shuts down.
    void RequestExitWindows(UINT flags);
    std::optional<UINT> TakeExitWindowsRequest();

    struct State;

private:
    struct Defaults {};
    explicit System(Defaults); // the defaults, never current

    std::unique_ptr<State> state_;
};

} // namespace platform::win32
