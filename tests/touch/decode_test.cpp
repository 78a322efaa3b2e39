// The decoding core: touch modes, mapping, the stability window, the queue.
#include "tests/touch/touch_harness.h"

namespace touch_testing {
namespace {

using DecodeTest = TouchTest;

TEST_F(DecodeTest, TouchModesTurnPhasesIntoButtons) {
    const std::pair<LONG, std::vector<int>> cases[] = {
        {1, {0, 0, 0, 1, 0}}, {2, {1, 0, 0, 0, 0}}, {3, {0, 1, 1, 0}},
        {0, {0, 1, 1, 0}},    {7, {0, 1, 1, 0}},
    };
    for (const auto& [mode, buttons] : cases) {
        ext->doneMode = mode;
        const UCHAR phases[] = {0x81, 0x82, 0x82, 0x84, 0x90};
        for (USHORT i = 0; i < 5; ++i)
            Report(phases[i], 10 + i, 10);
        std::vector<Pt> points = PopAll();
        std::vector<int> seen;
        for (const Pt& point : points)
            seen.push_back(point[0]);
        std::vector<int> expected = buttons;
        expected.push_back(0); // status 0x90 means nothing: a move in every mode
        EXPECT_EQ(seen, expected) << "doneMode " << mode;
        EXPECT_EQ(points[points.size() - 2][1], 13 * 40) << "doneMode " << mode;
    }
}

TEST_F(DecodeTest, MapsThroughTablesOnlyWhenCalibrationLoaded) {
    USHORT x, y;
    MapPoint(ext, 1638, 1213, &x, &y);
    EXPECT_EQ(Pt({0, x, y}), Pt({0, 65520, 65502}));
    MapPoint(ext, 1639, 0, &x, &y);
    EXPECT_EQ(x, 24);

    ext->XArray[4999] = 777;
    ext->YArray[4999] = 888;
    ext->YArray[12] = 99;
    ext->CalibrationLoaded = TRUE;
    for (USHORT raw : {4999, 5000, 60000}) {
        MapPoint(ext, raw, raw, &x, &y);
        EXPECT_EQ(Pt({0, x, y}), Pt({0, 777, 888})) << raw;
    }
    MapPoint(ext, 12, 12, &x, &y);
    EXPECT_EQ(Pt({0, x, y}), Pt({0, 0, 99}));
}

TEST_F(DecodeTest, RawModeQueuesReportsUndecoded) {
    ext->RawMode = TRUE;
    ext->moveSlider = 5;
    ext->CalibrationLoaded = TRUE;
    Report(0x81, 300, 400);
    Report(0x37, 5000, 60000);
    EXPECT_EQ(PopAll(), (std::vector<Pt>{{0x81, 300, 400}, {0x37, 5000, 60000}}));
    EXPECT_EQ(ext->HoldCount, 0u);
}

TEST_F(DecodeTest, StabilityWindowPinsForSevenTicksNotEight) {
    ext->moveSlider = 5;
    Report(0x81, 100, 100);
    EXPECT_EQ(TouchDriverState.HoldWindow, 1'156'250u);
    kernel.AdvanceTime(7 * 156250);
    Report(0x82, 130, 100);
    EXPECT_EQ(ext->HoldCount, 2u);
    kernel.AdvanceTime(156250);
    Report(0x82, 131, 100);
    EXPECT_EQ(ext->HoldCount, 0u);
    EXPECT_EQ(PopAll(), (std::vector<Pt>{{0, 4000, 5400}, {0, 4000, 5400}, {0, 5240, 5400}}));
}

TEST_F(DecodeTest, SecondTouchInsideWindowLandsOnFirstAnchor) {
    ext->moveSlider = 5;
    Report(0x81, 100, 100);
    kernel.AdvanceTime(500'000); // 50 ms
    Report(0x81, 200, 200);
    kernel.AdvanceTime(1'200'000); // past the window, measured from the anchor
    Report(0x81, 300, 300);
    EXPECT_EQ(ext->AnchorX, 300);
    EXPECT_EQ(ext->HoldCount, 1u);
    EXPECT_EQ(PopAll(), (std::vector<Pt>{{0, 4000, 5400}, {0, 4000, 5400}, {0, 12000, 16200}}));
}

TEST_F(DecodeTest, WindowProductWrapsIn32Bits) {
    ext->moveSlider = 21475; // 21475 * 200000 = 2^32 + 32704
    Report(0x81, 1, 1);
    EXPECT_EQ(TouchDriverState.HoldWindow, 156250u + 32704u);
}

TEST_F(DecodeTest, FullQueueDropsOldest) {
    std::vector<Pt> expected;
    for (USHORT i = 1; i <= 11; ++i) {
        PushPoint(ext, 0, i, i);
        if (i > 1)
            expected.push_back({0, i, i});
    }
    EXPECT_EQ(PopAll(), expected);
}

} // namespace
} // namespace touch_testing
