// Menus: the pop-up menu of a notification callback and system menus.
#include "tests/win32ui/ui_fixture.h"

#include <gmock/gmock.h>

namespace ui_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class MenuTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        recorder.hook = [this](HWND dialog, UINT message, WPARAM, LPARAM) {
            if (message != WM_USER + 1)
                return FALSE;
            HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDM_TEST));
            POINT at{300, 200};
            BOOL chosen = TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON | flags, at.x, at.y,
                                         0, dialog, nullptr);
            returned.push_back((int)chosen);
            DestroyMenu(menu);
            return TRUE;
        };
        ShowDialog(IDD_TEST, &recorder);
        dialog = user.Foreground();
    }

    void OpenMenu() {
        PostMessageA(dialog, WM_USER + 1, 0, 0);
        runtime.RunUntilIdle();
    }

    Recorder recorder;
    HWND dialog = nullptr;
    UINT flags = 0;
    std::vector<int> returned;
};

TEST_F(MenuTest, ChosenItemIsPostedAsACommand) {
    OpenMenu();
    ASSERT_TRUE(user.ChooseMenuItem("Exit"));
    EXPECT_THAT(returned, ElementsAre(TRUE));
    EXPECT_THAT(recorder.events, ElementsAre("command 32773 0"));
}

TEST_F(MenuTest, ReturnCommandGivesTheItemInstead) {
    flags = TPM_RETURNCMD;
    OpenMenu();
    ASSERT_TRUE(user.ChooseMenuItem("Show"));
    EXPECT_THAT(returned, ElementsAre(IDM_SHOW));
    EXPECT_THAT(recorder.events, IsEmpty());
}

TEST_F(MenuTest, ClickOutsideOrOnASeparatorChoosesNothing) {
    OpenMenu();
    EXPECT_FALSE(user.ChooseMenuItem("Config"));
    user.ClickAt(10, 700);
    EXPECT_THAT(returned, ElementsAre(TRUE));
    EXPECT_THAT(recorder.events, IsEmpty());
}

TEST_F(MenuTest, SystemMenuExistsOnlyWithTheStyle) {
    HMENU menu = GetSystemMenu(dialog, FALSE);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetSystemMenu(dialog, FALSE), menu);
    EXPECT_TRUE(AppendMenuA(menu, MF_SEPARATOR, 0, nullptr));
    EXPECT_TRUE(AppendMenuA(menu, MF_STRING, 16, "About..."));
    EXPECT_TRUE(user.ChooseSystemMenuItem("About..."));
    EXPECT_TRUE(user.ChooseSystemMenuItem("Close")) << "SC_CLOSE closes through cancel";
    EXPECT_THAT(recorder.events, ElementsAre("command 2 0"));
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(AppendMenuA(nullptr, MF_STRING, 1, "x"));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_MENU_HANDLE);
}

} // namespace
} // namespace ui_testing
