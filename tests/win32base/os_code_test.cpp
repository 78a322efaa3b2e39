// GetVersionExA per system and the operating-system code derived from it.
#include "apps/common/os_code.h"
#include "tests/win32base/win32_fixture.h"

#include <cstring>

namespace win32_testing {
namespace {

using platform::win32::OsKind;
using platform::win32::OsVersion;

using SystemVersion = Win32Test;

TEST_F(SystemVersion, EachSystemReportsItsNumbers) {
    struct Case {
        OsKind os;
        DWORD platform, major, minor, build;
        const char* csd;
        bool takesExtended;
    };
    const Case cases[] = {
        {OsKind::Windows98, VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A08AE, " A ", false},
        {OsKind::Windows2000, VER_PLATFORM_WIN32_NT, 5, 0, 2195, "Service Pack 4", true},
        {OsKind::WindowsXP, VER_PLATFORM_WIN32_NT, 5, 1, 2600, "Service Pack 2", true},
    };
    for (const Case& c : cases) {
        system.SetOs(c.os);
        OSVERSIONINFOA info;
        std::memset(&info, kPoisonByte, sizeof info);
        info.dwOSVersionInfoSize = sizeof info;
        ASSERT_TRUE(GetVersionExA(&info));
        EXPECT_EQ(info.dwPlatformId, c.platform);
        EXPECT_EQ(info.dwMajorVersion, c.major);
        EXPECT_EQ(info.dwMinorVersion, c.minor);
        EXPECT_EQ(info.dwBuildNumber, c.build);
        EXPECT_STREQ(info.szCSDVersion, c.csd);

        OSVERSIONINFOEXA ex;
        std::memset(&ex, kPoisonByte, sizeof ex);
        ex.dwOSVersionInfoSize = sizeof ex;
        SetLastError(kPoison);
        EXPECT_EQ(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex)) != FALSE, c.takesExtended);
        if (c.takesExtended) {
            EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);
        } else {
            EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
            EXPECT_EQ(ex.dwMajorVersion, 0xBDBDBDBDu);
        }
    }
}

TEST_F(SystemVersion, OsCodeTable) {
    struct Case {
        DWORD platform, major, minor;
        INT code;
    };
    const Case cases[] = {
        {VER_PLATFORM_WIN32_NT, 5, 0, 2000},      {VER_PLATFORM_WIN32_NT, 5, 1, 2001},
        {VER_PLATFORM_WIN32_NT, 5, 2, 2001},      {VER_PLATFORM_WIN32_NT, 4, 0, -1},
        {VER_PLATFORM_WIN32_NT, 6, 0, -1},        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 9598},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 9598}, {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 9598},
        {VER_PLATFORM_WIN32s, 3, 10, 3132},       {3, 5, 0, -1},
    };
    for (const Case& c : cases) {
        OsVersion version;
        version.platformId = c.platform;
        version.major = c.major;
        version.minor = c.minor;
        system.SetVersion(version);
        EXPECT_EQ(GetOsCode(), c.code) << c.platform << " " << c.major << "." << c.minor;
    }
}

} // namespace
} // namespace win32_testing
