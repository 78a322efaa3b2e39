// The calibration's arithmetic: the pair estimates, the table entries and
// their scale per system, and the button transitions of the capture.
#include "tests/panel/panel_fixture.h"

#include "apps/panel/calibration.h"

namespace panel_testing {
namespace {

PanelSettings Screen(double k, double c, int width = 1024, int height = 768) {
    PanelSettings s{};
    s.Kx = s.Ky = k;
    s.Cx = s.Cy = c;
    s.ScreenWidth = width;
    s.ScreenHeight = height;
    return s;
}

TEST(TableEntryTest, EntriesFollowTheCoefficientsAndStayInRange) {
    struct Case {
        const char* what;
        double k, c;
        int width;
        TableAxis axis;
        int index;
        LONG scale;
        USHORT entry;
    };
    const Case cases[] = {
        // Identity on 1024 x 768: trunc(i / 1024 * 65535), the maximum beyond.
        {"identity 0", 1, 0, 1024, TableAxisX, 0, 65535, 0},
        {"identity 1", 1, 0, 1024, TableAxisX, 1, 65535, 63},
        {"identity 512", 1, 0, 1024, TableAxisX, 512, 65535, 32767},
        {"identity 1023", 1, 0, 1024, TableAxisX, 1023, 65535, 65471},
        {"identity 1024", 1, 0, 1024, TableAxisX, 1024, 65535, 65535},
        {"beyond the screen", 1, 0, 1024, TableAxisX, 4999, 65535, 65535},
        {"Y by the height", 1, 0, 1024, TableAxisY, 384, 65535, 32767},
        {"2000's scale", 1, 0, 1024, TableAxisX, 4999, 32767, 32767},
        {"2000's scale, half", 1, 0, 1024, TableAxisX, 512, 32767, 16383},
        {"half rounds up", 0.5, 0, 1024, TableAxisX, 1, 65535, 63},
        {"below half rounds down", 0.4, 0, 1024, TableAxisX, 1, 65535, 0},
        {"negative pixel", -1, 100, 1024, TableAxisX, 200, 65535, 0},
        {"beyond a million", 1000, 0, 1024, TableAxisX, 4999, 65535, 0},
        {"far beyond int", 1e300, 0, 1024, TableAxisX, 4999, 65535, 0},
        // The one mend: no extent gives 0, not a division by zero.
        {"no screen size", 1, 0, 0, TableAxisX, 100, 65535, 0},
    };
    for (const Case& c : cases) {
        PanelSettings s = Screen(c.k, c.c, c.width);
        EXPECT_EQ(ComputeTableEntry(&s, c.axis, c.index, c.scale), c.entry) << c.what;
    }
}

class TableScaleTest : public PanelTest {
protected:
    TableScaleTest() : PanelTest(platform::win32::OsKind::Windows2000) {}
};

// "osflg" decides only on Windows 2000, without regard to case.
TEST_F(TableScaleTest, OnlyWindows2000AsksWhichDriverFamilyIsInstalled) {
    struct Case {
        int osCode;
        const char* flag; // nullptr: no value
        LONG scale;
    };
    const Case cases[] = {
        {2000, "xp", 65535},    {2000, "XP", 65535}, {2000, "2k", 32767}, {2000, "98", 32767},
        {2000, nullptr, 32767}, {2001, "2k", 65535}, {9598, "98", 65535},
    };
    for (const Case& c : cases) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegDeleteValueA(key, "osflg");
        RegCloseKey(key);
        if (c.flag != nullptr)
            SetText(kSettings, "osflg", c.flag);
        EXPECT_EQ(TableScale(c.osCode), c.scale) << c.osCode << " " << (c.flag ? c.flag : "-");
    }
}

TEST(PairEstimateTest, TheLinePassesThroughBothTargetsOfThePair) {
    const CalibrationPoint pairs[][2] = {
        {{102.4, 76.8, 1641, 321}, {921.6, 691.2, 361, 1041}}, // X backwards
        {{102.4, 691.2, 260, 1230}, {921.6, 76.8, 1540, 270}}, // Y backwards
        {{10, 10, 10, 10}, {90, 90, 90, 90}},                  // identity
    };
    for (const auto& pair : pairs) {
        Estimate e = PairEstimate(&pair[0], &pair[1]);
        for (const CalibrationPoint& p : pair) {
            EXPECT_NEAR(e.Kx * p.RawX + e.Cx, p.ScreenX, 1e-9);
            EXPECT_NEAR(e.Ky * p.RawY + e.Cy, p.ScreenY, 1e-9);
        }
        EXPECT_TRUE(PairIsDistinct(&pair[0], &pair[1]));
    }
    const CalibrationPoint a{10, 10, 500, 500};
    const CalibrationPoint sameX{90, 90, 500.05, 900};
    const CalibrationPoint sameY{90, 90, 900, 499.95};
    EXPECT_FALSE(PairIsDistinct(&a, &sameX));
    EXPECT_FALSE(PairIsDistinct(&a, &sameY));
}

TEST(ButtonTransitionTest, OneEventPerChangeRightBeforeLeft) {
    struct Case {
        DWORD last, now, event;
    };
    const Case cases[] = {
        {0, 0, MOUSEEVENTF_MOVE},      {1, 1, MOUSEEVENTF_MOVE},      {0, 1, MOUSEEVENTF_LEFTDOWN},
        {1, 0, MOUSEEVENTF_LEFTUP},    {0, 2, MOUSEEVENTF_RIGHTDOWN}, {2, 0, MOUSEEVENTF_RIGHTUP},
        {1, 3, MOUSEEVENTF_RIGHTDOWN}, {3, 2, MOUSEEVENTF_LEFTUP},    {2, 1, MOUSEEVENTF_RIGHTUP},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ButtonTransition(c.last, c.now), c.event) << c.last << " -> " << c.now;
}

} // namespace
} // namespace panel_testing
