// Events, waits, Sleep and GetTickCount on the kernel's virtual clock, from
// the host thread (no program runtime).
#include "tests/win32base/win32_fixture.h"

namespace win32_testing {
namespace {

using Waits = Win32Test;

constexpr uint64_t kMs = 10000; // 100-ns units

TEST_F(Waits, ATimeoutMovesTheClockByExactlyTheWait) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    uint64_t start = kernel.Now();
    EXPECT_EQ(WaitForSingleObject(event, 100), DWORD(WAIT_TIMEOUT));
    EXPECT_EQ(kernel.Now() - start, 100 * kMs);
    Sleep(500);
    EXPECT_EQ(kernel.Now() - start, 600 * kMs);
    EXPECT_TRUE(CloseHandle(event));
}

TEST_F(Waits, AnEventSetByATimedEventEndsAnEndlessWaitThen) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    uint64_t start = kernel.Now();
    kernel.Schedule(
        start + 30 * kMs, [event] { SetEvent(event); }, PASSIVE_LEVEL);
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(kernel.Now() - start, 30 * kMs);
    CloseHandle(event);
}

TEST_F(Waits, AutoResetEventsAreConsumedManualOnesStay) {
    HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    HANDLE manual = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(automatic, 0), DWORD(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(manual, 0), DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(manual, 0), DWORD(WAIT_OBJECT_0));
    EXPECT_TRUE(ResetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 0), DWORD(WAIT_TIMEOUT));
    CloseHandle(automatic);
    CloseHandle(manual);

    SetLastError(kPoison);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetEvent(manual));
}

TEST_F(Waits, TickCountAdvancesInWholeTicks) {
    kernel.SetTickLength(156250); // 15.625 ms
    kernel.AdvanceTime(100 * kMs);
    EXPECT_EQ(GetTickCount(), 93u); // 6 ticks
    kernel.AdvanceTime(10 * kMs);
    EXPECT_EQ(GetTickCount(), 109u); // 7 ticks
}

} // namespace
} // namespace win32_testing
