#include "tests/soak/replay.h"

#include <algorithm>

namespace soak {

std::optional<Outcome> Replay(platform::win32::OsKind os, const std::vector<Event>& events) {
    Walk walk(os);
    for (size_t i = 0; i < events.size(); ++i) {
        if (std::optional<Finding> finding = walk.Step(events[i]))
            return Outcome{i, *finding};
    }
    if (std::optional<Finding> finding = walk.Finish())
        return Outcome{events.size(), *finding};
    return std::nullopt;
}

std::vector<Event> Shrink(platform::win32::OsKind os, std::vector<Event> events,
                          const std::string& rule, std::chrono::seconds budget) {
    const auto deadline = std::chrono::steady_clock::now() + budget;
    // A candidate that fails earlier is cut at its finding too.
    auto fails = [&](std::vector<Event>& candidate) {
        std::optional<Outcome> outcome = Replay(os, candidate);
        if (!outcome || outcome->finding.rule != rule)
            return false;
        if (outcome->index < candidate.size())
            candidate.resize(outcome->index + 1);
        return true;
    };
    size_t chunks = 2;
    while (events.size() > 1 && std::chrono::steady_clock::now() < deadline) {
        const size_t chunk = (events.size() + chunks - 1) / chunks;
        bool removed = false;
        for (size_t start = 0; start < events.size(); start += chunk) {
            if (std::chrono::steady_clock::now() >= deadline)
                break;
            std::vector<Event> rest(events.begin(), events.begin() + static_cast<long>(start));
            rest.insert(rest.end(),
                        events.begin() + static_cast<long>(std::min(events.size(), start + chunk)),
                        events.end());
            if (!rest.empty() && fails(rest)) {
                events = std::move(rest);
                chunks = std::max<size_t>(chunks - 1, 2);
                removed = true;
                break;
            }
        }
        if (!removed) {
            if (chunk == 1)
                break;
            chunks = std::min(events.size(), chunks * 2);
        }
    }
    return events;
}

} // namespace soak
