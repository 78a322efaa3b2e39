// The program runtime: processes, the baton, the virtual clock, modal loops
// and the end of a process.
#include "tests/win32ui/ui_fixture.h"

#include <gmock/gmock.h>

namespace ui_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

INT_PTR CALLBACK CloseOnOk(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam) == IDOK ? 11 : 22);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

class RuntimeTest : public UiTest {};

TEST_F(RuntimeTest, ProgramRunsUntilItWaitsAndEndsWithItsExitCode) {
    INT_PTR result = 0;
    auto id = Start([&](HINSTANCE instance) {
        result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CLASSIC), nullptr, CloseOnOk, 0);
        return 7;
    });
    EXPECT_TRUE(runtime.IsRunning(id)) << "started, not yet run";
    runtime.RunUntilIdle();
    EXPECT_TRUE(runtime.IsRunning(id));
    EXPECT_EQ(runtime.ExitCode(id), 259u); // STILL_ACTIVE
    char caption[32];
    GetWindowTextA(user.Foreground(), caption, sizeof caption);
    EXPECT_STREQ(caption, "Classic");
    ASSERT_TRUE(user.ClickControl("Go"));
    EXPECT_FALSE(runtime.IsRunning(id));
    EXPECT_EQ(result, 11);
    EXPECT_EQ(runtime.ExitCode(id), 7u);
    EXPECT_EQ(user.Foreground(), nullptr);
    EXPECT_THAT(TraceWith("program "), ElementsAre(HasSubstr("program start name=test"),
                                                   HasSubstr("program exit name=test code=7")));
}

TEST_F(RuntimeTest, ProcessKnowsItsCommandLineModuleAndInstance) {
    std::string commandLine;
    HINSTANCE fromEntry = nullptr;
    HMODULE fromModule = nullptr;
    Start([&](HINSTANCE instance) {
        fromEntry = instance;
        fromModule = GetModuleHandleA(nullptr);
        commandLine = GetCommandLineA();
        return 0;
    });
    runtime.RunUntilIdle();
    EXPECT_NE(fromEntry, nullptr);
    EXPECT_EQ(fromEntry, fromModule);
    EXPECT_EQ(commandLine, "\"C:\\test\\test.exe\" 0");
    EXPECT_EQ(GetModuleHandleA("win32ui_test.exe"), fromEntry);
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(GetModuleHandleA("missing.dll"), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_MOD_NOT_FOUND);
}

TEST_F(RuntimeTest, TimersFireOnTheVirtualClockWhileTheModalLoopWaits) {
    Recorder recorder;
    recorder.hook = [](HWND dialog, UINT message, WPARAM, LPARAM) {
        if (message == WM_INITDIALOG)
            SetTimer(dialog, 5, 1000, nullptr);
        return FALSE;
    };
    ShowDialog(IDD_TEST, &recorder);
    Advance(999);
    EXPECT_THAT(recorder.events, IsEmpty());
    Advance(1);
    EXPECT_THAT(recorder.events, ElementsAre("timer 5"));
    Advance(2500);
    EXPECT_THAT(recorder.events, ElementsAre("timer 5", "timer 5", "timer 5"));
    KillTimer(user.Foreground(), 5);
    Advance(5000);
    EXPECT_EQ(recorder.events.size(), 3u);
}

// SetTimer (Microsoft's page of the function): an identifier already in use
// on the window replaces that timer; an interval below USER_TIMER_MINIMUM is
// raised to it.
TEST_F(RuntimeTest, AnIdInUseIsReplacedAndShortIntervalsAreRaisedToTheMinimum) {
    Recorder recorder;
    recorder.hook = [](HWND dialog, UINT message, WPARAM, LPARAM) {
        if (message == WM_INITDIALOG) {
            SetTimer(dialog, 5, 1000, nullptr);
            EXPECT_NE(SetTimer(dialog, 5, 3, nullptr), 0u);
        }
        return FALSE;
    };
    ShowDialog(IDD_TEST, &recorder);
    Advance(USER_TIMER_MINIMUM - 1);
    EXPECT_THAT(recorder.events, IsEmpty());
    Advance(1);
    EXPECT_THAT(recorder.events, ElementsAre("timer 5"));
    Advance(USER_TIMER_MINIMUM);
    EXPECT_THAT(recorder.events, ElementsAre("timer 5", "timer 5"));
}

