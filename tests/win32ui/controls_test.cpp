// The standard and common controls of the test dialog, driven by the
// scripted user and by their messages.
#include "tests/win32ui/ui_fixture.h"

#include "platform/win32/input.h"

#include <gmock/gmock.h>

namespace ui_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ControlsTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        ShowDialog(IDD_TEST, &recorder);
        ASSERT_NE(user.Foreground(), nullptr);
        dialog = user.Foreground();
    }

    LRESULT Send(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessageA(GetDlgItem(dialog, id), message, wParam, lParam);
    }

    std::vector<UINT> Checks() {
        return {IsDlgButtonChecked(dialog, IDC_MODE1), IsDlgButtonChecked(dialog, IDC_MODE2),
                IsDlgButtonChecked(dialog, IDC_MODE3)};
    }

    Recorder recorder;
    HWND dialog = nullptr;
};

TEST_F(ControlsTest, AutomaticRadioButtonsKeepTheirGroupExclusiveAndNotify) {
    EXPECT_THAT(Checks(), ElementsAre(0u, 0u, 0u));
    user.ClickControl(IDC_MODE2);
    EXPECT_THAT(Checks(), ElementsAre(0u, 1u, 0u));
    user.ClickControl("Drag Mode");
    EXPECT_THAT(Checks(), ElementsAre(0u, 0u, 1u));
    // The check box starts the next group: it is not part of the radio group.
    user.ClickControl(IDC_SIMULATE);
    EXPECT_THAT(Checks(), ElementsAre(0u, 0u, 1u));
    EXPECT_THAT(recorder.events, ElementsAre("command 1018 0", "command 1019 0", "command 1026 0"));
}

TEST_F(ControlsTest, CheckRadioButtonAndSetCheckChangeStateWithoutNotifying) {
    EXPECT_TRUE(CheckRadioButton(dialog, IDC_MODE1, IDC_MODE3, IDC_MODE1));
    EXPECT_THAT(Checks(), ElementsAre(1u, 0u, 0u));
    EXPECT_TRUE(CheckDlgButton(dialog, IDC_SIMULATE, BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SIMULATE), BST_CHECKED);
    // Push buttons have no check state.
    Send(IDOK, BM_SETCHECK, BST_CHECKED);
    EXPECT_EQ(Send(IDOK, BM_GETCHECK), BST_UNCHECKED);
    EXPECT_THAT(recorder.events, IsEmpty());
}

TEST_F(ControlsTest, CheckBoxTogglesOnEachClick) {
    user.ClickControl(IDC_SIMULATE);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SIMULATE), BST_CHECKED);
    user.ClickControl(IDC_SIMULATE);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SIMULATE), BST_UNCHECKED);
    EXPECT_THAT(recorder.events, ElementsAre("command 1026 0", "command 1026 0"));
}

TEST_F(ControlsTest, DisabledButtonIgnoresClicksUntilEnabled) {
    EXPECT_FALSE(IsWindowEnabled(Control(IDC_CONFIG)));
    EXPECT_TRUE(user.ClickControl(IDC_CONFIG));
    EXPECT_THAT(recorder.events, IsEmpty());
    EXPECT_TRUE(EnableWindow(Control(IDC_CONFIG), TRUE)) << "was disabled";
    EXPECT_FALSE(EnableWindow(Control(IDC_CONFIG), TRUE)) << "was enabled";
    user.ClickControl("Config");
    EXPECT_THAT(recorder.events, ElementsAre("command 1006 0"));
}

TEST_F(ControlsTest, PressingAndLeavingAButtonBeforeReleaseDoesNotClick) {
    RECT r;
    GetWindowRect(Control(IDCANCEL), &r);
    user.Drag(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, POINT{r.right + 40, r.bottom});
    EXPECT_THAT(recorder.events, IsEmpty());
    EXPECT_TRUE(IsWindow(dialog));
}

