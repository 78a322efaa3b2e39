// Golden traces: every golden/NAME.tsim is run and its trace must equal
// golden/NAME.trace line for line; the default scenario must equal
// golden/default.trace. Run with TOUCHSIM_UPDATE_GOLDEN=1 to rewrite the
// expected traces after a deliberate change, then review the diff.
#include "tests/touchsim/touchsim_support.h"
#include "touchsim/default_scenario.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace touchsim_testing {
namespace {

namespace fs = std::filesystem;

const fs::path kGoldenDir = TOUCHSIM_GOLDEN_DIR;

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> Scripts() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kGoldenDir)) {
        if (entry.path().extension() == ".tsim")
            names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void CheckAgainstGolden(const std::string& script, const std::string& name) {
    Outcome outcome = RunTsim(script);
    ASSERT_EQ(outcome.result.exitCode, 0) << outcome.result.error;
    std::string actual;
    for (const std::string& line : outcome.trace)
        actual += line + "\n";
    const fs::path expected = kGoldenDir / (name + ".trace");
    if (std::getenv("TOUCHSIM_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(expected, std::ios::binary) << actual;
        return;
    }
    ASSERT_TRUE(fs::exists(expected)) << expected << " is missing";
    EXPECT_EQ(actual, ReadFile(expected)) << "trace of " << name << " differs";
}

class GoldenTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenTest, TraceMatches) {
    CheckAgainstGolden(ReadFile(kGoldenDir / (GetParam() + ".tsim")), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Scripts, GoldenTest, ::testing::ValuesIn(Scripts()), [](const auto& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(DefaultScenarioTest, TraceMatches) {
    CheckAgainstGolden(touchsim::DefaultScenario(), "default");
}

TEST(DefaultScenarioTest, TwoRunsGiveTheSameTrace) {
    EXPECT_EQ(RunTsim(touchsim::DefaultScenario()).trace,
              RunTsim(touchsim::DefaultScenario()).trace);
}

} // namespace
} // namespace touchsim_testing
