// Windows and dialogs: placement, frames, maximising, activation and
// z-order, lookup, and the dialog manager's defaults.
#include "tests/win32ui/ui_fixture.h"

#include <gmock/gmock.h>

namespace ui_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class WindowTest : public UiTest {
protected:
    // A program that creates the classic dialog modeless and keeps a loop.
    HWND Modeless(std::function<void(HWND)> then = nullptr) {
        HWND made = nullptr;
        Start([&made, then](HINSTANCE instance) {
            made = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_CLASSIC), nullptr, nullptr, 0);
            if (then)
                then(made);
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0)
                DispatchMessageA(&msg);
            return 0;
        });
        runtime.RunUntilIdle();
        return made;
    }
};

TEST_F(WindowTest, FramesAndCaptionsSurroundTheClientArea) {
    HWND dialog = Modeless();
    RECT window;
    RECT client;
    ASSERT_TRUE(GetWindowRect(dialog, &window));
    ASSERT_TRUE(GetClientRect(dialog, &client));
    EXPECT_EQ(client.right, 180);
    EXPECT_EQ(client.bottom, 81);
    // Modal frame of 3 pixels, caption of 18; placed at (10, 20) dialog units.
    EXPECT_EQ(window.right - window.left, 180 + 2 * 3);
    EXPECT_EQ(window.bottom - window.top, 81 + 2 * 3 + 18);
    POINT origin{0, 0};
    ClientToScreen(dialog, &origin);
    EXPECT_EQ(origin.x, 15);
    EXPECT_EQ(origin.y, 33);
    EXPECT_EQ(origin.x - window.left, 3);
    EXPECT_EQ(origin.y - window.top, 3 + 18);
    POINT back = origin;
    ScreenToClient(dialog, &back);
    EXPECT_EQ(back.x, 0);
    EXPECT_EQ(back.y, 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
}

TEST_F(WindowTest, ModelessDialogStaysHiddenWithoutVisibleStyleUntilShown) {
    HWND dialog = Modeless();
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(user.Foreground(), nullptr);
    EXPECT_FALSE(ShowWindow(dialog, SW_SHOW)) << "was hidden";
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(user.Foreground(), dialog);
}

TEST_F(WindowTest, MaximisingCoversTheScreenAndFollowsItsSize) {
    std::vector<std::pair<WPARAM, LPARAM>> sizes;
    HWND dialog = Modeless([&sizes](HWND made) {
        SetWindowLongPtrA(made, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&sizes));
        ShowWindow(made, SW_MAXIMIZE);
    });
    RECT r;
    GetWindowRect(dialog, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 1024);
    EXPECT_EQ(r.bottom, 768);
    EXPECT_TRUE(IsZoomed(dialog));
    runtime.SetScreenSize(800, 600);
    GetWindowRect(dialog, &r);
    EXPECT_EQ(r.right, 800);
    EXPECT_EQ(r.bottom, 600);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    ShowWindow(dialog, SW_RESTORE);
    GetWindowRect(dialog, &r);
    EXPECT_EQ(r.right - r.left, 186) << "restored to the size before maximising";
    EXPECT_FALSE(IsZoomed(dialog));
    ShowWindow(dialog, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(dialog));
}

TEST_F(WindowTest, ModalDialogMaximisedWhileInitialisingStaysMaximised) {
    Recorder recorder;
    recorder.hook = [](HWND dialog, UINT message, WPARAM, LPARAM) {
        if (message == WM_INITDIALOG)
            ShowWindow(dialog, SW_MAXIMIZE);
        return FALSE;
    };
    ShowDialog(IDD_TEST, &recorder);
    RECT r;
    GetWindowRect(user.Foreground(), &r);
    EXPECT_EQ(r.right - r.left, 1024);
    EXPECT_EQ(r.bottom - r.top, 768);
    EXPECT_TRUE(IsZoomed(user.Foreground()));
}

