// The two sides of the benchmarks' shared stream compare like with like: the
// event device stand-in feeds tslib the samples the touch driver decodes, and
// both map a raw position to the same absolute one.
#include "bench/evdev_file.h"
#include "bench/touch_core.h"
#include "bench/tslib_chain.h"

#include <gtest/gtest.h>

#include <array>

namespace bench {
namespace {

// A finger resting at each position (no jitter, so neither filter moves it),
// one stroke per position; ours and tslib's last point of each stroke.
TEST(SideBySide, OursAndTslibPlaceAStillFingerAlike) {
    const std::array<std::pair<uint16_t, uint16_t>, 4> positions = {
        {{0, 0}, {1, 3999}, {2000, 1234}, {3999, 3998}}};
    std::vector<Sample> samples;
    for (auto [x, y] : positions) {
        samples.push_back({0x81, x, y});
        for (int i = 0; i < 5; ++i)
            samples.push_back({0x82, x, y});
        samples.push_back({0x84, x, y});
    }

    EvdevFile device(samples);
    std::vector<ts_sample> theirs;
    {
        TslibChain chain(device);
        ASSERT_GT(chain.ReadAll(1, &theirs), 0u) << "tslib read nothing from the event device";
        std::vector<ts_sample> again;
        chain.ReadAll(1, &again);
        EXPECT_EQ(again.size(), theirs.size()) << "a rewound device replays the same stream";
    }

    TouchCore core;
    size_t stroke = 0;
    for (const ts_sample& sample : theirs) {
        if (sample.pressure == 0) {
            ++stroke; // a lift ends the stroke
            continue;
        }
        ASSERT_LT(stroke, positions.size());
        const auto [x, y] = positions[stroke];
        USHORT ourX, ourY;
        MapPoint(core.Device(), x, y, &ourX, &ourY);
        EXPECT_EQ(sample.x, ourX) << "raw x " << x;
        EXPECT_EQ(sample.y, ourY) << "raw y " << y;
    }
    EXPECT_EQ(stroke, positions.size()) << "every lift came through";
}

} // namespace
} // namespace bench
