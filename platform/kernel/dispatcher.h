// Dispatcher objects (events) and waits on the virtual clock.
//
// A wait that is not satisfied runs the timed events due before its deadline
// (the clock jumps to each). With none left, a finite wait moves the clock to
// its deadline and times out; an infinite one can never end and is reported
// as a deadlock. With real-thread waits on, the waiter instead blocks until
// another host thread signals the object or schedules an event, up to a
// real-time cap.
#pragma once

#include "platform/kernel/ntddk.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform::kernel::detail {

class Dispatcher {
public:
    void Initialize(PRKEVENT event, EVENT_TYPE type, BOOLEAN state);
    LONG Set(PRKEVENT event);
    LONG Reset(PRKEVENT event);
    LONG Read(PRKEVENT event);

    // event == nullptr: a pure delay. timeout == nullptr: no deadline.
    NTSTATUS Wait(PRKEVENT event, const LARGE_INTEGER* timeout, const char* caller);

    void SetRealThreadWaits(bool enable, std::chrono::milliseconds cap);
    bool RealThreadWaits();
    // Something changed that a blocked waiter should look at (a new event).
    void Wake();

    // An infinite wait that sees this much virtual time pass without being
    // signalled, while timed events keep running, counts as a deadlock.
    static constexpr uint64_t kLivelockHorizon = 24ULL * 3600 * 10000000;

private:
    bool TryConsume(PRKEVENT event); // with mutex_ held
    NTSTATUS BlockForRealThreads(PRKEVENT event, bool finite, uint64_t deadline,
                                 std::chrono::steady_clock::time_point realDeadline,
                                 const char* caller);

    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t wakeups_ = 0;
    bool realThreads_ = false;
    std::chrono::milliseconds realCap_{30000};
};

} // namespace platform::kernel::detail
