// The programs' registry layer and the panel's copy of the settings, as the
// setup, the panel, the uninstaller and the driver share the values.
#include "apps/common/os_code.h"
#include "apps/common/panel_settings.h"
#include "apps/common/settings_store.h"
#include "platform/win32/runtime.h"
#include "tests/win32base/win32_fixture.h"

#include <gmock/gmock.h>

#include <cstring>
#include <optional>

namespace win32_testing {
namespace {

using platform::win32::OsKind;
using ::testing::ElementsAre;

class SettingsStore : public Win32Test {
protected:
    // A text value as the setup or an editor leaves it (optionally with NUL).
    void Text(const std::string& name, const std::string& text, bool withNul = false) {
        SetStored(kSettingsPath, name, REG_SZ, Utf16(text, withNul));
    }

    std::string Read(const char* name, const char* preset = "", DWORD size = 51) {
        std::vector<char> buffer(size + 1, '\x7f');
        std::strcpy(buffer.data(), preset);
        ReadSettingText(name, buffer.data(), size);
        EXPECT_EQ(buffer[size], '\x7f') << "wrote past the buffer";
        return buffer.data();
    }
};

TEST_F(SettingsStore, EnsureCreatesTheKeyOnlyWhenMissing) {
    EXPECT_FALSE(SettingsKeyExists());
    EXPECT_EQ(WriteSettingText("doneMode", "1"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(EnsureSettingsKey(), ERROR_SUCCESS);
    EXPECT_TRUE(SettingsKeyExists());
    EXPECT_EQ(EnsureSettingsKey(), ERROR_SUCCESS);
    EXPECT_THAT(Trace(), ElementsAre("0.000 reg create HKLM\\SOFTWARE\\Touch",
                                     "0.000 reg create HKLM\\SOFTWARE\\Touch\\usbConfig"));
}

TEST_F(SettingsStore, TextIsWrittenWithoutCountingItsNulAndReadWithOrWithout) {
    Store().Create(kSettingsPath);
    EXPECT_EQ(WriteSettingText("doneMode", "3"), ERROR_SUCCESS);
    // The count leaves the NUL out, but NT stores the NUL that follows the
    // data (Wine's advapi32 registry conformance test, test_set_value,
    // "off-by-one size").
    EXPECT_EQ(Stored(kSettingsPath, "doneMode"), Utf16("3", true));
    EXPECT_EQ(Read("DONEMODE"), "3");

    Text("moveSlider", "25", true); // as an editor stores it
    EXPECT_EQ(Read("moveSlider", "30"), "25");
    EXPECT_EQ(Read("missing", "30"), "30");

    const BYTE table[6] = {1, 0, 2, 0, 3, 0};
    EXPECT_EQ(WriteSettingBinary("XArray", table, 6), ERROR_SUCCESS);
    EXPECT_EQ(Stored(kSettingsPath, "XArray"), std::vector<uint8_t>(table, table + 6));
}

TEST_F(SettingsStore, LongTextIsCutToTheReadersBuffer) {
    Text("comport", "COM1234567890123456");
    EXPECT_EQ(Read("comport", "", PANEL_PORT_SIZE), "COM12345678");
    Text("comport", std::string(SETTING_TEXT_QUERY, 'x'));
    EXPECT_EQ(Read("comport", "", PANEL_PORT_SIZE), "xxxxxxxxxxx");
    // Beyond what a read queries: the value is not read at all.
    Text("comport", std::string(SETTING_TEXT_QUERY + 1, 'x'));
    EXPECT_EQ(Read("comport", "COM1", PANEL_PORT_SIZE), "COM1");
}

TEST_F(SettingsStore, CalibratedOnlyWhenIsCfgSaysYes) {
    Store().Create(kSettingsPath);
    EXPECT_FALSE(IsCalibrated());
    const std::pair<const char*, bool> cases[] = {
        {"YES", true}, {"yes", true}, {"Yes", true}, {"no", false}, {"YESS", false}, {"", false},
    };
    for (auto [text, calibrated] : cases) {
        Text("IsCfg", text);
        EXPECT_EQ(IsCalibrated() != FALSE, calibrated) << text;
    }
    Text("IsCfg", "yes", true);
    EXPECT_TRUE(IsCalibrated());
}

TEST_F(SettingsStore, OsFlagCountsOnlyOnWindows2000) {
    struct Case {
        INT osCode;
        std::optional<std::string> flag;
        bool xp;
    };
    const Case cases[] = {
        {OS_CODE_2000, "xp", true},     {OS_CODE_2000, "XP", true},  {OS_CODE_2000, "Xp", true},
        {OS_CODE_2000, "2k", false},    {OS_CODE_2000, "98", false}, {OS_CODE_2000, "xpx", false},
        {OS_CODE_2000, {}, false},      {OS_CODE_XP, "xp", false},   {OS_CODE_9X, "xp", false},
        {OS_CODE_UNKNOWN, "xp", false},
    };
    Store().Create(kSettingsPath);
    for (const Case& c : cases) {
        Store().DeleteValue(kSettingsPath, "osflg");
        if (c.flag)
            Text("osflg", *c.flag);
        EXPECT_EQ(Win2000RunsXpDrivers(c.osCode) != FALSE, c.xp)
            << c.osCode << " " << c.flag.value_or("(none)");
    }
}

TEST_F(SettingsStore, OsFlagNeedsWriteAccessToTheSettingsKey) {
    system.SetOs(OsKind::Windows2000);
    system.SetLimitedUser(true);
    Text("osflg", "xp");
    char flag[OS_FLAG_BUFFER];
    std::memset(flag, 0, sizeof flag);
    EXPECT_EQ(ReadOsFlag(flag), ERROR_ACCESS_DENIED);
    EXPECT_STREQ(flag, "");
    EXPECT_FALSE(Win2000RunsXpDrivers(OS_CODE_2000));

    system.SetLimitedUser(false);
    EXPECT_EQ(ReadOsFlag(flag), ERROR_SUCCESS);
    EXPECT_STREQ(flag, "xp");
}

TEST_F(SettingsStore, AutostartValuesComeAndGoWithoutCreatingTheKey) {
    EXPECT_EQ(SetAutostart("ChgFile", "C:\\Touch\\keyflip.exe"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Store().Open(kRunPath), nullptr);

    Store().Create(kRunPath);
    SetStored(kRunPath, "Other", REG_SZ, Utf16("x", true));
    EXPECT_EQ(RemoveAutostart("TouchCtl"), ERROR_SUCCESS);
    EXPECT_EQ(Store().Values(Store().Open(kRunPath)).size(), 1u);
    EXPECT_TRUE(Trace().empty());

    EXPECT_EQ(SetAutostart("TouchCtl", "C:\\Touch\\tpanel.exe"), ERROR_SUCCESS);
    EXPECT_EQ(Stored(kRunPath, "TouchCtl"), Utf16("C:\\Touch\\tpanel.exe", true));
    EXPECT_EQ(RemoveAutostart("touchctl"), ERROR_SUCCESS);
    EXPECT_FALSE(Store().GetValue(kRunPath, "TouchCtl").has_value());
    EXPECT_THAT(Trace(),
                ElementsAre("0.000 reg set HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"
                            "\\TouchCtl REG_SZ \"C:\\\\Touch\\\\tpanel.exe\"",
                            "0.000 reg delete HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
                            "\\Run\\touchctl"));
}

// The screen size comes from the windowing side, which needs its runtime.
class PanelLoad : public SettingsStore {
protected:
    PanelLoad() { runtime.SetScreenSize(800, 600); }
    platform::win32::Runtime runtime;
};

TEST_F(PanelLoad, LeavesAWellDefinedStateBeforeTheFirstCalibration) {
    Store().Create(kSettingsPath);
    Text("chgbutton", "");
    PanelSettings settings;
    std::memset(&settings, 0, sizeof settings);
    LoadPanelSettings(&settings);
    EXPECT_FALSE(settings.HasCoefficients);
    EXPECT_EQ(settings.Kx, 0.0);
    EXPECT_EQ(settings.Cy, 0.0);
    EXPECT_STREQ(settings.Port, "");
    EXPECT_EQ(settings.SimulateMouse, 0);
    EXPECT_EQ(settings.PlayBeep, 0);
    EXPECT_EQ(settings.ScreenWidth, 800);
    EXPECT_EQ(settings.ScreenHeight, 600);
}

TEST_F(PanelLoad, ReadsEveryValue) {
    Text("Kx", "1.250000");
    Text("Ky", "-0.500000");
    Text("Cx", "-37.500000");
    Text("Cy", "12.000000junk");
    Text("comport", "COM2 and a long tail");
    Text("chgbutton", "1");
    Text("beep", "1", true);
    PanelSettings settings;
    std::memset(&settings, 0, sizeof settings);
    LoadPanelSettings(&settings);
    EXPECT_TRUE(settings.HasCoefficients);
    EXPECT_EQ(settings.Kx, 1.25);
    EXPECT_EQ(settings.Ky, -0.5);
    EXPECT_EQ(settings.Cx, -37.5);
    EXPECT_EQ(settings.Cy, 12.0);
    EXPECT_STREQ(settings.Port, "COM2 and a ");
    EXPECT_EQ(settings.SimulateMouse, 1);
    EXPECT_EQ(settings.PlayBeep, 1);
}

} // namespace
} // namespace win32_testing
