// Pointer and keyboard input: mouse_event's coordinate mapping, routing to
// the window under the pointer, and the dialog keys.
#include "platform/win32/input.h"
#include "tests/win32ui/ui_fixture.h"

#include <gmock/gmock.h>

namespace ui_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(AbsoluteMappingTest, NormalisedCoordinatesCoverTheScreen) {
    struct Case {
        LONG value;
        int extent;
        LONG pixel;
    };
    const Case cases[] = {
        {0, 1024, 0},        {65535, 1024, 1023}, {32768, 1024, 512}, {32767, 1024, 511},
        {65535, 768, 767},   {21845, 768, 255},   {65535, 800, 799},  {6553, 800, 79},
        {70000, 1024, 1023}, {-5, 1024, 0},
    };
    for (const Case& c : cases) {
        POINT p = platform::win32::AbsoluteToScreen(c.value, c.value, c.extent, c.extent);
        EXPECT_EQ(p.x, c.pixel) << c.value << " on " << c.extent;
    }
}

class InputTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        ShowDialog(IDD_TEST, &recorder, &result);
        dialog = user.Foreground();
        ASSERT_NE(dialog, nullptr);
    }

    POINT CentreOf(int id) {
        RECT r;
        GetWindowRect(GetDlgItem(dialog, id), &r);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

    // mouse_event from a program of its own, as the control panel injects.
    void InjectFromProgram(std::vector<std::array<DWORD, 3>> events) {
        Start(
            [events](HINSTANCE) {
                for (const auto& e : events)
                    mouse_event(e[0], e[1], e[2], 0, 0);
                return 0;
            },
            "injector");
        runtime.RunUntilIdle();
    }

    Recorder recorder;
    INT_PTR result = 0;
    HWND dialog = nullptr;
};

TEST_F(InputTest, AbsoluteMouseEventsClickWhereTheyMapTo) {
    POINT target = CentreOf(IDC_MODE3);
    DWORD dx = (DWORD)((target.x * 65536 + 1023) / 1024);
    DWORD dy = (DWORD)((target.y * 65536 + 767) / 768);
    InjectFromProgram({{MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, dx, dy},
                       {MOUSEEVENTF_LEFTDOWN, 0, 0},
                       {MOUSEEVENTF_LEFTUP, 0, 0}});
    POINT where;
    GetCursorPos(&where);
    EXPECT_EQ(where.x, target.x);
    EXPECT_EQ(where.y, target.y);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_MODE3), BST_CHECKED);
    EXPECT_THAT(recorder.events, ElementsAre("command 1019 0"));
}

TEST_F(InputTest, RelativeEventsMoveFromThePointerAndStopAtTheEdges) {
    SetCursorPos(100, 100);
    InjectFromProgram({{MOUSEEVENTF_MOVE, (DWORD)-30, 20}});
    EXPECT_EQ(platform::win32::PointerPosition().x, 70);
    EXPECT_EQ(platform::win32::PointerPosition().y, 120);
    InjectFromProgram({{MOUSEEVENTF_MOVE, (DWORD)-5000, 5000}});
    EXPECT_EQ(platform::win32::PointerPosition().x, 0);
    EXPECT_EQ(platform::win32::PointerPosition().y, 767);
    // A press and release with no motion clicks wherever the pointer is.
    POINT at = CentreOf(IDC_SIMULATE);
    SetCursorPos(at.x, at.y);
    InjectFromProgram({{MOUSEEVENTF_LEFTDOWN, 0, 0}, {MOUSEEVENTF_LEFTUP, 0, 0}});
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SIMULATE), BST_CHECKED);
}

TEST_F(InputTest, InputDriversPlaceThePointerByPixel) {
    EXPECT_EQ(platform::win32::PointerPosition().x, 512) << "starts in the middle";
    EXPECT_EQ(platform::win32::PointerPosition().y, 384);
    POINT at = CentreOf(IDC_MODE1);
    platform::win32::InjectPointerAt(at.x, at.y, MOUSEEVENTF_LEFTDOWN);
    platform::win32::InjectPointerAt(at.x, at.y, MOUSEEVENTF_LEFTUP);
    runtime.RunUntilIdle();
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_MODE1), BST_CHECKED);
    platform::win32::InjectPointerAt(5000, -3, 0);
    EXPECT_EQ(platform::win32::PointerPosition().x, 1023);
    EXPECT_EQ(platform::win32::PointerPosition().y, 0);
}

TEST_F(InputTest, ClicksOnStaticsAndGroupBoxesReachTheDialog) {
    std::vector<POINT> clicks;
    recorder.hook = [&](HWND, UINT message, WPARAM, LPARAM lParam) {
        if (message == WM_LBUTTONUP)
            clicks.push_back(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return FALSE;
    };
    POINT text = CentreOf(IDC_COUNT);
    user.ClickAt(text.x, text.y);
    ASSERT_EQ(clicks.size(), 1u);
    POINT client = text;
    ScreenToClient(dialog, &client);
    EXPECT_EQ(clicks[0].x, client.x);
    EXPECT_EQ(clicks[0].y, client.y);
}

TEST_F(InputTest, EnterIsTheDefaultButtonAndEscapeIsCancel) {
    user.PressEnter();
    EXPECT_EQ(result, IDOK);
    ShowDialog(IDD_TEST, &recorder, &result);
    user.PressEscape();
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_THAT(recorder.events, ElementsAre("command 1 0", "command 2 0"));
}

TEST_F(InputTest, EnterOnAFocusedPushButtonChoosesThatButton) {
    SetFocus(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(GetFocus(), nullptr) << "the host has no focus of its own";
    user.PressEnter();
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(InputTest, TabMovesTheFocusAlongTabStops) {
    std::vector<HWND> focus;
    recorder.hook = [&](HWND d, UINT message, WPARAM, LPARAM) {
        if (message == WM_USER + 10)
            focus.push_back(GetFocus());
        (void)d;
        return FALSE;
    };
    PostMessageA(dialog, WM_USER + 10, 0, 0);
    user.PressKey(VK_TAB);
    PostMessageA(dialog, WM_USER + 10, 0, 0);
    runtime.RunUntilIdle();
    EXPECT_THAT(focus, ElementsAre(GetDlgItem(dialog, IDOK), GetDlgItem(dialog, IDCANCEL)));
}

TEST_F(InputTest, CloseBoxSendsCloseWhichCancelsTheDialog) {
    RECT r;
    GetWindowRect(dialog, &r);
    user.ClickAt(r.right - 3 - 10, r.top + 3 + 9);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(InputTest, HiddenControlsCannotBeClicked) {
    ShowWindow(GetDlgItem(dialog, IDC_MODE1), SW_HIDE);
    EXPECT_FALSE(user.ClickControl(IDC_MODE1));
    EXPECT_THAT(recorder.events, IsEmpty());
    EXPECT_NE(user.FindControl("Down Mode"), nullptr);
}

} // namespace
} // namespace ui_testing
