// GDI as recorded drawing: objects, device contexts and what each call
// leaves on the window, checked through the window's picture.
#include "tests/win32ui/ui_fixture.h"

#include <gmock/gmock.h>

namespace ui_testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class GdiTest : public UiTest {
protected:
    // Runs draw on a shown, painted window of a program; returns its picture.
    std::string DrawOnWindow(std::function<void(HWND, HDC)> draw, bool wholeWindow = false) {
        HWND window = nullptr;
        Start([&](HINSTANCE instance) {
            window =
                CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_CLASSIC), nullptr, nullptr, 0);
            ShowWindow(window, SW_SHOW);
            UpdateWindow(window);
            HDC dc = wholeWindow ? GetWindowDC(window) : GetDC(window);
            draw(window, dc);
            ReleaseDC(window, dc);
            Sleep(INFINITE); // keeps the window until the test ends
            return 0;
        });
        runtime.RunUntilIdle();
        return platform::win32::RenderWindowSvg(window);
    }
};

TEST_F(GdiTest, StockObjectsAreSharedAndNeverDeleted) {
    Start([](HINSTANCE) {
        HGDIOBJ black = GetStockObject(BLACK_BRUSH);
        EXPECT_NE(black, nullptr);
        EXPECT_EQ(GetStockObject(BLACK_BRUSH), black);
        EXPECT_NE(GetStockObject(NULL_PEN), black);
        EXPECT_EQ(GetStockObject(99), nullptr);
        EXPECT_TRUE(DeleteObject(black));
        EXPECT_EQ(GetStockObject(BLACK_BRUSH), black) << "still there";
        HBRUSH own = CreateSolidBrush(RGB(1, 2, 3));
        EXPECT_TRUE(DeleteObject(own));
        EXPECT_FALSE(DeleteObject(own)) << "already deleted";
        return 0;
    });
    runtime.RunUntilIdle();
}

TEST_F(GdiTest, SelectObjectReturnsWhatWasSelectedPerKind) {
    DrawOnWindow([](HWND, HDC dc) {
        HPEN pen = CreatePen(PS_SOLID, 2, RGB(255, 0, 0));
        HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
        HGDIOBJ firstPen = SelectObject(dc, pen);
        EXPECT_EQ(firstPen, GetStockObject(BLACK_PEN));
        EXPECT_EQ(SelectObject(dc, brush), GetStockObject(WHITE_BRUSH));
        EXPECT_EQ(SelectObject(dc, firstPen), pen);
        EXPECT_EQ(
            SelectObject(dc, LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_TEST))),
            nullptr)
            << "no bitmaps in window DCs";
        DeleteObject(pen);
        DeleteObject(brush);
    });
}

TEST_F(GdiTest, ShapesCarryPenAndBrushInWindowCoordinates) {
    std::string svg = DrawOnWindow([](HWND, HDC dc) {
        HPEN pen = CreatePen(PS_SOLID, 3, RGB(255, 0, 0));
        HBRUSH brush = CreateSolidBrush(RGB(0, 0, 0x63));
        SelectObject(dc, pen);
        SelectObject(dc, brush);
        Rectangle(dc, 10, 20, 60, 40);
        SelectObject(dc, GetStockObject(NULL_BRUSH));
        Ellipse(dc, 0, 0, 8, 4);
        MoveToEx(dc, 1, 2, nullptr);
        LineTo(dc, 30, 2);
        POINT previous;
        MoveToEx(dc, 5, 5, &previous);
        EXPECT_EQ(previous.x, 30);
        DeleteObject(pen);
        DeleteObject(brush);
    });
    // The client area starts at (3, 21) inside the window: frame and caption.
    EXPECT_THAT(svg, HasSubstr("<rect x=\"13\" y=\"41\" width=\"50\" height=\"20\" "
                               "fill=\"#000063\" stroke=\"#ff0000\" stroke-width=\"3\"/>"));
    EXPECT_THAT(svg, HasSubstr("<ellipse cx=\"7\" cy=\"23\" rx=\"4\" ry=\"2\" fill=\"none\" "
                               "stroke=\"#ff0000\""));
    EXPECT_THAT(svg, HasSubstr("<line x1=\"4\" y1=\"23\" x2=\"33\" y2=\"23\" stroke=\"#ff0000\""));
}

