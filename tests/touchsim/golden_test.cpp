// Golden traces: every golden/NAME.tsim is run and its trace must equal
// golden/NAME.trace line for line; the default scenario must equal
// golden/default.trace. Run with TOUCHSIM_UPDATE_GOLDEN=1 to rewrite the
// expected traces after a deliberate change, then review the diff.
#include "tests/touchsim/touchsim_support.h"
#include "touchsim/default_scenario.h"
#include "touchsim/story.h"

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

// The default scenario is the story on XP; the other two systems have their
// own goldens (98's input goes through the HID bridge).
TEST(StoryTest, TraceMatchesOn98And2000) {
    for (const char* os : {"98", "2000"}) {
        touchsim::StoryOptions options;
        options.os = os;
        CheckAgainstGolden(touchsim::StoryScript(options), std::string("story-") + os);
    }
}

TEST(StoryTest, IndexPageShowsPicturesInTraceOrder) {
    const std::string page = touchsim::StoryIndexPage(
        "a <story>",
        {"1.000 screen tap x=1 y=2", "2.000 machine picture file=\"/d/01-a.png\"",
         "3.000 reg set K\\V REG_SZ \"<&>\"", "4.000 machine picture file=\"/d/02-b.png\""});
    const size_t first = page.find("<img src=\"01-a.png\"");
    const size_t second = page.find("<img src=\"02-b.png\"");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(second, std::string::npos);
    EXPECT_LT(page.find("screen tap x=1 y=2"), first);
    EXPECT_LT(first, page.find("&quot;&lt;&amp;&gt;&quot;"));
    EXPECT_LT(page.find("&quot;&lt;&amp;&gt;&quot;"), second);
    EXPECT_NE(page.find("<title>a &lt;story&gt;</title>"), std::string::npos);
}

TEST(DefaultScenarioTest, TwoRunsGiveTheSameTrace) {
    EXPECT_EQ(RunTsim(touchsim::DefaultScenario()).trace,
              RunTsim(touchsim::DefaultScenario()).trace);
}

} // namespace
} // namespace touchsim_testing
