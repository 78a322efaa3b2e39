// A kernel with the windowing side of the Win32 stand-in on top: a Runtime,
// a scripted user, the captured trace, and program entries built from
// lambdas so each test can write its own small program.
#pragma once

#include "platform/trace/trace.h"
#include "platform/win32/picture.h"
#include "platform/win32/runtime.h"
#include "platform/win32/scripted_user.h"
#include "platform/win32/windows.h"
#include "tests/support/kernel_fixture.h"
#include "tests/win32ui/test_resource.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace ui_testing {

// The resource module of test_dialog.rc.
inline const char* const kModule = "win32ui_test";

inline constexpr uint64_t kMillisecond = 10000;

// What a dialog procedure saw: "command <id> <code>", "notify <id> <code>",
// "hscroll <code> <position>", "timer <id>", "message <number>".
struct Recorder {
    std::vector<std::string> events;
    // Called for every message before it is recorded; TRUE: handled.
    std::function<BOOL(HWND, UINT, WPARAM, LPARAM)> hook;
    // Ends the dialog on IDOK and IDCANCEL with that identifier.
    bool endOnOkCancel = true;
};

inline INT_PTR CALLBACK RecordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    }
    auto* recorder = reinterpret_cast<Recorder*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (recorder == nullptr) {
        return FALSE;
    }
    if (recorder->hook && recorder->hook(dialog, message, wParam, lParam)) {
        return TRUE;
    }
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        recorder->events.push_back("command " + std::to_string(LOWORD(wParam)) + " " +
                                   std::to_string(HIWORD(wParam)));
        if (recorder->endOnOkCancel && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
            EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        recorder->events.push_back("notify " + std::to_string(header->idFrom) + " " +
                                   std::to_string((int)header->code));
        return TRUE;
    }
    case WM_HSCROLL:
        recorder->events.push_back("hscroll " + std::to_string(LOWORD(wParam)) + " " +
                                   std::to_string(HIWORD(wParam)));
        return TRUE;
    case WM_TIMER:
        recorder->events.push_back("timer " + std::to_string(wParam));
        return TRUE;
    default:
        if (message > DM_SETDEFID && message < 0x8000) {
            recorder->events.push_back("message " + std::to_string(message));
            return TRUE;
        }
        return FALSE;
    }
}

class UiTest : public kernel_testing::KernelFixture {
protected:
    UiTest() {
        platform::trace::SetSink([this](const std::string& line) {
            std::lock_guard lock(traceMutex_);
            traceLines_.push_back(line);
        });
    }
    ~UiTest() override { platform::trace::SetSink({}); }

    // Starts a program whose WinMain is body; it sees the test module.
    platform::win32::ProcessId Start(std::function<int(HINSTANCE)> body,
                                     const std::string& name = "test") {
        bodies_.push_back(std::make_unique<std::function<int(HINSTANCE)>>(std::move(body)));
        platform::win32::ProgramSpec spec;
        spec.name = name;
        spec.module = kModule;
        spec.imagePath = "C:\\test\\" + name + ".exe";
        spec.entry = &Entry;
        spec.commandLine = std::to_string(bodies_.size() - 1);
        return runtime.Start(spec);
    }

    std::vector<std::string> Trace() {
        std::lock_guard lock(traceMutex_);
        return traceLines_;
    }

    // Trace lines that contain text.
    std::vector<std::string> TraceWith(const std::string& text) {
        std::vector<std::string> found;
        for (const std::string& line : Trace()) {
            if (line.find(text) != std::string::npos)
                found.push_back(line);
        }
        return found;
    }

    void Advance(uint64_t milliseconds) { runtime.AdvanceTime(milliseconds * kMillisecond); }

    // Runs a program that shows dialog resource id with RecordingProc and
    // returns when it waits; the dialog result lands in *result.
    platform::win32::ProcessId ShowDialog(UINT id, Recorder* recorder, INT_PTR* result = nullptr) {
        auto pid = Start([=](HINSTANCE instance) {
            INT_PTR r = DialogBoxParamA(instance, MAKEINTRESOURCEA(id), nullptr, RecordingProc,
                                        reinterpret_cast<LPARAM>(recorder));
            if (result != nullptr)
                *result = r;
            return 0;
        });
        runtime.RunUntilIdle();
        return pid;
    }

    // A control of the foreground dialog.
    HWND Control(int id) { return GetDlgItem(user.Foreground(), id); }

    platform::win32::Runtime runtime;
    platform::win32::ScriptedUser user;

private:
    static int WINAPI Entry(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
        return (*Current()->bodies_.at(std::stoul(commandLine)))(instance);
    }
    static UiTest*& Current() {
        static UiTest* current = nullptr;
        return current;
    }

protected:
    void SetUp() override { Current() = this; }

private:
    std::mutex traceMutex_;
    std::vector<std::string> traceLines_;
    std::vector<std::unique_ptr<std::function<int(HINSTANCE)>>> bodies_;
};

} // namespace ui_testing
