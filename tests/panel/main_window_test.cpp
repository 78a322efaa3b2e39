// The main window on the machine: what it reads and writes, what it shows,
// and the companions it starts and closes.
#include "tests/panel/panel_fixture.h"

#include "apps/panel/main_dialog.h"
#include "apps/panel/resource.h"

#include <gmock/gmock.h>

namespace panel_testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

TEST_F(PanelTest, StartRemovesTouchCtlAndClosesKeyflip) {
    Installed();
    SetText(kRun, "TouchCtl", "C:\\UsbTouch\\tpanel.exe");
    m.StartProgram("C:\\UsbTouch\\keyflip.exe");
    Mark();
    StartPanel();
    EXPECT_EQ(Text(kRun, "TouchCtl"), "(none)");
    EXPECT_THAT(Since(), Contains("program exit name=keyflip code=0"));
    EXPECT_EQ(FindWindowA(nullptr, "Function"), nullptr);
    // Calibrated: no target screen, Config shown.
    m.Wait(500);
    EXPECT_EQ(Count("dialog=131"), 0u);
    EXPECT_TRUE(IsWindowVisible(Item(IDC_CONFIG)));
}

TEST_F(PanelTest, WithoutTheScreenOneBoxNoConfigNoCalibrationAndCloseStillSaves) {
    SetText(kSettings, "IsCfg", "no");
    SetText(kSettings, "moveSlider", "12");
    m.User().AnswerNextMessageBox(IDOK);
    StartPanel();
    m.Wait(500);
    EXPECT_EQ(Count("msgbox caption=\"Error\" text=\"No USB Infrared screen found\""), 1u);
    EXPECT_FALSE(IsWindowVisible(Item(IDC_CONFIG)));
    EXPECT_EQ(Count("dialog=131"), 0u);

    Mark();
    ASSERT_TRUE(m.User().ClickControl("Close"));
    m.Wait(1000);
    EXPECT_THAT(Since(), Contains("reg set HKLM\\SOFTWARE\\Touch\\usbConfig\\moveSlider REG_SZ "
                                  "\"12\""));
    EXPECT_EQ(Count("msgbox"), 0u);
    EXPECT_THAT(Since(), Contains("program exit name=tpanel code=0"));
}

// No key: the "Prompt" box, nothing read; a save creates the key and writes
// every setting but the tables, which are setup's until a calibration.
TEST_F(PanelTest, WithoutTheSettingsKeyASaveCreatesItAndKeepsTheTables) {
    m.PlugScreen();
    m.User().AnswerNextMessageBox(IDOK);
    Mark();
    StartPanel();
    EXPECT_EQ(Count("msgbox caption=\"Prompt\" text=\"Please config the device immediately.\""),
              1u);
    EXPECT_TRUE(IsWindowVisible(Item(IDC_CONFIG)));
    m.Wait(500);
    EXPECT_EQ(Count("dialog=131"), 0u);

    Mark();
    ASSERT_TRUE(m.User().ClickControl("Close"));
    m.Wait(1000);
    EXPECT_THAT(Since(), Contains("reg create HKLM\\SOFTWARE\\Touch\\usbConfig"));
    EXPECT_THAT(Since(), Contains("reg set HKLM\\SOFTWARE\\Touch\\usbConfig\\moveSlider REG_SZ "
                                  "\"0\""));
    EXPECT_EQ(Count("XArray"), 0u);
    EXPECT_EQ(Count("YArray"), 0u);
    EXPECT_EQ(Count("doneMode"), 0u);
}

TEST_F(PanelTest, AnUnknownModeChecksNoRadioAndSurvivesASave) {
    Installed();
    SetText(kSettings, "doneMode", "4");
    StartPanel();
    for (int id : {IDC_UP_MODE, IDC_DOWN_MODE, IDC_DRAG_MODE})
        EXPECT_EQ(IsDlgButtonChecked(main, id), (UINT)BST_UNCHECKED) << id;
    Mark();
    ASSERT_TRUE(m.User().ClickControl("Close"));
    m.Wait(1000);
    EXPECT_EQ(Count("doneMode"), 0u);
    EXPECT_EQ(Text(kSettings, "doneMode"), "4");
    EXPECT_EQ(Count("XArray"), 1u);
}

// "Enable simulate mouse" saves everything at once; "Play Beep" waits for
// the next save.
TEST_F(PanelTest, SimulateMouseSavesAtOncePlayBeepAtTheNextSave) {
    Installed();
    StartPanel();
    Mark();
    ASSERT_TRUE(m.User().ClickControl("Play Beep"));
    EXPECT_EQ(Count("reg set"), 0u);

    ASSERT_TRUE(m.User().ClickControl("Enable simulate mouse"));
    m.Wait(600);
    const std::vector<std::string> saved = {
        "reg set HKLM\\SOFTWARE\\Touch\\usbConfig\\doneMode REG_SZ \"1\"",
        "reg set HKLM\\SOFTWARE\\Touch\\usbConfig\\chgbutton REG_SZ \"1\"",
        "reg set HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\ChgFile REG_SZ "
        "\"C:\\\\UsbTouch\\\\keyflip.exe\"",
        "program start name=keyflip cmdline=\"\"",
        "reg set HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\beep REG_SZ "
        "\"C:\\\\UsbTouch\\\\BEEP.exe\"",
        "reg set HKLM\\SOFTWARE\\Touch\\usbConfig\\beep REG_SZ \"1\"",
        "program start name=beep cmdline=\"\"",
    };
    std::vector<std::string> lines = Since();
    auto at = lines.begin();
    for (const std::string& expected : saved) {
        at = std::find(at, lines.end(), expected);
        EXPECT_NE(at, lines.end()) << "missing or out of order: " << expected;
    }
    EXPECT_EQ(Count("XArray"), 1u);
}

