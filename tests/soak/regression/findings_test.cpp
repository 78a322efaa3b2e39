// Event lists the soak shrank from its findings, replayed on a fresh
// machine: each must now run to a clean shutdown.
#include "tests/soak/replay.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using platform::win32::OsKind;

struct Case {
    const char* name;
    OsKind os;
    const char* events; // one per line
};

const Case kFindings[] = {
    // A handle closed under the low-resources switch: the cleanup and close
    // requests and the removal they released never reached the driver.
    {"CloseUnderLowResources", OsKind::Windows2000,
     "ctl-open 0 0 0 0\nunplug 0 0 0 0\nstandby 0 0 0 0\nlow-resources 11 3 0 0\n"
     "resume 0 0 0 0\nstandby 0 0 0 0\nresume 0 0 0 0\nctl-command 6 0 0 0\n"
     "ctl-getpoint 0 0 0 0\nctl-command 4 0 0 0\nctl-open 0 0 0 0\n"},
    // A value of no bytes read by the driver: the registry copied from a null
    // pointer (found by UBSan under the asan preset).
    {"EmptyValueRead", OsKind::WindowsXP,
     "broken 7 0 0 0\nctl-open 0 0 0 0\nctl-command 6 0 0 0\nreport 129 100 200 0\n"},
    // A screen that arrived while the old one's device object still existed
    // (a handle open) failed; pulled out, its port kept it, and no screen
    // could be plugged in again.
    {"ReplugAfterFailedArrival", OsKind::Windows98,
     "ctl-open 0 0 0 0\nunplug 0 0 0 0\nplug 0 0 0 0\nctl-close 0 0 0 0\nunplug 0 0 0 0\n"
     "plug 0 0 0 0\nreport 129 100 200 0\n"},
};

std::vector<soak::Event> Parse(const char* text) {
    std::vector<soak::Event> events;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::optional<soak::Event> event = soak::ParseEvent(line);
        EXPECT_TRUE(event.has_value()) << line;
        if (event)
            events.push_back(*event);
    }
    return events;
}

TEST(SoakFindingsTest, ShrunkListsNowRunClean) {
    for (const Case& finding : kFindings) {
        std::optional<soak::Outcome> outcome = soak::Replay(finding.os, Parse(finding.events));
        EXPECT_FALSE(outcome.has_value())
            << finding.name << ": after event " << outcome->index << ": " << outcome->finding.rule
            << " " << outcome->finding.detail;
    }
}

// The second case must really have left the port holding the screen: the
// plug after it is refused unless the fix is in.
TEST(SoakFindingsTest, ReplugAfterFailedArrivalPlugsTheScreenIn) {
    soak::Walk walk(OsKind::Windows98);
    for (const soak::Event& event : Parse(kFindings[2].events))
        ASSERT_FALSE(walk.Step(event).has_value());
    EXPECT_TRUE(walk.Machine().ScreenPlugged());
    EXPECT_EQ(walk.Counts().skipped, 0u);
}

} // namespace