TEST_F(RuntimeTest, ExpiriesWhileTheProgramIsBusyCoalesceIntoOneTimerMessage) {
    int ticks = 0;
    Start([&](HINSTANCE) {
        UINT_PTR timer = SetTimer(nullptr, 0, 10, nullptr);
        Sleep(100); // busy: ten periods pass without a message loop
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0)) {
            if (msg.message == WM_TIMER && msg.wParam == timer && ++ticks == 3)
                break;
        }
        return 0;
    });
    runtime.RunUntilIdle();
    Advance(100);
    EXPECT_EQ(ticks, 1) << "one WM_TIMER for all the expiries during the pause";
    Advance(10);
    EXPECT_EQ(ticks, 2);
}

TEST_F(RuntimeTest, TimerProcedureIsCalledByDispatch) {
    static int calls;
    calls = 0;
    Start([](HINSTANCE) {
        SetTimer(nullptr, 0, 50, [](HWND, UINT message, UINT_PTR, DWORD) {
            EXPECT_EQ(message, (UINT)WM_TIMER);
            ++calls;
        });
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0))
            DispatchMessageA(&msg);
        return 0;
    });
    runtime.RunUntilIdle();
    Advance(120);
    EXPECT_EQ(calls, 2);
}

TEST_F(RuntimeTest, PostedMessagesComeBeforeTimersAndQuitEndsTheLoop) {
    std::vector<UINT> order;
    int exitCode = 0;
    Start([&](HINSTANCE) {
        SetTimer(nullptr, 0, 1, nullptr);
        Sleep(5);
        PostMessageA(nullptr, WM_USER + 7, 0, 0);
        PostQuitMessage(3);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0))
            order.push_back(msg.message);
        exitCode = (int)msg.wParam;
        return exitCode;
    });
    runtime.RunUntilIdle();
    Advance(5);
    EXPECT_THAT(order, ElementsAre((UINT)(WM_USER + 7)));
    EXPECT_EQ(exitCode, 3);
}

TEST_F(RuntimeTest, ExitProcessEndsTheProgramAndDestroysItsWindows) {
    Recorder recorder;
    recorder.hook = [](HWND, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_SIMULATE)
            ExitProcess(42);
        return FALSE;
    };
    auto id = ShowDialog(IDD_TEST, &recorder);
    HWND dialog = user.Foreground();
    ASSERT_TRUE(IsWindow(dialog));
    user.ClickControl(IDC_SIMULATE);
    EXPECT_FALSE(runtime.IsRunning(id));
    EXPECT_EQ(runtime.ExitCode(id), 42u);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(FindWindowA(nullptr, "Test dialog"), nullptr);
}

TEST_F(RuntimeTest, ExitProcessInsideASentMessageReleasesTheSender) {
    Recorder recorder;
    recorder.hook = [](HWND, UINT message, WPARAM, LPARAM) {
        if (message == WM_USER + 9)
            ExitProcess(5);
        return FALSE;
    };
    auto id = ShowDialog(IDD_TEST, &recorder);
    EXPECT_EQ(SendMessageA(user.Foreground(), WM_USER + 9, 0, 0), 0);
    EXPECT_FALSE(runtime.IsRunning(id));
    EXPECT_EQ(runtime.ExitCode(id), 5u);
}

TEST_F(RuntimeTest, TerminateEndsAProgramAtItsWait) {
    Recorder recorder;
    auto id = ShowDialog(IDD_TEST, &recorder);
    std::vector<std::pair<platform::win32::ProcessId, DWORD>> exits;
    runtime.SetExitObserver(
        [&](platform::win32::ProcessId pid, DWORD code) { exits.emplace_back(pid, code); });
    runtime.Terminate(id, 9);
    runtime.RunUntilIdle();
    EXPECT_FALSE(runtime.IsRunning(id));
    EXPECT_THAT(exits, ElementsAre(std::make_pair(id, 9u)));
    EXPECT_THAT(runtime.RunningProcesses(), IsEmpty());
}

TEST_F(RuntimeTest, SendMessageToAnotherProgramWaitsForItsAnswer) {
    Recorder first;
    first.hook = [](HWND, UINT message, WPARAM, LPARAM) {
        if (message == WM_CLOSE) {
            SetWindowLongPtrA(FindWindowA(nullptr, "Test dialog"), DWLP_MSGRESULT, 0);
            return FALSE;
        }
        return FALSE;
    };
    auto target = ShowDialog(IDD_TEST, &first);
    LRESULT answer = -1;
    bool sent = false;
    auto sender = Start(
        [&](HINSTANCE) {
            HWND other = FindWindowA(nullptr, "Test dialog");
            answer = SendMessageA(other, WM_USER + 5, 0, 0);
            sent = true;
            SendMessageA(other, WM_CLOSE, 0, 0); // default handling: IDCANCEL ends it
            return 0;
        },
        "sender");
    runtime.RunUntilIdle();
    EXPECT_TRUE(sent);
    EXPECT_EQ(answer, 0);
    EXPECT_THAT(first.events, ElementsAre("message 1029", "command 2 0"));
    EXPECT_FALSE(runtime.IsRunning(sender));
    EXPECT_FALSE(runtime.IsRunning(target));
}