TEST_F(ControlsTest, ComboBoxMessages) {
    EXPECT_EQ(Send(IDC_PORT, CB_GETCOUNT), 0);
    EXPECT_EQ(Send(IDC_PORT, CB_ADDSTRING, 0, (LPARAM) "COM1"), 0);
    EXPECT_EQ(Send(IDC_PORT, CB_ADDSTRING, 0, (LPARAM) "COM2"), 1);
    EXPECT_EQ(Send(IDC_PORT, CB_ADDSTRING, 0, (LPARAM) "LPT1"), 2);
    EXPECT_EQ(Send(IDC_PORT, CB_GETCURSEL), CB_ERR);
    char text[16] = "poison";
    EXPECT_EQ(GetDlgItemTextA(dialog, IDC_PORT, text, sizeof text), 0u);
    EXPECT_STREQ(text, "");

    // Prefix search from after the start index, wrapping round, any case.
    EXPECT_EQ(Send(IDC_PORT, CB_FINDSTRING, (WPARAM)-1, (LPARAM) "com"), 0);
    EXPECT_EQ(Send(IDC_PORT, CB_FINDSTRING, 0, (LPARAM) "COM"), 1);
    EXPECT_EQ(Send(IDC_PORT, CB_FINDSTRING, 1, (LPARAM) "COM"), 0);
    EXPECT_EQ(Send(IDC_PORT, CB_FINDSTRING, 0, (LPARAM) "COM3"), CB_ERR);
    EXPECT_EQ(Send(IDC_PORT, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM) "lpt1"), 2);
    EXPECT_EQ(Send(IDC_PORT, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM) "LPT"), CB_ERR);

    EXPECT_EQ(Send(IDC_PORT, CB_SELECTSTRING, (WPARAM)-1, (LPARAM) "COM2"), 1);
    EXPECT_EQ(Send(IDC_PORT, CB_GETCURSEL), 1);
    EXPECT_EQ(GetDlgItemTextA(dialog, IDC_PORT, text, sizeof text), 4u);
    EXPECT_STREQ(text, "COM2");
    EXPECT_EQ(Send(IDC_PORT, CB_SELECTSTRING, (WPARAM)-1, (LPARAM) "X"), CB_ERR);
    EXPECT_EQ(Send(IDC_PORT, CB_GETCURSEL), 1) << "a failed selection keeps the current item";

    EXPECT_EQ(Send(IDC_PORT, CB_GETLBTEXTLEN, 2), 4);
    EXPECT_EQ(Send(IDC_PORT, CB_GETLBTEXT, 2, (LPARAM)text), 4);
    EXPECT_STREQ(text, "LPT1");
    EXPECT_EQ(Send(IDC_PORT, CB_GETLBTEXT, 3, (LPARAM)text), CB_ERR);

    EXPECT_EQ(Send(IDC_PORT, CB_SETCURSEL, 7), CB_ERR);
    EXPECT_EQ(Send(IDC_PORT, CB_GETCURSEL), CB_ERR) << "an invalid index clears the selection";
    Send(IDC_PORT, CB_SETCURSEL, 2);
    EXPECT_EQ(Send(IDC_PORT, CB_DELETESTRING, 0), 2);
    EXPECT_EQ(Send(IDC_PORT, CB_GETCURSEL), 1) << "the current item moved up";
    EXPECT_THAT(recorder.events, IsEmpty()) << "messages do not notify";
}

TEST_F(ControlsTest, ChoosingAComboItemWithTheMouseNotifies) {
    Send(IDC_PORT, CB_ADDSTRING, 0, (LPARAM) "COM1");
    Send(IDC_PORT, CB_ADDSTRING, 0, (LPARAM) "COM2");
    ASSERT_TRUE(user.ChooseComboItem(IDC_PORT, "COM2"));
    EXPECT_EQ(Send(IDC_PORT, CB_GETCURSEL), 1);
    EXPECT_THAT(recorder.events, ElementsAre("command 1030 7", "command 1030 9", "command 1030 8",
                                             "command 1030 1"));
    recorder.events.clear();
    // The same item again: the list closes without a selection change.
    ASSERT_TRUE(user.ChooseComboItem(IDC_PORT, "COM2"));
    EXPECT_THAT(recorder.events, ElementsAre("command 1030 7", "command 1030 9", "command 1030 8"));
    EXPECT_FALSE(Send(IDC_PORT, CB_GETDROPPEDSTATE));
}

TEST_F(ControlsTest, TrackbarRangePositionAndTicks) {
    Send(IDC_SLIDER, TBM_SETRANGE, FALSE, MAKELONG(0, 40));
    EXPECT_EQ(Send(IDC_SLIDER, TBM_GETRANGEMIN), 0);
    EXPECT_EQ(Send(IDC_SLIDER, TBM_GETRANGEMAX), 40);
    Send(IDC_SLIDER, TBM_SETPOS, TRUE, 30);
    EXPECT_EQ(Send(IDC_SLIDER, TBM_GETPOS), 30);
    Send(IDC_SLIDER, TBM_SETPOS, TRUE, 99);
    EXPECT_EQ(Send(IDC_SLIDER, TBM_GETPOS), 40) << "clamped to the range";
    Send(IDC_SLIDER, TBM_SETPOS, TRUE, -5);
    EXPECT_EQ(Send(IDC_SLIDER, TBM_GETPOS), 0);
    for (int tic = 1; tic < 40; ++tic)
        EXPECT_TRUE(Send(IDC_SLIDER, TBM_SETTIC, 0, tic));
    EXPECT_FALSE(Send(IDC_SLIDER, TBM_SETTIC, 0, 41));
    EXPECT_EQ(Send(IDC_SLIDER, TBM_GETNUMTICS), 41) << "39 tics and both ends";
    EXPECT_EQ(Send(IDC_SLIDER, TBM_SETPAGESIZE, 0, 5), 20) << "returns the old page size";
}

