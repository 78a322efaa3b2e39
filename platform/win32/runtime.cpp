// The program runtime: processes on their own host threads, the baton that
// lets one of them (or the host) run at a time, and the scheduler.
#include "platform/win32/runtime.h"

#include "platform/trace/trace.h"
#include "platform/win32/resources.h"
#include "platform/win32/handle_table.h"
#include "platform/win32/runtime_state.h"
#include "platform/win32/window_manager.h"

#include <cstdio>
#include <cstdlib>

namespace platform::win32 {
namespace {

Runtime* gRuntime = nullptr;
thread_local detail::Process* tProcess = nullptr;

// Unwinds a program thread to its top (ExitProcess, termination).
struct ProcessExit {
    DWORD code;
};

using detail::Process;

void Trace(const std::string& text) {
    platform::trace::Emit(kernel::Kernel::Current().Now(), text);
}

void WaitForBaton(Runtime::State& st, Process* p, std::unique_lock<std::mutex>& lock) {
    st.batonChanged.wait(lock, [&] { return st.holder == p; });
}

void EndProcess(Runtime::State& st, Process* p, DWORD code) {
    p->exitCode = code;
    detail::DestroyProcessWindows(p);
    for (auto& timer : p->timers) {
        if (timer->event != 0) {
            st.kernel.Cancel(timer->event);
        }
    }
    p->timers.clear();
    p->posted.clear();
    p->input.clear();
    for (auto& sent : p->incoming) {
        sent->done = true; // the sender gets 0
    }
    p->incoming.clear();
    detail::CloseProcessHandles(p->info.id);
    Trace("program exit name=" + p->info.name + " code=" + std::to_string(code));
}

void ProcessThread(Runtime::State* st, Process* p) {
    tProcess = p;
    {
        std::unique_lock<std::mutex> lock(st->batonMutex);
        WaitForBaton(*st, p, lock);
    }
    DWORD code = p->exitCode;
    if (!p->terminate) {
        try {
            code = static_cast<DWORD>(
                p->spec.entry(p->info.instance, nullptr, p->spec.commandLine.data(), p->spec.show));
        } catch (const ProcessExit& exit) {
            code = exit.code;
        }
    }
    EndProcess(*st, p, code);
    std::lock_guard<std::mutex> lock(st->batonMutex);
    p->phase = Process::Phase::Exited;
    st->holder = nullptr;
    st->batonChanged.notify_all();
}

// Host side: hands the baton to p and takes it back when p waits or ends.
void RunProcess(Runtime::State& st, Process* p) {
    if (p->phase == Process::Phase::NotStarted) {
        p->phase = Process::Phase::Running;
        p->thread = std::thread(ProcessThread, &st, p);
    }
    {
        std::unique_lock<std::mutex> lock(st.batonMutex);
        st.holder = p;
        st.batonChanged.notify_all();
        st.batonChanged.wait(lock, [&] { return st.holder == nullptr; });
    }
    if (p->phase == Process::Phase::Exited && p->thread.joinable()) {
        p->thread.join();
        if (st.exitObserver) {
            st.exitObserver(p->info.id, p->exitCode);
        }
    }
}

bool Runnable(Process* p) {
    switch (p->phase) {
    case Process::Phase::NotStarted:
        return true;
    case Process::Phase::Waiting:
        if (p->terminate || p->timedOut || (p->wakeForSent && !p->incoming.empty())) {
            return true;
        }
        // A predicate may consume what it tests (an auto-reset event), so
        // its answer is kept for the waiter instead of asking twice.
        p->readyResult = p->ready();
        return p->readyResult;
    default:
        return false;
    }
}

Process* PickRunnable(Runtime::State& st) {
    size_t count = st.processes.size();
    for (size_t i = 0; i < count; ++i) {
        size_t index = (st.nextToRun + i) % count;
        Process* p = st.processes[index].get();
        if (Runnable(p)) {
            st.nextToRun = index + 1;
            return p;
        }
    }
    return nullptr;
}

// One step of host-side scheduling: a program or a due event. False when idle.
bool RunOneStep(Runtime::State& st) {
    detail::RouteRawInput();
    if (Process* p = PickRunnable(st)) {
        RunProcess(st, p);
        return true;
    }
    return st.kernel.RunNextEvent(st.kernel.Now());
}

bool BlockOnProgramThread(Runtime::State& st, Process* p, const std::function<bool()>& ready,
                          uint64_t deadline, bool wakeForSent) {
    kernel::Kernel& k = st.kernel;
    p->ready = ready;
    p->readyResult = false;
    p->wakeForSent = wakeForSent;
    p->timedOut = false;
    if (deadline != kNoDeadline) {
        p->timeoutEvent = k.Schedule(
            deadline, [p] { p->timedOut = true; }, PASSIVE_LEVEL);
    }
    {
        std::unique_lock<std::mutex> lock(st.batonMutex);
        p->phase = Process::Phase::Waiting;
        st.holder = nullptr;
        st.batonChanged.notify_all();
        WaitForBaton(st, p, lock);
        p->phase = Process::Phase::Running;
    }
    if (p->timeoutEvent != 0) {
        if (!p->timedOut) {
            k.Cancel(p->timeoutEvent);
        }
        p->timeoutEvent = 0;
    }
    p->ready = nullptr;
    if (p->terminate) {
        throw ProcessExit{p->exitCode};
    }
    return p->readyResult;
}

bool BlockOnHostThread(Runtime::State* st, const std::function<bool()>& ready, uint64_t deadline,
                       bool wakeForSent) {
    kernel::Kernel& k = kernel::Kernel::Current();
    for (;;) {
        if (ready()) {
            return true;
        }
        if (st != nullptr && wakeForSent && !st->host.incoming.empty()) {
            return false;
        }
        if (k.Now() >= deadline) {
            return false;
        }
        if (st != nullptr && RunOneStep(*st)) {
            continue;
        }
        if (k.RunNextEvent(deadline)) {
            continue;
        }
        if (deadline != kNoDeadline) {
            k.AdvanceTime(deadline - k.Now());
            continue;
        }
        k.ReportViolation("deadlock", "the host waits for something that nothing can bring about");
        return false;
    }
}

} // namespace

namespace detail {

Runtime::State& St() {
    if (gRuntime == nullptr) {
        std::fprintf(stderr, "win32: a windowing call was made without a Runtime\n");
        std::abort();
    }
    return gRuntime->Internal();
}

Process* Caller() {
    return tProcess != nullptr ? tProcess : &St().host;
}

// Waits for message work: the wait of GetMessage, WaitMessage and modal loops.
bool WaitForMessageWork() {
    Runtime::State& st = St();
    Process* p = Caller();
    for (;;) {
        HandleIncomingSends(p);
        RouteRawInput();
        if (HasMessageWork(p)) {
            return true;
        }
        auto ready = [p] { return HasMessageWork(p); };
        if (p->isHost) {
            BlockOnHostThread(&st, ready, kNoDeadline, true);
            if (!HasMessageWork(p) && p->incoming.empty()) {
                return false; // deadlock reported
            }
        } else {
            BlockOnProgramThread(st, p, ready, kNoDeadline, true);
        }
    }
}

// Used by SendMessage across processes: waits for the reply while handling
// sends to the caller (so two processes sending to each other do not hang).
void WaitForReply(const std::shared_ptr<SentMessage>& sent) {
    Runtime::State& st = St();
    Process* p = Caller();
    while (!sent->done) {
        HandleIncomingSends(p);
        if (sent->done) {
            break;
        }
        auto ready = [sent] { return sent->done; };
        if (p->isHost) {
            if (!BlockOnHostThread(&st, ready, kNoDeadline, true) && p->incoming.empty()) {
                return;
            }
        } else {
            BlockOnProgramThread(st, p, ready, kNoDeadline, true);
        }
    }
}

} // namespace detail

const ProcessInfo* CurrentProcess() {
    return tProcess != nullptr ? &tProcess->info : nullptr;
}

bool BlockUntil(const std::function<bool()>& ready, uint64_t deadline) {
    if (tProcess != nullptr) {
        Runtime::State& st = gRuntime->Internal();
        if (ready()) {
            return true;
        }
        if (st.kernel.Now() >= deadline) {
            return false;
        }
        return BlockOnProgramThread(st, tProcess, ready, deadline, false);
    }
    return BlockOnHostThread(gRuntime != nullptr ? &gRuntime->Internal() : nullptr, ready, deadline,
                             false);
}

Runtime::Runtime() : state_(std::make_unique<State>(kernel::Kernel::Current())) {
    if (gRuntime != nullptr) {
        std::fprintf(stderr, "win32: only one Runtime may exist at a time\n");
        std::abort();
    }
    state_->host.isHost = true;
    state_->host.info.name = "host";
    state_->pointer = POINT{state_->screenWidth / 2, state_->screenHeight / 2};
    gRuntime = this;
    detail::CreateDesktop();
}

Runtime::~Runtime() {
    State& st = *state_;
    for (auto& p : st.processes) {
        if (p->phase == detail::Process::Phase::Exited) {
            continue;
        }
        p->terminate = true;
        while (p->phase != detail::Process::Phase::Exited) {
            RunProcess(st, p.get());
        }
    }
    detail::DestroyProcessWindows(&st.host);
    for (auto& timer : st.host.timers) {
        if (timer->event != 0) {
            st.kernel.Cancel(timer->event);
        }
    }
    gRuntime = nullptr;
}

Runtime& Runtime::Current() {
    if (gRuntime == nullptr) {
        std::fprintf(stderr, "win32: no Runtime\n");
        std::abort();
    }
    return *gRuntime;
}

Runtime* Runtime::TryCurrent() {
    return gRuntime;
}

ProcessId Runtime::Start(const ProgramSpec& spec) {
    State& st = *state_;
    auto p = std::make_unique<detail::Process>();
    p->spec = spec;
    p->info.id = st.nextProcessId;
    st.nextProcessId += 4;
    p->info.name = spec.name;
    p->info.imagePath = spec.imagePath;
    p->info.commandLine = "\"" + spec.imagePath + "\"";
    if (!spec.commandLine.empty()) {
        p->info.commandLine += " " + spec.commandLine;
    }
    p->info.instance = detail::ModuleInstance(spec.module);
    ProcessId id = p->info.id;
    Trace("program start name=" + spec.name +
          " cmdline=" + platform::trace::Quote(spec.commandLine));
    st.processes.push_back(std::move(p));
    return id;
}

void Runtime::RunUntilIdle() {
    if (tProcess != nullptr) {
        std::fprintf(stderr, "win32: RunUntilIdle called from a program\n");
        std::abort();
    }
    while (RunOneStep(*state_)) {
    }
}

void Runtime::AdvanceTime(uint64_t units) {
    kernel::Kernel& k = state_->kernel;
    uint64_t target = k.Now() + units;
    RunUntilIdle();
    while (k.RunNextEvent(target)) {
        RunUntilIdle();
    }
    if (k.Now() < target) {
        k.AdvanceTime(target - k.Now());
    }
    RunUntilIdle();
}

bool Runtime::RunToNextEvent(uint64_t limit) {
    RunUntilIdle();
    if (!state_->kernel.RunNextEvent(limit)) {
        return false;
    }
    RunUntilIdle();
    return true;
}

bool Runtime::IsRunning(ProcessId id) const {
    for (auto& p : state_->processes) {
        if (p->info.id == id) {
            return p->phase != detail::Process::Phase::Exited;
        }
    }
    return false;
}

DWORD Runtime::ExitCode(ProcessId id) const {
    for (auto& p : state_->processes) {
        if (p->info.id == id) {
            return p->exitCode;
        }
    }
    return 0;
}

std::vector<ProcessId> Runtime::RunningProcesses() const {
    std::vector<ProcessId> ids;
    for (auto& p : state_->processes) {
        if (p->phase != detail::Process::Phase::Exited) {
            ids.push_back(p->info.id);
        }
    }
    return ids;
}

std::string Runtime::ProcessName(ProcessId id) const {
    for (auto& p : state_->processes) {
        if (p->info.id == id) {
            return p->info.name;
        }
    }
    return {};
}

std::string Runtime::ImagePath(ProcessId id) const {
    for (auto& p : state_->processes) {
        if (p->info.id == id)
            return p->info.imagePath;
    }
    return {};
}

void Runtime::SetProgramLookup(ProgramLookup lookup) {
    state_->programLookup = std::move(lookup);
}

bool Runtime::LookupProgram(const std::string& name, ProgramSpec* spec) const {
    return state_->programLookup && state_->programLookup(name, spec);
}

void Runtime::Terminate(ProcessId id, UINT exitCode) {
    for (auto& p : state_->processes) {
        if (p->info.id == id && p->phase != detail::Process::Phase::Exited) {
            p->terminate = true;
            p->exitCode = exitCode;
        }
    }
}

void Runtime::SetExitObserver(ExitObserver observer) {
    state_->exitObserver = std::move(observer);
}

void Runtime::SetScreenSize(int width, int height) {
    state_->screenWidth = width;
    state_->screenHeight = height;
    detail::ScreenSizeChanged();
}

int Runtime::ScreenWidth() const {
    return state_->screenWidth;
}

int Runtime::ScreenHeight() const {
    return state_->screenHeight;
}

} // namespace platform::win32

using platform::win32::detail::Caller;

VOID WINAPI ExitProcess(UINT uExitCode) {
    if (platform::win32::tProcess == nullptr) {
        std::fprintf(stderr, "win32: ExitProcess called on the host thread\n");
        std::abort();
    }
    throw platform::win32::ProcessExit{uExitCode};
}

LPSTR WINAPI GetCommandLineA(void) {
    return Caller()->info.commandLine.data();
}