TEST_F(GdiTest, WholeWindowContextStartsAtTheFrame) {
    std::string svg = DrawOnWindow(
        [](HWND, HDC dc) {
            RECT r{0, 0, 4, 4};
            FillRect(dc, &r, (HBRUSH)(COLOR_WINDOW + 1));
        },
        true);
    EXPECT_THAT(svg,
                HasSubstr("<rect x=\"0\" y=\"0\" width=\"4\" height=\"4\" fill=\"#ffffff\"/>"));
}

TEST_F(GdiTest, TextCarriesFontColourAndBackground) {
    std::string svg = DrawOnWindow([](HWND, HDC dc) {
        HFONT font =
            CreateFontA(42, 0, 0, 0, 100, FALSE, FALSE, FALSE, 134, 5, 0, 0, 0, "Times New Roman");
        HGDIOBJ old = SelectObject(dc, font);
        SetTextColor(dc, RGB(0, 255, 0));
        EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
        TextOutA(dc, 30, 20, "Orvan Usb touch screen V9.0 ", 28);
        SIZE size;
        GetTextExtentPoint32A(dc, "abc", 3, &size);
        EXPECT_EQ(size.cy, 42);
        EXPECT_GT(size.cx, 0);
        SelectObject(dc, old);
        DeleteObject(font);
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, RGB(255, 255, 0));
        RECT r{0, 60, 100, 80};
        DrawTextA(dc, "centred", -1, &r, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
        RECT measure{0, 0, 0, 0};
        EXPECT_EQ(DrawTextA(dc, "four", 4, &measure, DT_CALCRECT), 11) << "the dialog's font";
        EXPECT_EQ(measure.right, 24);
    });
    EXPECT_THAT(svg, HasSubstr("font-family=\"Times New Roman, MS Sans Serif, Tahoma, Arial, "
                               "sans-serif\" font-size=\"35\" fill=\"#00ff00\""));
    EXPECT_THAT(svg, HasSubstr(">Orvan Usb touch screen V9.0 </text>"));
    EXPECT_THAT(svg, HasSubstr("fill=\"#ffff00\"/>")) << "opaque text background";
    EXPECT_THAT(svg, HasSubstr("text-anchor=\"middle\" xml:space=\"preserve\">centred<"));
    EXPECT_THAT(svg, Not(HasSubstr(">four<"))) << "measuring draws nothing";
}

TEST_F(GdiTest, AnOpaqueFillOverTheWholeClientForgetsEarlierDrawing) {
    std::string svg = DrawOnWindow([](HWND window, HDC dc) {
        for (int i = 0; i < 5000; ++i)
            Ellipse(dc, i % 50, 0, i % 50 + 3, 3);
        RECT client;
        GetClientRect(window, &client);
        HBRUSH brush = CreateSolidBrush(RGB(0, 99, 0));
        FillRect(dc, &client, brush);
        DeleteObject(brush);
        TextOutA(dc, 1, 1, "after", 5);
    });
    EXPECT_THAT(svg, Not(HasSubstr("<ellipse")));
    EXPECT_THAT(svg, HasSubstr("fill=\"#006300\""));
    EXPECT_THAT(svg, HasSubstr(">after<"));
}

TEST_F(GdiTest, IconsAreDrawnWithTheirPixels) {
    std::string svg = DrawOnWindow([](HWND, HDC dc) {
        HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TEST));
        EXPECT_TRUE(DrawIcon(dc, 2, 2, icon));
        EXPECT_FALSE(DrawIcon(dc, 2, 2, nullptr));
    });
    EXPECT_THAT(svg, HasSubstr("<image x=\"5\" y=\"23\" width=\"32\" height=\"32\" "
                               "href=\"data:image/png;base64,iVBORw0KGgo"));
}

} // namespace
} // namespace ui_testing