TEST_F(ControlsTest, DraggingTheTrackbarThumbTracksThenReleasesCapture) {
    Send(IDC_SLIDER, TBM_SETRANGE, FALSE, MAKELONG(0, 40));
    Send(IDC_SLIDER, TBM_SETPOS, TRUE, 10);
    RECT r;
    GetWindowRect(Control(IDC_SLIDER), &r);
    int width = r.right - r.left;
    int channel = width - 2 * 12;
    int y = (r.top + r.bottom) / 2;
    POINT thumb{r.left + 12 + 10 * channel / 40, y};
    POINT target{r.left + 12 + 30 * channel / 40, y};
    user.Drag(thumb, target);
    EXPECT_EQ(Send(IDC_SLIDER, TBM_GETPOS), 30);
    EXPECT_THAT(recorder.events,
                ElementsAre("hscroll 5 30", "hscroll 4 30", "hscroll 8 0", "notify 1021 -16"));
}

TEST_F(ControlsTest, ClickingBesideTheThumbPagesAndKeysStepWithoutCaptureNotification) {
    Send(IDC_SLIDER, TBM_SETRANGE, FALSE, MAKELONG(0, 40));
    Send(IDC_SLIDER, TBM_SETPAGESIZE, 0, 5);
    RECT r;
    GetWindowRect(Control(IDC_SLIDER), &r);
    user.ClickAt(r.right - 14, (r.top + r.bottom) / 2);
    EXPECT_EQ(Send(IDC_SLIDER, TBM_GETPOS), 5);
    EXPECT_THAT(recorder.events, ElementsAre("hscroll 3 0", "hscroll 8 0", "notify 1021 -16"));
    recorder.events.clear();
    user.PressKey(VK_RIGHT);
    EXPECT_EQ(Send(IDC_SLIDER, TBM_GETPOS), 6);
    EXPECT_THAT(recorder.events, ElementsAre("hscroll 1 0", "hscroll 8 0"));
}

