// MessageBoxA: a real modal window answered by the scripted user, traced
// when it closes.
#include "tests/win32ui/ui_fixture.h"

#include <gmock/gmock.h>

namespace ui_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class MessageBoxTest : public UiTest {
protected:
    // A program that shows boxes one after the other and records answers.
    void ShowBoxes(std::vector<std::pair<std::string, UINT>> boxes, HWND owner = nullptr) {
        Start([this, boxes, owner](HINSTANCE) {
            for (const auto& [text, type] : boxes)
                answers.push_back(MessageBoxA(owner, text.c_str(), captions, type));
            return 0;
        });
        runtime.RunUntilIdle();
    }

    const char* captions = "Error";
    std::vector<int> answers;
};

TEST_F(MessageBoxTest, QueuedAnswersCloseBoxesInOrderAndEachIsTraced) {
    user.AnswerNextMessageBox(IDOK);
    user.AnswerNextMessageBox(IDNO);
    ShowBoxes({{"No USB Infrared screen found", MB_OK | MB_ICONERROR},
               {"The device isn't exist. Do you want to create it.", MB_YESNO | MB_ICONQUESTION}});
    EXPECT_THAT(answers, ElementsAre(IDOK, IDNO));
    EXPECT_EQ(user.PendingAnswers(), 0u);
    EXPECT_THAT(TraceWith("msgbox"),
                ElementsAre("0.000 msgbox caption=\"Error\" text=\"No USB Infrared screen found\" "
                            "answer=OK",
                            "0.000 msgbox caption=\"Error\" text=\"The device isn't exist. Do you "
                            "want to create it.\" answer=No"));
}

TEST_F(MessageBoxTest, UnansweredBoxStaysOpenUntilClicked) {
    ShowBoxes({{"Install finished,the computer will reboot.", MB_OK | MB_ICONINFORMATION}});
    Advance(60000);
    EXPECT_TRUE(answers.empty());
    HWND box = user.Foreground();
    char caption[16];
    GetWindowTextA(box, caption, sizeof caption);
    EXPECT_STREQ(caption, "Error");
    EXPECT_NE(user.FindControl("Install finished,the computer will reboot."), nullptr);
    ASSERT_TRUE(user.ClickControl("OK"));
    EXPECT_THAT(answers, ElementsAre(IDOK));
    EXPECT_FALSE(IsWindow(box));
    EXPECT_THAT(TraceWith("msgbox"), ElementsAre(HasSubstr("60000.000 msgbox")));
}

TEST_F(MessageBoxTest, KeysAnswerAsTheButtonsAllow) {
    ShowBoxes({{"a", MB_OK}, {"b", MB_OKCANCEL}, {"c", MB_YESNO | MB_DEFBUTTON2}, {"d", MB_YESNO}});
    user.PressEscape(); // a lone OK answers Escape
    user.PressEscape();
    user.PressEscape(); // Yes/No has no Cancel: nothing happens
    EXPECT_THAT(answers, ElementsAre(IDOK, IDCANCEL));
    user.PressEnter(); // the second button is the default
    user.PressEnter();
    EXPECT_THAT(answers, ElementsAre(IDOK, IDCANCEL, IDNO, IDYES));
}

TEST_F(MessageBoxTest, ABoxDisablesItsOwnerWhileOpen) {
    Recorder recorder;
    recorder.hook = [](HWND dialog, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_SIMULATE) {
            MessageBoxA(dialog, "Please config the device immediately.", "Prompt",
                        MB_OK | MB_ICONERROR);
            return TRUE;
        }
        return FALSE;
    };
    ShowDialog(IDD_TEST, &recorder);
    HWND dialog = user.Foreground();
    user.ClickControl(IDC_SIMULATE);
    HWND box = user.Foreground();
    EXPECT_NE(box, dialog);
    EXPECT_FALSE(IsWindowEnabled(dialog));
    EXPECT_EQ(GetParent(box), dialog);
    // A click on the disabled owner is dropped.
    RECT r;
    GetWindowRect(GetDlgItem(dialog, IDC_MODE1), &r);
    user.ClickAt(r.left + 3, r.top + 3);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_MODE1), 0u);
    user.PressEnter();
    EXPECT_TRUE(IsWindowEnabled(dialog));
    EXPECT_EQ(user.Foreground(), dialog);
    EXPECT_THAT(TraceWith("msgbox"),
                ElementsAre(HasSubstr("caption=\"Prompt\" text=\"Please config the device "
                                      "immediately.\" answer=OK")));
}

TEST_F(MessageBoxTest, AnswerThatFitsNoButtonIsUsedUpAndTheBoxWaits) {
    user.AnswerNextMessageBox(IDYES);
    ShowBoxes({{"only OK", MB_OK}});
    EXPECT_TRUE(answers.empty());
    EXPECT_EQ(user.PendingAnswers(), 0u);
    user.ClickControl("OK");
    EXPECT_THAT(answers, ElementsAre(IDOK));
}

TEST_F(MessageBoxTest, DefaultCaptionAndQuotedText) {
    Start([](HINSTANCE) {
        MessageBoxA(nullptr, "say \"hi\"\nback\\slash", nullptr, MB_OK);
        return 0;
    });
    user.AnswerNextMessageBox(IDOK);
    runtime.RunUntilIdle();
    EXPECT_THAT(
        TraceWith("msgbox"),
        ElementsAre("0.000 msgbox caption=\"Error\" text=\"say \\\"hi\\\"\\nback\\\\slash\" "
                    "answer=OK"));
}

} // namespace
} // namespace ui_testing
