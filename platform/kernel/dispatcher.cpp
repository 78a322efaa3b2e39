#include "platform/kernel/dispatcher.h"

#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

namespace platform::kernel::detail {

namespace {
constexpr UCHAR kNotificationEvent = 0;
constexpr UCHAR kSynchronizationEvent = 1;
} // namespace

void Dispatcher::Initialize(PRKEVENT event, EVENT_TYPE type, BOOLEAN state) {
    std::lock_guard lock(mutex_);
    event->Header.Type = type == SynchronizationEvent ? kSynchronizationEvent : kNotificationEvent;
    event->Header.Absolute = 0;
    event->Header.Size = sizeof(KEVENT) / sizeof(LONG);
    event->Header.Inserted = 0;
    event->Header.SignalState = state ? 1 : 0;
    InitializeListHead(&event->Header.WaitListHead);
}

LONG Dispatcher::Set(PRKEVENT event) {
    LONG previous;
    {
        std::lock_guard lock(mutex_);
        previous = event->Header.SignalState;
        event->Header.SignalState = 1;
        ++wakeups_;
    }
    changed_.notify_all();
    return previous;
}

LONG Dispatcher::Reset(PRKEVENT event) {
    std::lock_guard lock(mutex_);
    LONG previous = event->Header.SignalState;
    event->Header.SignalState = 0;
    return previous;
}

LONG Dispatcher::Read(PRKEVENT event) {
    std::lock_guard lock(mutex_);
    return event->Header.SignalState;
}

bool Dispatcher::TryConsume(PRKEVENT event) {
    if (!event || event->Header.SignalState <= 0)
        return false;
    if (event->Header.Type == kSynchronizationEvent)
        event->Header.SignalState = 0;
    return true;
}

void Dispatcher::SetRealThreadWaits(bool enable, std::chrono::milliseconds cap) {
    std::lock_guard lock(mutex_);
    realThreads_ = enable;
    realCap_ = cap;
}

bool Dispatcher::RealThreadWaits() {
    std::lock_guard lock(mutex_);
    return realThreads_;
}

void Dispatcher::Wake() {
    {
        std::lock_guard lock(mutex_);
        ++wakeups_;
    }
    changed_.notify_all();
}

NTSTATUS Dispatcher::Wait(PRKEVENT event, const LARGE_INTEGER* timeout, const char* caller) {
    Kernel::State& k = K();
    uint64_t start = k.clock.Now();
    bool finite = timeout != nullptr;
    uint64_t deadline = UINT64_MAX;
    if (finite) {
        LONGLONG value = timeout->QuadPart;
        if (value < 0)
            deadline = start + static_cast<uint64_t>(-value);
        else if (value == 0)
            deadline = start;
        else { // absolute system time
            uint64_t absolute = static_cast<uint64_t>(value);
            uint64_t sinceBoot =
                absolute > Clock::kBootSystemTime ? absolute - Clock::kBootSystemTime : 0;
            deadline = std::max(start, sinceBoot);
        }
    }
    if (ThreadIrql() >= DISPATCH_LEVEL && deadline != start) {
        k.verifier.Report("wait-at-dispatch", std::string(caller) +
                                                  " with a non-zero timeout at IRQL " +
                                                  std::to_string(ThreadIrql()));
        finite = true; // poll instead of waiting
        deadline = start;
    }

    std::chrono::milliseconds realSpan;
    bool realThreads;
    {
        std::lock_guard lock(mutex_);
        realThreads = realThreads_;
        realSpan = realCap_;
    }
    if (finite && deadline - start < static_cast<uint64_t>(realSpan.count()) * 10000)
        realSpan = std::chrono::milliseconds((deadline - start) / 10000);
    auto realDeadline = std::chrono::steady_clock::now() + realSpan;

    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (TryConsume(event))
                return STATUS_SUCCESS;
        }
        if (k.clock.Now() >= deadline)
            return event ? STATUS_TIMEOUT : STATUS_SUCCESS;
        if (!finite && k.clock.Now() - start > kLivelockHorizon) {
            k.verifier.Report("deadlock", std::string(caller) +
                                              " waits without a timeout; timed events ran for 24 "
                                              "hours of virtual time and none signalled it");
            return STATUS_UNSUCCESSFUL;
        }
        if (k.clock.RunNextEvent(deadline))
            continue;
        if (realThreads && event)
            return BlockForRealThreads(event, finite, deadline, realDeadline, caller);
        if (finite) {
            k.clock.AdvanceTo(deadline);
            return event ? STATUS_TIMEOUT : STATUS_SUCCESS;
        }
        k.verifier.Report("deadlock", std::string(caller) +
                                          " waits without a timeout for an event that nothing "
                                          "can signal (no timed event is scheduled)");
        return STATUS_UNSUCCESSFUL;
    }
}

NTSTATUS Dispatcher::BlockForRealThreads(PRKEVENT event, bool finite, uint64_t deadline,
                                         std::chrono::steady_clock::time_point realDeadline,
                                         const char* caller) {
    Kernel::State& k = K();
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            uint64_t seen = wakeups_;
            bool woken = changed_.wait_until(lock, realDeadline, [&] {
                return event->Header.SignalState > 0 || wakeups_ != seen;
            });
            if (TryConsume(event))
                return STATUS_SUCCESS;
            if (!woken)
                break;
        }
        while (k.clock.RunNextEvent(deadline)) {
            std::lock_guard lock(mutex_);
            if (TryConsume(event))
                return STATUS_SUCCESS;
        }
    }
    if (finite) {
        k.clock.AdvanceTo(deadline);
        return STATUS_TIMEOUT;
    }
    k.verifier.Report("deadlock", std::string(caller) +
                                      " waits without a timeout and no thread signalled it "
                                      "within the real-time cap");
    return STATUS_UNSUCCESSFUL;
}

} // namespace platform::kernel::detail
