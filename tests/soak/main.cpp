// soak --events N --seed S [--os 98|2000|xp] [--threads] [--replay FILE]
//
// The random walk over a machine of each system (N events shared among
// them, or all on the one named), or the threaded variant, or one saved
// event list replayed. Prints events per second, peak resident memory and
// the invariant counts; a finding prints the seed and the shortest event
// list that reproduces it, and exits 1. Bad arguments exit 2.
#include "tests/soak/event.h"
#include "tests/soak/replay.h"
#include "tests/soak/threaded.h"

#include <sys/resource.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using platform::win32::OsKind;

struct Options {
    uint64_t events = 10'000;
    uint64_t seed = 1;
    std::vector<OsKind> systems = {OsKind::Windows98, OsKind::Windows2000, OsKind::WindowsXP};
    bool threads = false;
    std::string replay;
    int shrinkSeconds = 300;
};

bool ParseOs(const std::string& name, OsKind* os) {
    if (name == "98")
        *os = OsKind::Windows98;
    else if (name == "2000")
        *os = OsKind::Windows2000;
    else if (name == "xp")
        *os = OsKind::WindowsXP;
    else
        return false;
    return true;
}

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--threads") {
            options->threads = true;
        } else if (option == "--events" && hasValue) {
            options->events = std::strtoull(argv[++i], nullptr, 10);
        } else if (option == "--seed" && hasValue) {
            options->seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (option == "--shrink-seconds" && hasValue) {
            options->shrinkSeconds = std::atoi(argv[++i]);
        } else if (option == "--replay" && hasValue) {
            options->replay = argv[++i];
        } else if (option == "--os" && hasValue) {
            OsKind os;
            if (!ParseOs(argv[++i], &os))
                return false;
            options->systems = {os};
        } else {
            return false;
        }
    }
    return options->events > 0;
}

double PeakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // KiB on Linux
}

void PrintFinding(OsKind os, uint64_t seed, const soak::Outcome& outcome,
                  const std::vector<soak::Event>& shortest) {
    std::printf("FINDING os=%s seed=%llu event=%zu rule=%s\n  %s\n", machine::OsName(os).c_str(),
                static_cast<unsigned long long>(seed), outcome.index, outcome.finding.rule.c_str(),
                outcome.finding.detail.c_str());
    std::printf("shortest list (%zu events; save it and run soak --os %s --replay FILE):\n",
                shortest.size(), machine::OsName(os).c_str());
    for (const soak::Event& event : shortest)
        std::printf("%s\n", soak::EventText(event).c_str());
}

int RunReplay(const Options& options) {
    std::ifstream in(options.replay);
    std::vector<soak::Event> events;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::optional<soak::Event> event = soak::ParseEvent(line);
        if (!event) {
            std::fprintf(stderr, "soak: not an event: %s\n", line.c_str());
            return 2;
        }
        events.push_back(*event);
    }
    for (OsKind os : options.systems) {
        if (std::optional<soak::Outcome> outcome = soak::Replay(os, events)) {
            PrintFinding(os, 0, *outcome, events);
            return 1;
        }
        std::printf("os=%s replayed %zu events: nothing found\n", machine::OsName(os).c_str(),
                    events.size());
    }
    return 0;
}

// One system's walk; 0 when nothing was found.
int RunWalk(OsKind os, uint64_t events, uint64_t seed, const Options& options) {
    soak::EventSource source(seed);
    std::vector<soak::Event> done;
    done.reserve(events);
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    std::optional<soak::Outcome> outcome;
    soak::WalkCounts counts;
    soak::OracleCounts oracle;
    {
        soak::Walk walk(os);
        for (uint64_t i = 0; i < events && !outcome; ++i) {
            done.push_back(source.Next());
            if (std::optional<soak::Finding> finding = walk.Step(done.back()))
                outcome = soak::Outcome{done.size() - 1, *finding};
        }
        if (!outcome) {
            if (std::optional<soak::Finding> finding = walk.Finish())
                outcome = soak::Outcome{done.size(), *finding};
        }
        counts = walk.Counts();
        oracle = walk.Oracle();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The machine is shared: the rate per second of this process's own CPU
    // time is the one to compare.
    const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("os=%s seed=%llu events=%llu seconds=%.2f cpu-seconds=%.2f events/cpu-s=%.0f "
                "virtual=%llu ms\n",
                machine::OsName(os).c_str(), static_cast<unsigned long long>(seed),
                static_cast<unsigned long long>(counts.events), seconds, cpuSeconds,
                static_cast<double>(counts.events) / cpuSeconds,
                static_cast<unsigned long long>(counts.virtualMs));
    std::printf("  checks=%llu skipped=%llu reports=%llu points=%llu pointer-moves=%llu "
                "deepest-queue=%u failed-allocations=%llu\n",
                static_cast<unsigned long long>(counts.checks),
                static_cast<unsigned long long>(counts.skipped),
                static_cast<unsigned long long>(oracle.reports),
                static_cast<unsigned long long>(oracle.points),
                static_cast<unsigned long long>(oracle.pointerMoves), counts.deepestQueue,
                static_cast<unsigned long long>(counts.failedAllocations));
    if (!outcome)
        return 0;
    done.resize(outcome->index < done.size() ? outcome->index + 1 : done.size());
    std::vector<soak::Event> shortest =
        soak::Shrink(os, done, outcome->finding.rule, std::chrono::seconds(options.shrinkSeconds));
    PrintFinding(os, seed, *outcome, shortest);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: soak --events N --seed S [--os 98|2000|xp] [--threads] "
                             "[--replay FILE] [--shrink-seconds N]\n");
        return 2;
    }
    if (!options.replay.empty())
        return RunReplay(options);
    int result = 0;
    const uint64_t share = (options.events + options.systems.size() - 1) / options.systems.size();
    for (size_t i = 0; i < options.systems.size() && result == 0; ++i) {
        // Each system walks its own way from the one seed.
        const uint64_t seed = options.seed * 3 + i;
        result = options.threads ? soak::RunThreaded(options.systems[i], share, seed)
                                 : RunWalk(options.systems[i], share, seed, options);
    }
    std::printf("peak resident memory: %.1f MiB\n", PeakResidentMiB());
    return result;
}