TEST_F(PanelTest, TheSliderEnablesSaveWhenADragEndsNotByKeyboard) {
    Installed();
    StartPanel();
    HWND slider = Item(IDC_STABILITY);
    m.User().PressKey(VK_TAB); // from the first radio to the slider
    m.User().PressKey(VK_RIGHT);
    EXPECT_EQ(SendMessageA(slider, TBM_GETPOS, 0, 0), 31);
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_SAVE)));

    RECT r;
    GetWindowRect(slider, &r);
    m.User().Drag(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2},
                  POINT{r.left + 5, (r.top + r.bottom) / 2});
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_SAVE)));
    EXPECT_FALSE(IsWindowVisible(Item(IDC_SAVE)));
}

TEST_F(PanelTest, AModeChangeEnablesSaveAndASaveDisablesIt) {
    Installed();
    StartPanel();
    ASSERT_TRUE(m.User().ClickControl("Drag Mode"));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_SAVE)));
    Mark();
    PostMessageA(main, WM_COMMAND, IDM_SAVE, 0);
    m.Wait(600);
    EXPECT_THAT(Since(), Contains("reg set HKLM\\SOFTWARE\\Touch\\usbConfig\\doneMode REG_SZ "
                                  "\"3\""));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_SAVE)));
}

TEST_F(PanelTest, ARunningKeyflipIsNotStartedTwice) {
    Installed();
    StartPanel();
    m.StartProgram("C:\\UsbTouch\\keyflip.exe");
    SetForegroundWindow(main);
    Mark();
    ASSERT_TRUE(m.User().ClickControl("Enable simulate mouse"));
    m.Wait(600);
    EXPECT_EQ(Count("program start name=keyflip"), 0u);
    EXPECT_NE(FindWindowA(nullptr, "Function"), nullptr);

    // Cleared: the entry goes and keyflip is asked to close.
    Mark();
    ASSERT_TRUE(m.User().ClickControl("Enable simulate mouse"));
    m.Wait(600);
    EXPECT_THAT(Since(), Contains("reg delete HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
                                  "\\Run\\ChgFile"));
    EXPECT_THAT(Since(), Contains("program exit name=keyflip code=0"));
}

TEST_F(PanelTest, MouseKeyTwiceStartsAndClosesKeyflipWithoutRegistryChange) {
    Installed();
    StartPanel();
    Mark();
    PostMessageA(main, WM_COMMAND, IDC_MOUSEKEY, 0);
    m.Settle();
    EXPECT_NE(FindWindowA(nullptr, "Function"), nullptr);
    PostMessageA(main, WM_COMMAND, IDC_MOUSEKEY, 0);
    m.Settle();
    EXPECT_EQ(FindWindowA(nullptr, "Function"), nullptr);
    EXPECT_EQ(Count("program start name=keyflip"), 1u);
    EXPECT_EQ(Count("program exit name=keyflip"), 1u);
    EXPECT_EQ(Count("reg "), 0u);
}

// No icon is ever added, but the callback works when the window is hidden.
TEST_F(PanelTest, TheIconCallbackShowsTheMenuOnlyWhileTheWindowIsHidden) {
    Installed();
    StartPanel();
    PostMessageA(main, NOTIFY_ICON_MESSAGE, 0, WM_RBUTTONDOWN);
    m.Settle();
    EXPECT_FALSE(m.User().ChooseMenuItem("Show"));

    ShowWindow(main, SW_HIDE);
    PostMessageA(main, NOTIFY_ICON_MESSAGE, 0, WM_RBUTTONDOWN);
    m.Settle();
    EXPECT_TRUE(m.User().ChooseMenuItem("Show"));
    EXPECT_TRUE(IsWindowVisible(main));

    ShowWindow(main, SW_HIDE);
    PostMessageA(main, NOTIFY_ICON_MESSAGE, 0, WM_LBUTTONDOWN);
    m.Settle();
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(GetForegroundWindow(), main);
}

// Help opens the file beside the program; without it the shell fails as
// Windows does (ERROR_FILE_NOT_FOUND) and the panel shows nothing.
TEST_F(PanelTest, HelpOpensTheHelpFileBesideTheProgram) {
    Installed();
    StartPanel();
    Mark();
    ASSERT_TRUE(m.User().ClickControl("Help"));
    EXPECT_THAT(Since(), Contains("shell open file=\"C:\\UsbTouch\\guidebk.hlp\" result=42"));
    EXPECT_EQ(Count("msgbox"), 0u);
}

TEST_F(PanelTest, MissingFilesFailSilentlyAndTheSettingsAreWrittenAllTheSame) {
    Installed(false);
    StartPanel();
    Mark();
    ASSERT_TRUE(m.User().ClickControl("Help"));
    EXPECT_THAT(Since(), Contains("shell open file=\"C:\\UsbTouch\\guidebk.hlp\" result=2"));
    ASSERT_TRUE(m.User().ClickControl("Enable simulate mouse"));
    m.Wait(600);
    EXPECT_EQ(Count("program start"), 0u);
    EXPECT_EQ(Text(kSettings, "chgbutton"), "1");
    EXPECT_EQ(Text(kRun, "ChgFile"), "C:\\UsbTouch\\keyflip.exe");
    EXPECT_EQ(Count("msgbox"), 0u);
}

TEST_F(PanelTest, WmCloseShutsDownWithoutSaving) {
    Installed();
    StartPanel();
    Mark();
    PostMessageA(main, WM_CLOSE, 0, 0);
    m.Wait(500);
    EXPECT_THAT(Since(), Contains("program exit name=tpanel code=0"));
    EXPECT_THAT(Since(), Not(Contains(HasSubstr("reg set"))));
}

} // namespace
} // namespace panel_testing
