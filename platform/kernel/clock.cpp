#include "platform/kernel/clock.h"

#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

namespace platform::kernel::detail {

void Clock::SetTickLength(ULONG units) {
    tickLength_.store(units ? units : 1);
}

Kernel::EventId Clock::Schedule(uint64_t dueTime, std::function<void()> fn, KIRQL irql) {
    Kernel::EventId id;
    {
        std::lock_guard lock(mutex_);
        id = nextId_++;
        queue_.emplace(std::make_pair(dueTime, id), Timed{std::move(fn), irql});
        dueOf_[id] = dueTime;
    }
    K().dispatcher.Wake();
    return id;
}

void Clock::Cancel(Kernel::EventId id) {
    std::function<void()> dropped; // destroyed outside the lock
    std::lock_guard lock(mutex_);
    auto due = dueOf_.find(id);
    if (due == dueOf_.end())
        return;
    auto entry = queue_.find(std::make_pair(due->second, id));
    dropped = std::move(entry->second.fn);
    queue_.erase(entry);
    dueOf_.erase(due);
}

bool Clock::RunNextEvent(uint64_t deadline) {
    Timed event;
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty() || queue_.begin()->first.first > deadline)
            return false;
        auto first = queue_.begin();
        uint64_t due = first->first.first;
        dueOf_.erase(first->first.second);
        event = std::move(first->second);
        queue_.erase(first);
        AdvanceTo(due);
    }
    IrqlScope scope(event.irql, "timed event");
    event.fn();
    return true;
}

void Clock::RunDueEvents() {
    while (RunNextEvent(Now())) {
    }
}

void Clock::AdvanceTime(uint64_t units) {
    uint64_t target = Now() + units;
    while (RunNextEvent(target)) {
    }
    AdvanceTo(target);
}

void Clock::AdvanceTo(uint64_t time) {
    uint64_t now = now_.load(std::memory_order_acquire);
    while (now < time && !now_.compare_exchange_weak(now, time, std::memory_order_acq_rel)) {
    }
}

uint64_t Clock::NextDueTime() const {
    std::lock_guard lock(mutex_);
    return queue_.empty() ? UINT64_MAX : queue_.begin()->first.first;
}

void Clock::DropAll() {
    std::map<std::pair<uint64_t, Kernel::EventId>, Timed> dropped;
    std::lock_guard lock(mutex_);
    dropped.swap(queue_);
    dueOf_.clear();
}

} // namespace platform::kernel::detail