TEST_F(WindowTest, MovingAndResizingAControl) {
    HWND dialog = Modeless();
    HWND button = GetDlgItem(dialog, IDOK);
    ASSERT_TRUE(MoveWindow(button, 5, 6, 24, 24, TRUE));
    RECT r;
    GetWindowRect(button, &r);
    POINT origin{0, 0};
    ClientToScreen(dialog, &origin);
    EXPECT_EQ(r.left - origin.x, 5);
    EXPECT_EQ(r.top - origin.y, 6);
    EXPECT_EQ(r.right - r.left, 24);
    SetWindowPos(button, nullptr, 50, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    GetWindowRect(button, &r);
    EXPECT_EQ(r.left - origin.x, 50);
    EXPECT_EQ(r.right - r.left, 24) << "SWP_NOSIZE keeps the size";
    EXPECT_EQ(GetParent(button), dialog);
    EXPECT_EQ(GetDlgCtrlID(button), IDOK);
    EXPECT_EQ(GetWindow(dialog, GW_CHILD), button);
    EXPECT_EQ(GetWindow(button, GW_HWNDNEXT), GetDlgItem(dialog, -1));
    char name[16];
    GetClassNameA(button, name, sizeof name);
    EXPECT_STREQ(name, "Button");
    GetClassNameA(dialog, name, sizeof name);
    EXPECT_STREQ(name, "#32770");
}

TEST_F(WindowTest, SystemModalDialogsStayAboveAndFindWindowLooksAtTitles) {
    HWND classic = Modeless([](HWND made) { ShowWindow(made, SW_SHOW); });
    Recorder recorder;
    ShowDialog(IDD_TEST, &recorder);
    HWND test = user.Foreground();
    EXPECT_NE(test, classic);
    EXPECT_EQ(FindWindowA(nullptr, "Classic"), classic);
    EXPECT_EQ(FindWindowA(nullptr, "Test dialog"), test);
    EXPECT_EQ(FindWindowA("#32770", "Classic"), classic);
    EXPECT_EQ(FindWindowA("Button", "Classic"), nullptr);
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(FindWindowA(nullptr, "Function"), nullptr);
    // A topmost window keeps above a window brought to the front later.
    SetWindowPos(test, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(SetForegroundWindow(classic));
    EXPECT_EQ(GetForegroundWindow(), classic);
    POINT inTest{20, 40};
    ClientToScreen(test, &inTest);
    EXPECT_EQ(WindowFromPoint(inTest) == test || IsChild(test, WindowFromPoint(inTest)), true);
}

TEST_F(WindowTest, ForegroundReturnsToTheOwnerWhenAModalDialogEnds) {
    Recorder outer;
    outer.hook = [](HWND dialog, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_SIMULATE) {
            DialogBoxParamA(
                GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CLASSIC), dialog,
                [](HWND d, UINT m, WPARAM w, LPARAM) -> INT_PTR {
                    if (m == WM_COMMAND && LOWORD(w) == IDOK)
                        EndDialog(d, 1);
                    return m == WM_INITDIALOG;
                },
                0);
            return TRUE;
        }
        return FALSE;
    };
    ShowDialog(IDD_TEST, &outer);
    HWND main = user.Foreground();
    user.ClickControl(IDC_SIMULATE);
    HWND inner = user.Foreground();
    EXPECT_NE(inner, main);
    EXPECT_EQ(GetWindow(inner, GW_OWNER), main);
    user.ClickControl("Go");
    EXPECT_EQ(user.Foreground(), main);
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_FALSE(IsWindow(inner));
}

TEST_F(WindowTest, DialogEndedDuringInitialisationIsNeverShown) {
    INT_PTR result = 0;
    Recorder recorder;
    recorder.hook = [](HWND dialog, UINT message, WPARAM, LPARAM) {
        if (message == WM_INITDIALOG)
            EndDialog(dialog, 77);
        return FALSE;
    };
    ShowDialog(IDD_TEST, &recorder, &result);
    EXPECT_EQ(result, 77);
    EXPECT_EQ(user.Foreground(), nullptr);
    EXPECT_THAT(TraceWith("program exit"), ::testing::SizeIs(1));
}

TEST_F(WindowTest, TemplateWithAnUnknownControlClassFails) {
    INT_PTR result = 0;
    DWORD error = 0;
    Start([&](HINSTANCE instance) {
        SetLastError(0xDEADBEEF);
        result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CHILD), nullptr, nullptr, 0);
        error = GetLastError();
        return 0;
    });
    runtime.RunUntilIdle();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error, (DWORD)ERROR_CANNOT_FIND_WND_CLASS);
}

TEST_F(WindowTest, DefaultButtonIdentifierCanBeChanged) {
    Recorder recorder;
    INT_PTR result = 0;
    ShowDialog(IDD_TEST, &recorder, &result);
    HWND dialog = user.Foreground();
    EXPECT_EQ(SendMessageA(dialog, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
    SendMessageA(dialog, DM_SETDEFID, IDCANCEL, 0);
    EXPECT_EQ(SendMessageA(dialog, DM_GETDEFID, 0, 0), MAKELONG(IDCANCEL, DC_HASDEFID));
    user.PressEnter();
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(WindowTest, CloseDoesNothingWhileTheCancelButtonIsDisabled) {
    Recorder recorder;
    ShowDialog(IDD_TEST, &recorder);
    HWND dialog = user.Foreground();
    EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
    SendMessageA(dialog, WM_CLOSE, 0, 0);
    user.PressEscape();
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_THAT(recorder.events, IsEmpty());
}

TEST_F(WindowTest, WindowLongValues) {
    Recorder recorder;
    ShowDialog(IDD_TEST, &recorder);
    HWND dialog = user.Foreground();
    EXPECT_NE(GetWindowLongA(dialog, GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_NE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, 0);
    EXPECT_EQ(GetWindowLongPtrA(dialog, DWLP_DLGPROC), reinterpret_cast<LONG_PTR>(RecordingProc));
    EXPECT_EQ(GetWindowLongPtrA(dialog, DWLP_USER), reinterpret_cast<LONG_PTR>(&recorder));
    HWND button = GetDlgItem(dialog, IDOK);
    EXPECT_EQ(GetWindowLongA(button, GWL_ID), IDOK);
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(GetWindowLongPtrA(button, DWLP_USER), 0) << "controls have no dialog slots";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_INDEX);
    EXPECT_EQ(SetWindowLongPtrA(button, GWLP_USERDATA, 99), 0);
    EXPECT_EQ(GetWindowLongPtrA(button, GWLP_USERDATA), 99);
}

} // namespace
} // namespace ui_testing
