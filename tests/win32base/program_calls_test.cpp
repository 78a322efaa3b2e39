// Base calls made by programs under the program runtime: the module path,
// and waits that hand control back to the host until they end.
#include "apps/common/device_link.h"
#include "platform/win32/runtime.h"
#include "platform/win32/scripted_user.h"
#include "tests/win32base/win32_fixture.h"

#include <gmock/gmock.h>

#include <cstring>
#include <string>

namespace win32_testing {
namespace {

using platform::win32::ProgramSpec;
using platform::win32::Runtime;

constexpr uint64_t kMs = 10000;
constexpr DWORD kStillActive = 259;

// What the program saw, for the test to check.
struct Seen {
    std::string full;
    DWORD fullLength = 0;
    char cut[8];
    DWORD cutLength = 0;
    DWORD otherModule = kPoison;
    DWORD otherError = 0;
};
Seen gSeen;
HANDLE gEvent = nullptr;

int WINAPI ModuleEntry(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH];
    gSeen.fullLength = GetModuleFileNameA(nullptr, path, sizeof path);
    gSeen.full = path;
    std::memset(gSeen.cut, kPoisonByte, sizeof gSeen.cut);
    gSeen.cutLength = GetModuleFileNameA(instance, gSeen.cut, 5);
    SetLastError(kPoison);
    gSeen.otherModule =
        GetModuleFileNameA(reinterpret_cast<HMODULE>(uintptr_t(0x7000)), path, sizeof path);
    gSeen.otherError = GetLastError();
    return 0;
}

int WINAPI WaitingEntry(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (WaitForSingleObject(gEvent, INFINITE) != WAIT_OBJECT_0)
        return 1;
    Sleep(200);
    return 7;
}

// The panel's start without the driver: the open fails, and nothing else
// the link is asked to do shows a box or reaches a device.
int WINAPI PanelWithoutDriverEntry(HINSTANCE, HINSTANCE, LPSTR, int) {
    DeviceLink link;
    if (link.OpenDevice())
        return 1;
    LONG x, y;
    BYTE status;
    link.DrainPoints();
    if (link.ReadPoint(&x, &y, &status) || link.SendCommand(6))
        return 2;
    return 0;
}

class ProgramCalls : public Win32Test {
protected:
    ProgramCalls() { gSeen = Seen(); }

    DWORD Start(int(WINAPI* entry)(HINSTANCE, HINSTANCE, LPSTR, int)) {
        ProgramSpec spec;
        spec.name = "tpanel";
        spec.entry = entry;
        spec.imagePath = "C:\\Program Files\\Touch\\tpanel.exe";
        return runtime.Start(spec);
    }

    Runtime runtime;
};

TEST_F(ProgramCalls, ModulePathIsTheProgramsFile) {
    DWORD id = Start(ModuleEntry);
    runtime.RunUntilIdle();
    ASSERT_EQ(runtime.ExitCode(id), 0u);
    EXPECT_EQ(gSeen.full, "C:\\Program Files\\Touch\\tpanel.exe");
    EXPECT_EQ(gSeen.fullLength, gSeen.full.size());
    EXPECT_EQ(gSeen.cutLength, 5u); // cut, without a NUL
    EXPECT_EQ(std::string(gSeen.cut, 5), "C:\\Pr");
    EXPECT_EQ(static_cast<BYTE>(gSeen.cut[5]), kPoisonByte);
    EXPECT_EQ(gSeen.otherModule, 0u);
    EXPECT_EQ(gSeen.otherError, DWORD(ERROR_MOD_NOT_FOUND));

    char path[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameA(nullptr, path, sizeof path), 0u); // the host is no program
}

TEST_F(ProgramCalls, WaitsHandControlBackUntilTheyEnd) {
    gEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD id = Start(WaitingEntry);
    runtime.RunUntilIdle();
    EXPECT_EQ(runtime.ExitCode(id), kStillActive);

    SetEvent(gEvent);
    runtime.RunUntilIdle();
    EXPECT_EQ(runtime.ExitCode(id), kStillActive); // now in Sleep(200)
    uint64_t start = kernel.Now();
    runtime.AdvanceTime(199 * kMs);
    EXPECT_EQ(runtime.ExitCode(id), kStillActive);
    runtime.AdvanceTime(1 * kMs);
    EXPECT_EQ(runtime.ExitCode(id), 7u);
    EXPECT_EQ(kernel.Now() - start, 200 * kMs);
    CloseHandle(gEvent);
}

TEST_F(ProgramCalls, AMissingDriverShowsOneErrorBox) {
    platform::win32::ScriptedUser user;
    user.AnswerNextMessageBox(IDOK);
    DWORD id = Start(PanelWithoutDriverEntry);
    runtime.RunUntilIdle();
    EXPECT_EQ(runtime.ExitCode(id), 0u);
    std::vector<std::string> boxes;
    for (const std::string& line : Trace()) {
        if (line.find(" msgbox ") != std::string::npos)
            boxes.push_back(line);
    }
    EXPECT_THAT(boxes, ::testing::ElementsAre("0.000 msgbox caption=\"Error\" text=\"No USB "
                                              "Infrared screen found\" answer=OK"));
}

} // namespace
} // namespace win32_testing
