// The program runtime of the Win32 stand-in (host only).
//
// Every program is a process with one user-interface thread. Each runs on a
// host thread of its own, but only the holder of a baton runs: the host (the
// thread that created the Runtime: tests, the machine) or one program. The
// baton changes hands only where a program waits (GetMessage with nothing to
// retrieve, WaitMessage, a modal loop or message box waiting for input,
// Sleep, WaitForSingleObject, a send to another process), so the same script
// gives the same trace. All window and message state is touched only by the
// baton holder.
//
// Time is the kernel's virtual clock: timers and wait timeouts are timed
// events on it. RunUntilIdle() never moves the clock; AdvanceTime() does.
#pragma once

#include "platform/win32/win_types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::win32 {

// WinMain as the stand-in calls it.
using ProgramEntry = int (*)(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

struct ProgramSpec {
    std::string name; // trace name ("tpanel")
    ProgramEntry entry = nullptr;
    std::string commandLine; // the arguments WinMain receives (without the program path)
    std::string module;      // resource module registered by add_host_resources; "" for none
    std::string imagePath;   // the program file on the machine's disk (GetModuleFileNameA)
    int show = 1;            // SW_SHOWNORMAL
};

using ProcessId = DWORD;

// What a program's calls see of their own process.
struct ProcessInfo {
    ProcessId id = 0;
    std::string name;
    std::string imagePath;
    std::string commandLine; // GetCommandLineA: "\"<imagePath>\" <arguments>"
    HINSTANCE instance = nullptr;
};

// The calling thread's process, or nullptr on the host thread.
const ProcessInfo* CurrentProcess();

inline constexpr uint64_t kNoDeadline = UINT64_MAX;

// Blocks the caller until ready() holds (returns true) or the virtual clock
// reaches deadline, an absolute time in 100-ns units (returns false).
// On a program thread the baton passes on: other programs and due timed
// events run meanwhile, and ready() is evaluated only by the baton holder.
// Messages sent by other processes are not handled during such a wait, as
// in Windows. On the host thread it runs programs and timed events itself,
// moving the clock no further than deadline; waiting forever with nothing
// left that could run is reported to the kernel's verifier as "deadlock".
// Works with or without a Runtime.
bool BlockUntil(const std::function<bool()>& ready, uint64_t deadline);

class Runtime {
public:
    // Needs the kernel (for the clock); one Runtime at a time.
    Runtime();
    // Ends every program still running (at its current wait) and joins it.
    ~Runtime();
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    static Runtime& Current();
    static Runtime* TryCurrent();

    // Creates the process; its entry starts at the next RunUntilIdle().
    ProcessId Start(const ProgramSpec& spec);

    // Runs programs and the timed events due now until every program waits
    // and nothing is due at the current virtual time.
    void RunUntilIdle();
    // Moves the clock forward by units (100 ns), running everything that
    // falls due on the way, in time order.
    void AdvanceTime(uint64_t units);
    // Advances to the next timed event (at most to limit) and runs until idle.
    // False when nothing is scheduled before limit.
    bool RunToNextEvent(uint64_t limit = kNoDeadline);

    bool IsRunning(ProcessId id) const;
    // STILL_ACTIVE (259) while running; 0 for an unknown id.
    DWORD ExitCode(ProcessId id) const;
    std::vector<ProcessId> RunningProcesses() const;
    std::string ProcessName(ProcessId id) const;
    // The image file a process was started from ("" for an unknown id).
    std::string ImagePath(ProcessId id) const;
    // Ends the process at its current wait, as TerminateProcess would.
    void Terminate(ProcessId id, UINT exitCode);

    // Called on the host thread after a process has ended.
    using ExitObserver = std::function<void(ProcessId id, DWORD exitCode)>;
    void SetExitObserver(ExitObserver observer);

    // How a program image's name becomes a program: the machine's catalogue.
    // Without one, no image can be started.
    using ProgramLookup = std::function<bool(const std::string& name, ProgramSpec* spec)>;
    void SetProgramLookup(ProgramLookup lookup);
    bool LookupProgram(const std::string& name, ProgramSpec* spec) const;

    // Screen size in pixels (GetSystemMetrics, maximised windows, pictures).
    void SetScreenSize(int width, int height);
    int ScreenWidth() const;
    int ScreenHeight() const;

    struct State;
    State& Internal() { return *state_; }

private:
    std::unique_ptr<State> state_;
};

} // namespace platform::win32
