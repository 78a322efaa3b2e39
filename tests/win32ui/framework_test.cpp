// The dialog framework on the stand-in: the application object, event
// tables with generic dispatch, default OK/Cancel, dialog initialisation
// data and data exchange.
#include "apps/common/app.h"
#include "apps/common/data_exchange.h"
#include "apps/common/modal_dialog.h"
#include "tests/win32ui/ui_fixture.h"

#include <gmock/gmock.h>

#include <cstring>

namespace ui_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr UINT kStartMessage = 9999;
constexpr UINT kAboutCommand = 16;

// What the program under test saw; owned by the test.
struct Observed {
    std::vector<std::string> log;
    char port[16] = "COM2";
    int index = -1;
    INT_PTR result = 0;
    int boxAnswer = 0;
    bool nestedOwned = false;
};
Observed* observed = nullptr;

class NestedDialog : public ModalDialog {
public:
    NestedDialog() : ModalDialog(IDD_CLASSIC) {}

protected:
    BOOL OnInitDialog() override {
        HWND main = Application::Current()->MainDialog()->Handle();
        observed->nestedOwned = GetParent(Handle()) == main;
        return ModalDialog::OnInitDialog();
    }
};

class TestDialog : public ModalDialog {
public:
    TestDialog() : ModalDialog(IDD_TEST) {}

protected:
    BOOL OnInitDialog() override {
        ModalDialog::OnInitDialog();
        HMENU menu = GetSystemMenu(Handle(), FALSE);
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu, MF_STRING, kAboutCommand, "About...");
        SetTimer(Handle(), 1029, 100, nullptr);
        observed->log.push_back("init");
        return TRUE;
    }

    void DoDataExchange(DataExchange* exchange) override {
        ExchangeComboText(exchange, IDC_PORT, observed->port, sizeof observed->port);
        if (exchange->SaveAndValidate())
            ExchangeComboIndex(exchange, IDC_PORT, &observed->index);
    }

private:
    void OnConfig() { observed->log.push_back("config"); }
    void OnMode() { observed->log.push_back("mode"); }
    void OnPortChanged() { observed->log.push_back("port"); }
    void OnSliderReleased(NMHDR* header, LRESULT* result) {
        observed->log.push_back("released " + std::to_string(header->idFrom));
        *result = 0;
    }
    LRESULT OnStart(WPARAM, LPARAM) {
        observed->log.push_back("start");
        return 5;
    }
    void OnTimerTick(UINT_PTR id) {
        KillTimer(Handle(), id);
        PostMessageA(Handle(), kStartMessage, 0, 0);
    }
    void OnSystemCommand(UINT id, LPARAM) {
        if ((id & 0xFFF0) == kAboutCommand) {
            observed->log.push_back("about");
            return;
        }
        Default();
    }
    void OnClose() {
        observed->log.push_back("close");
        Default(); // closes through the cancel command
    }
    void OnNested() {
        NestedDialog nested;
        observed->log.push_back("nested " + std::to_string(nested.DoModal()));
    }
    void OnBox() { observed->boxAnswer = AppMessageBox("Please select OS type", MB_OK); }

    DECLARE_DIALOG_EVENTS(TestDialog)
};

DEFINE_DIALOG_EVENTS(TestDialog, ModalDialog)
OnCommand(IDC_CONFIG, &TestDialog::OnConfig),
    OnCommandRange(IDC_MODE1, IDC_MODE3, &TestDialog::OnMode),
    OnControl(CBN_SELCHANGE, IDC_PORT, &TestDialog::OnPortChanged),
    OnNotify(NM_RELEASEDCAPTURE, IDC_SLIDER, &TestDialog::OnSliderReleased),
    OnMessage(kStartMessage, &TestDialog::OnStart), OnTimer(&TestDialog::OnTimerTick),
    OnSysCommand(&TestDialog::OnSystemCommand), OnMessageVoid(WM_CLOSE, &TestDialog::OnClose),
    OnCommand(IDC_SIMULATE, &TestDialog::OnNested),
    OnControl(EN_SETFOCUS, IDC_PATH, &TestDialog::OnBox),
    END_DIALOG_EVENTS()

        class TestApp : public Application {
    BOOL InitInstance() override {
        TestDialog dialog;
        SetMainDialog(&dialog);
        observed->result = dialog.DoModal();
        SetMainDialog(nullptr);
        return FALSE;
    }
};

PROGRAM_ENTRY(FrameworkTestMain, TestApp)

class FrameworkTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        observed = &seen;
        platform::win32::ProgramSpec spec;
        spec.name = "framework";
        spec.module = kModule;
        spec.imagePath = "C:\\test\\framework.exe";
        spec.entry = FrameworkTestMain;
        id = runtime.Start(spec);
        runtime.RunUntilIdle();
        dialog = user.Foreground();
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override {
        runtime.Terminate(id, 0);
        runtime.RunUntilIdle();
        observed = nullptr;
        UiTest::TearDown();
    }

    Observed seen;
    platform::win32::ProcessId id = 0;
    HWND dialog = nullptr;
};

TEST_F(FrameworkTest, InitialisationDataAndDataExchangeFillTheControls) {
    HWND port = GetDlgItem(dialog, IDC_PORT);
    EXPECT_EQ(SendMessageA(port, CB_GETCOUNT, 0, 0), 2);
    char text[16];
    SendMessageA(port, CB_GETLBTEXT, 0, (LPARAM)text);
    EXPECT_STREQ(text, "COM1");
    EXPECT_EQ(SendMessageA(port, CB_GETCURSEL, 0, 0), 1) << "bound text COM2 selected";
    EXPECT_THAT(seen.log, ElementsAre("init"));
}

TEST_F(FrameworkTest, TimerPostsAPrivateMessageThatItsHandlerAnswers) {
    Advance(99);
    EXPECT_THAT(seen.log, ElementsAre("init"));
    Advance(1);
    EXPECT_THAT(seen.log, ElementsAre("init", "start"));
    EXPECT_EQ(SendMessageA(dialog, kStartMessage, 0, 0), 5);
}

TEST_F(FrameworkTest, CommandsRangesAndNotificationsReachTheirHandlers) {
    EnableWindow(GetDlgItem(dialog, IDC_CONFIG), TRUE);
    user.ClickControl(IDC_CONFIG);
    user.ClickControl(IDC_MODE1);
    user.ClickControl(IDC_MODE3);
    user.ChooseComboItem(IDC_PORT, "COM1");
    RECT r;
    GetWindowRect(GetDlgItem(dialog, IDC_SLIDER), &r);
    user.ClickAt(r.right - 14, (r.top + r.bottom) / 2);
    user.PressKey(VK_LEFT); // keys move the slider without a capture release
    EXPECT_THAT(seen.log, ElementsAre("init", "config", "mode", "mode", "port", "released 1021"));
}

TEST_F(FrameworkTest, EnterRunsOnOkWhichTakesTheDataAndEndsTheDialog) {
    user.ChooseComboItem(IDC_PORT, "COM1");
    user.PressEnter();
    EXPECT_FALSE(runtime.IsRunning(id));
    EXPECT_EQ(seen.result, IDOK);
    EXPECT_STREQ(seen.port, "COM1");
    EXPECT_EQ(seen.index, 0);
    EXPECT_EQ(runtime.ExitCode(id), 0u) << "the framework's exit code";
}

TEST_F(FrameworkTest, CloseGetsItsHandlerThenTheDefaultCancel) {
    user.ChooseSystemMenuItem("Close");
    EXPECT_EQ(seen.result, IDCANCEL);
    EXPECT_THAT(seen.log, ElementsAre("init", "close"));
    EXPECT_STREQ(seen.port, "COM2") << "cancel takes no data";
}

TEST_F(FrameworkTest, SystemMenuItemAppendedByTheDialogIsHandled) {
    EXPECT_TRUE(user.ChooseSystemMenuItem("About..."));
    EXPECT_THAT(seen.log, ElementsAre("init", "about"));
    EXPECT_TRUE(runtime.IsRunning(id));
}

TEST_F(FrameworkTest, NestedDialogIsOwnedByTheMainDialogWhichItDisablesWhileRunning) {
    user.ClickControl(IDC_SIMULATE);
    EXPECT_TRUE(seen.nestedOwned);
    EXPECT_FALSE(IsWindowEnabled(dialog)) << "disabled while the nested dialog runs";
    user.ClickControl("Go");
    EXPECT_TRUE(IsWindowEnabled(dialog));
    EXPECT_EQ(user.Foreground(), dialog);
    EXPECT_THAT(seen.log, ElementsAre("init", "nested 1"));
}

TEST_F(FrameworkTest, ProgramMessageBoxHasTheProgramTitle) {
    user.AnswerNextMessageBox(IDOK);
    user.ClickControl(IDC_PATH);
    EXPECT_EQ(seen.boxAnswer, IDOK);
    EXPECT_THAT(TraceWith("msgbox"),
                ElementsAre(HasSubstr("caption=\"framework\" text=\"Please select OS type\"")));
}

} // namespace
} // namespace ui_testing