TEST_F(RuntimeTest, ProgramsTakeTurnsOnlyWhereTheyWait) {
    std::vector<std::string> steps;
    Start(
        [&](HINSTANCE) {
            steps.push_back("a1");
            Sleep(10);
            steps.push_back("a2");
            return 0;
        },
        "a");
    Start(
        [&](HINSTANCE) {
            steps.push_back("b1");
            Sleep(5);
            steps.push_back("b2");
            return 0;
        },
        "b");
    runtime.RunUntilIdle();
    EXPECT_THAT(steps, ElementsAre("a1", "b1"));
    Advance(5);
    EXPECT_THAT(steps, ElementsAre("a1", "b1", "b2"));
    Advance(5);
    EXPECT_THAT(steps, ElementsAre("a1", "b1", "b2", "a2"));
}

TEST_F(RuntimeTest, HostWaitRunsProgramsAndTheClockUntilReady) {
    bool done = false;
    Start([&](HINSTANCE) {
        Sleep(250);
        done = true;
        return 0;
    });
    uint64_t before = kernel.Now();
    EXPECT_TRUE(platform::win32::BlockUntil([&] { return done; }, platform::win32::kNoDeadline));
    EXPECT_EQ(kernel.Now() - before, 250 * kMillisecond);
    EXPECT_FALSE(platform::win32::BlockUntil([] { return false; }, kernel.Now() + kMillisecond));
}

TEST_F(RuntimeTest, EndingTheRuntimeEndsProgramsStillWaiting) {
    Recorder recorder;
    ShowDialog(IDD_TEST, &recorder);
    Start(
        [](HINSTANCE) {
            Sleep(INFINITE);
            return 0;
        },
        "sleeper");
    runtime.RunUntilIdle();
    EXPECT_EQ(runtime.RunningProcesses().size(), 2u);
    // The fixture's Runtime goes away at the end of the test and must join
    // both threads without hanging.
}

// Each run builds its own kernel and runtime.
std::vector<std::string> RunScript() {
    platform::kernel::Kernel kernel;
    std::vector<std::string> lines;
    platform::trace::SetSink([&](const std::string& line) { lines.push_back(line); });
    {
        platform::win32::Runtime runtime;
        platform::win32::ScriptedUser user;
        platform::win32::ProgramSpec spec;
        spec.name = "script";
        spec.module = kModule;
        spec.imagePath = "C:\\script.exe";
        spec.entry = [](HINSTANCE instance, HINSTANCE, LPSTR, int) -> int {
            Recorder recorder;
            recorder.hook = [](HWND dialog, UINT message, WPARAM wParam, LPARAM) {
                if (message == WM_INITDIALOG)
                    SetTimer(dialog, 1, 700, nullptr);
                if (message == WM_TIMER)
                    MessageBoxA(dialog, "tick", "Prompt", MB_OK);
                if (message == WM_COMMAND && LOWORD(wParam) == IDC_MODE2)
                    KillTimer(dialog, 1);
                return FALSE;
            };
            return (int)DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_TEST), nullptr,
                                        RecordingProc, reinterpret_cast<LPARAM>(&recorder));
        };
        runtime.Start(spec);
        user.AnswerNextMessageBox(IDOK);
        runtime.RunUntilIdle();
        runtime.AdvanceTime(1000 * kMillisecond);
        user.ClickControl(IDC_MODE2);
        runtime.AdvanceTime(1000 * kMillisecond);
        user.PressEscape();
    }
    platform::trace::SetSink({});
    return lines;
}

TEST(DeterminismTest, TheSameScriptGivesTheSameTrace) {
    std::vector<std::string> first = RunScript();
    std::vector<std::string> second = RunScript();
    EXPECT_EQ(first, second);
    EXPECT_THAT(first,
                ElementsAre("0.000 program start name=script cmdline=\"\"",
                            "0.000 window open program=script dialog=100 caption=\"Test dialog\"",
                            "700.000 msgbox caption=\"Prompt\" text=\"tick\" answer=OK",
                            "1000.000 user click control=1018 x=69 y=78", "2000.000 user key vk=27",
                            "2000.000 window close program=script dialog=100 result=2",
                            "2000.000 program exit name=script code=2"));
}

} // namespace
} // namespace ui_testing