TEST_F(ControlsTest, ProgressBarRangeStepAndClamping) {
    EXPECT_EQ(Send(IDC_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 10)), MAKELONG(0, 100));
    EXPECT_EQ(Send(IDC_BAR, PBM_SETPOS, 4), 0);
    EXPECT_EQ(Send(IDC_BAR, PBM_GETPOS), 4);
    EXPECT_EQ(Send(IDC_BAR, PBM_SETPOS, 25), 4);
    EXPECT_EQ(Send(IDC_BAR, PBM_GETPOS), 10) << "clamped to the range";
    EXPECT_EQ(Send(IDC_BAR, PBM_SETSTEP, 3), 10);
    EXPECT_EQ(Send(IDC_BAR, PBM_STEPIT), 10);
    EXPECT_EQ(Send(IDC_BAR, PBM_GETPOS), 3) << "stepping past the end starts over";
    EXPECT_EQ(Send(IDC_BAR, PBM_DELTAPOS, 2), 3);
    EXPECT_EQ(Send(IDC_BAR, PBM_GETPOS), 5);
    EXPECT_EQ(Send(IDC_BAR, PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(Send(IDC_BAR, PBM_GETRANGE, FALSE, 0), 10);
}

TEST_F(ControlsTest, EditNotifiesChangesFromTextAndTyping) {
    EXPECT_TRUE(SetDlgItemTextA(dialog, IDC_PATH, "C:\\"));
    user.ClickControl(IDC_PATH);
    user.Type("Usb");
    user.PressKey(VK_BACK);
    char text[32];
    GetDlgItemTextA(dialog, IDC_PATH, text, sizeof text);
    EXPECT_STREQ(text, "C:\\Us");
    EXPECT_EQ(GetWindowTextLengthA(Control(IDC_PATH)), 5);
    std::vector<std::string> changes;
    for (const std::string& event : recorder.events) {
        if (event == "command 1013 768") // EN_CHANGE
            changes.push_back(event);
    }
    EXPECT_EQ(changes.size(), 5u) << "set, three characters, one backspace";
}

TEST_F(ControlsTest, EditSelectionLimitAndReadOnly) {
    SetDlgItemTextA(dialog, IDC_PATH, "C:\\UsbTouch");
    Send(IDC_PATH, EM_SETSEL, 3, -1);
    DWORD start = 0;
    DWORD end = 0;
    Send(IDC_PATH, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    EXPECT_EQ(start, 3u);
    EXPECT_EQ(end, 11u);
    Send(IDC_PATH, EM_REPLACESEL, 0, (LPARAM) "Touch");
    char text[32];
    GetDlgItemTextA(dialog, IDC_PATH, text, sizeof text);
    EXPECT_STREQ(text, "C:\\Touch");
    Send(IDC_PATH, EM_LIMITTEXT, 10);
    SetFocus(Control(IDC_PATH));
    user.Type("abcdef");
    GetDlgItemTextA(dialog, IDC_PATH, text, sizeof text);
    EXPECT_STREQ(text, "C:\\Touchab") << "typing stops at the limit";
    Send(IDC_PATH, EM_SETREADONLY, TRUE);
    user.PressKey(VK_BACK);
    GetDlgItemTextA(dialog, IDC_PATH, text, sizeof text);
    EXPECT_STREQ(text, "C:\\Touchab");
}

TEST_F(ControlsTest, StaticTextsAndDialogItemNumbers) {
    char text[8];
    EXPECT_EQ(GetDlgItemTextA(dialog, IDC_COUNT, text, sizeof text), 2u);
    EXPECT_STREQ(text, "10");
    EXPECT_TRUE(SetDlgItemInt(dialog, IDC_COUNT, 7, FALSE));
    BOOL ok = FALSE;
    EXPECT_EQ(GetDlgItemInt(dialog, IDC_COUNT, &ok, FALSE), 7u);
    EXPECT_TRUE(ok);
    SetDlgItemTextA(dialog, IDC_COUNT, "x1");
    EXPECT_EQ(GetDlgItemInt(dialog, IDC_COUNT, &ok, FALSE), 0u);
    EXPECT_FALSE(ok);
    // A text too long for the buffer is cut, always terminated.
    SetDlgItemTextA(dialog, IDC_COUNT, "123456789");
    EXPECT_EQ(GetDlgItemTextA(dialog, IDC_COUNT, text, 4), 3u);
    EXPECT_STREQ(text, "123");
}

TEST_F(ControlsTest, MissingItemsAndWindowsFailWithTheirErrors) {
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(GetDlgItem(dialog, 4242), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CONTROL_ID_NOT_FOUND);
    HWND bogus = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7777));
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(ShowWindow(bogus, SW_SHOW));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(SendMessageA(bogus, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
}

// The answers Microsoft's WM_GETDLGCODE page gives for the standard
// controls (the button kinds, edit, static) and the common ones.
TEST_F(ControlsTest, EachControlNamesTheKeysItKeeps) {
    const struct {
        int id;
        LRESULT code;
    } cases[] = {
        {IDOK, DLGC_BUTTON | DLGC_DEFPUSHBUTTON},
        {IDCANCEL, DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON},
        {IDC_MODE1, DLGC_BUTTON | DLGC_RADIOBUTTON},
        {IDC_SIMULATE, DLGC_BUTTON},
        {IDC_PATH, DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS},
        {IDC_COUNT, DLGC_STATIC},
        {IDC_SLIDER, DLGC_WANTARROWS},
        {IDC_PORT, DLGC_WANTCHARS | DLGC_WANTARROWS},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Send(c.id, WM_GETDLGCODE), c.code) << c.id;
}

// IsDialogMessageA asks the focus first: a control that wants every key
// gets Enter, and the dialog's default command does not run.
WNDPROC editProc;
std::vector<WPARAM> editKeys;
LRESULT CALLBACK GreedyEdit(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETDLGCODE)
        return DLGC_WANTALLKEYS;
    if (message == WM_KEYDOWN)
        editKeys.push_back(wParam);
    return CallWindowProcA(editProc, hwnd, message, wParam, lParam);
}

TEST_F(ControlsTest, AControlThatWantsEveryKeyKeepsEnterFromTheDialog) {
    HWND edit = GetDlgItem(dialog, IDC_PATH);
    editKeys.clear();
    editProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GreedyEdit)));
    user.ClickControl(IDC_PATH);
    recorder.events.clear();
    user.PressEnter();
    EXPECT_THAT(editKeys, ElementsAre((WPARAM)VK_RETURN));
    EXPECT_THAT(recorder.events, IsEmpty());
    EXPECT_NE(user.Foreground(), nullptr);
}

// TranslateMessage gives the character of the key with Shift as held.
TEST_F(ControlsTest, TypedKeysBecomeCharactersWithShiftHonoured) {
    user.ClickControl(IDC_PATH);
    user.PressKey('A');
    user.PressKey('1');
    platform::win32::InjectKey(VK_SHIFT, false);
    user.PressKey('B');
    user.PressKey('2');
    platform::win32::InjectKey(VK_SHIFT, true);
    user.PressKey('C');
    char text[16] = "";
    GetDlgItemTextA(dialog, IDC_PATH, text, sizeof text);
    EXPECT_STREQ(text, "a1B@c");
}

} // namespace
} // namespace ui_testing
