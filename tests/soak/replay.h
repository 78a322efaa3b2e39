// Running an event list on a fresh machine, and shrinking a list that ends
// in a finding to a short one that still ends in the same rule.
#pragma once

#include "tests/soak/event.h"
#include "tests/soak/walk.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <vector>

namespace soak {

struct Outcome {
    size_t index = 0; // the event after which it was found; the list's size: at the end
    Finding finding;
};

// Every event, then the shutdown; stops at the first finding.
std::optional<Outcome> Replay(platform::win32::OsKind os, const std::vector<Event>& events);

// Delta debugging over the list: removes chunks while the replay still ends
// in a finding of the same rule, until no single event can go or the budget
// is spent (the best list so far is returned then).
std::vector<Event> Shrink(platform::win32::OsKind os, std::vector<Event> events,
                          const std::string& rule, std::chrono::seconds budget);

} // namespace soak
