// The virtual clock and its queue of timed events. Time only moves when an
// event runs, a wait times out or the host advances it.
#pragma once

#include "platform/kernel/kernel.h"

#include <atomic>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace platform::kernel::detail {

class Clock {
public:
    static constexpr ULONG kDefaultTickLength = 156250;
    // KeQuerySystemTime at boot: 2001-01-01 00:00 in 100-ns units since 1601.
    static constexpr uint64_t kBootSystemTime = 126227808000000000ULL;

    uint64_t Now() const { return now_.load(std::memory_order_acquire); }
    ULONG TickLength() const { return tickLength_.load(std::memory_order_relaxed); }
    void SetTickLength(ULONG units);

    Kernel::EventId Schedule(uint64_t dueTime, std::function<void()> fn, KIRQL irql);
    void Cancel(Kernel::EventId id);
    bool RunNextEvent(uint64_t deadline);
    void RunDueEvents();
    void AdvanceTime(uint64_t units);
    // Moves the clock forward to time (never back) without running events.
    void AdvanceTo(uint64_t time);
    // The earliest due time, or UINT64_MAX when nothing is scheduled.
    uint64_t NextDueTime() const;
    void DropAll(); // at teardown

private:
    struct Timed {
        std::function<void()> fn;
        KIRQL irql;
    };
    std::atomic<uint64_t> now_{0};
    std::atomic<ULONG> tickLength_{kDefaultTickLength};
    mutable std::mutex mutex_;
    // Keyed by (due time, id): ids grow, so equal times run in scheduling order.
    std::map<std::pair<uint64_t, Kernel::EventId>, Timed> queue_;
    std::unordered_map<Kernel::EventId, uint64_t> dueOf_;
    Kernel::EventId nextId_ = 1;
};

} // namespace platform::kernel::detail
