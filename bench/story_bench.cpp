// The whole life story's wall time: a fresh XP machine from the media to the
// last restart (the default scenario), trace produced but not printed.
#include "touchsim/runner.h"
#include "touchsim/story.h"

#include <benchmark/benchmark.h>

namespace {

void BM_LifeStoryXp(benchmark::State& state) {
    const std::string script = touchsim::StoryScript(touchsim::StoryOptions{});
    for (auto _ : state) {
        touchsim::RunOptions options;
        options.traceOut = [](const std::string&) {};
        touchsim::RunResult result = touchsim::RunScript(script, options);
        if (result.exitCode != 0) {
            state.SkipWithError(result.error.c_str());
            break;
        }
    }
}
BENCHMARK(BM_LifeStoryXp)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
