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
