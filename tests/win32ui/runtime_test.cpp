// The program runtime: processes, the baton, time, modal loops and exit.
#include "tests/win32ui/ui_fixture.h"

#include <gmock/gmock.h>

namespace ui_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

INT_PTR CALLBACK CloseOnOk(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam) == IDOK ? 11 : 22);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

class RuntimeTest : public UiTest {};

TEST_F(RuntimeTest, ProgramRunsUntilItWaitsAndEndsWithItsExitCode) {
    INT_PTR result = 0;
    auto id = Start([&](HINSTANCE instance) {
        result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CLASSIC), nullptr, CloseOnOk, 0);
        return 7;
    });
    runtime.RunUntilIdle();
    EXPECT_TRUE(runtime.IsRunning(id));
    EXPECT_EQ(runtime.ExitCode(id), 259u);
    ASSERT_NE(user.Foreground(), nullptr);
    ASSERT_TRUE(user.ClickControl("Go"));
    EXPECT_FALSE(runtime.IsRunning(id));
    EXPECT_EQ(result, 11);
    EXPECT_EQ(runtime.ExitCode(id), 7u);
}

} // namespace
} // namespace ui_testing
