// Pictures of the screen and of windows: what a person should recognise.
#include "tests/win32ui/ui_fixture.h"

#include <gmock/gmock.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace ui_testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class PictureTest : public UiTest {};

TEST_F(PictureTest, DialogShowsFrameCaptionControlsAndTheirState) {
    Recorder recorder;
    ShowDialog(IDD_TEST, &recorder);
    HWND dialog = user.Foreground();
    SendDlgItemMessageA(dialog, IDC_PORT, CB_ADDSTRING, 0, (LPARAM) "COM2");
    SendDlgItemMessageA(dialog, IDC_PORT, CB_SETCURSEL, 0, 0);
    SendDlgItemMessageA(dialog, IDC_BAR, PBM_SETPOS, 50, 0);
    user.ClickControl(IDC_MODE2);
    std::string svg = platform::win32::RenderWindowSvg(dialog);
    if (const char* dump = std::getenv("WIN32UI_DUMP"))
        platform::win32::SavePicture(dump, platform::win32::RenderScreenSvg());
    EXPECT_THAT(svg, HasSubstr("<svg"));
    EXPECT_THAT(svg, HasSubstr(">Test dialog</text>")) << "caption";
    EXPECT_THAT(svg, HasSubstr("url(#active)")) << "the foreground caption";
    for (const char* text :
         {">OK<", ">Cancel<", ">Config<", ">Touch Mode<", ">Up Mode<", ">Enable simulate mouse<",
          ">COM2<", ">10<", ">\xe7\x82\xb9\xe5\x87\xbb<"})
        EXPECT_THAT(svg, HasSubstr(text));
    EXPECT_EQ(Count(svg, "data:image/png;base64,"), 2u) << "icon and bitmap";
    EXPECT_EQ(Count(svg, "<ellipse"), 4u) << "three radio buttons and one dot";
    // The disabled Config button is drawn in grey.
    EXPECT_THAT(svg,
                HasSubstr("fill=\"#808080\" text-anchor=\"middle\" xml:space=\"preserve\">Config"));
}

TEST_F(PictureTest, ScreenShowsRecordedDrawingAndThePointerUnlessHidden) {
    Recorder recorder;
    recorder.hook = [](HWND dialog, UINT message, WPARAM, LPARAM) {
        if (message != WM_PAINT)
            return FALSE;
        HDC dc = GetDC(dialog);
        SetBkMode(dc, TRANSPARENT);
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
        HBRUSH brush = CreateSolidBrush(RGB(0, 0, 0x63));
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        Rectangle(dc, 0, 0, 50, 40);
        SetTextColor(dc, RGB(0, 0xFE, 0));
        TextOutA(dc, 10, 150, "Please hit the specail button on the screen.", 44);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
        ReleaseDC(dialog, dc);
        PAINTSTRUCT ps;
        BeginPaint(dialog, &ps);
        EndPaint(dialog, &ps);
        return TRUE;
    };
    ShowDialog(IDD_TEST, &recorder);
    user.ClickAt(700, 500);
    std::string svg = platform::win32::RenderScreenSvg();
    EXPECT_THAT(svg, HasSubstr("width=\"1024\" height=\"768\""));
    EXPECT_THAT(svg, HasSubstr("fill=\"#000063\" stroke=\"#000000\""));
    EXPECT_THAT(svg, HasSubstr("fill=\"#00fe00\" xml:space=\"preserve\">Please hit the specail "
                               "button on the screen.</text>"));
    EXPECT_THAT(svg, HasSubstr("<polygon points=\"700,500 "));
    Start([](HINSTANCE) {
        ShowCursor(FALSE);
        return 0;
    });
    runtime.RunUntilIdle();
    EXPECT_THAT(platform::win32::RenderScreenSvg(), Not(HasSubstr("<polygon points=\"700,500 ")));
}

TEST_F(PictureTest, ErasingTheWindowForgetsDrawingInsideTheUpdateRegion) {
    HWND dialog = nullptr;
    Start([&](HINSTANCE instance) {
        dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_CLASSIC), nullptr, nullptr, 0);
        ShowWindow(dialog, SW_SHOW);
        UpdateWindow(dialog); // painted: nothing left to erase
        HDC dc = GetDC(dialog);
        Ellipse(dc, 10, 10, 20, 20);
        Ellipse(dc, 100, 10, 110, 20);
        ReleaseDC(dialog, dc);
        RECT part{0, 0, 50, 50};
        InvalidateRect(dialog, &part, TRUE);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0))
            DispatchMessageA(&msg);
        return 0;
    });
    runtime.RunUntilIdle();
    std::string svg = platform::win32::RenderWindowSvg(dialog);
    EXPECT_EQ(Count(svg, "<ellipse"), 1u) << "the one outside the erased part stays";
}

TEST_F(PictureTest, MessageBoxAndSavedFile) {
    Start([](HINSTANCE) {
        MessageBoxA(nullptr, "No USB Infrared screen found", "Error", MB_OK | MB_ICONERROR);
        return 0;
    });
    runtime.RunUntilIdle();
    std::string svg = platform::win32::RenderScreenSvg();
    EXPECT_THAT(svg, HasSubstr(">No USB Infrared screen found</text>"));
    EXPECT_THAT(svg, HasSubstr("fill=\"#e00000\"")) << "the error icon";
    std::string path = ::testing::TempDir() + "win32ui_picture.svg";
    ASSERT_TRUE(platform::win32::SavePicture(path, svg));
    std::ifstream file(path);
    std::stringstream read;
    read << file.rdbuf();
    EXPECT_EQ(read.str(), svg);
    std::remove(path.c_str());
    EXPECT_FALSE(platform::win32::SavePicture("/nonexistent/dir/x.svg", svg));
}

} // namespace
} // namespace ui_testing
