#include "apps/setup/background_window.h"

#include "apps/setup/resource.h"

#include <string.h>

namespace {

const UINT_PTR kStartTimer = 1;

struct Caption {
    int x;
    int y;
    const char* text;
    int height;
    COLORREF colour;
};

// Each caption twice, one pixel apart: the title thicker, the second line
// yellow with a red edge.
const Caption kCaptions[] = {
    {30, 20, "Orvan Usb touch screen V9.0 ", 42, RGB(0, 255, 0)},
    {31, 20, "Orvan Usb touch screen V9.0 ", 42, RGB(0, 255, 0)},
    {300, 60, "For Windows 98/2000/XP", 28, RGB(255, 0, 0)},
    {301, 60, "For Windows 98/2000/XP", 28, RGB(255, 255, 0)},
};

} // namespace

BackgroundWindow::BackgroundWindow(WizardState* state)
    : ModalDialog(IDD_BACKGROUND), state_(state), screenWidth_(0), screenHeight_(0) {}

BOOL BackgroundWindow::OnInitDialog() {
    ModalDialog::OnInitDialog();
    HICON icon = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDR_SETUP));
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, (LPARAM)icon);
    screenWidth_ = GetSystemMetrics(SM_CXSCREEN);
    screenHeight_ = GetSystemMetrics(SM_CYSCREEN);
    ShowWindow(Handle(), SW_SHOWMAXIMIZED);
    SetTimer(Handle(), kStartTimer, 1000, NULL);
    return TRUE;
}

void BackgroundWindow::Paint(HDC dc) {
    HBRUSH brush = CreateSolidBrush(RGB(0, 99, 0));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    Rectangle(dc, 0, 0, screenWidth_, screenHeight_);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);

    SetBkMode(dc, TRANSPARENT);
    for (const Caption& caption : kCaptions) {
        HFONT font = CreateFontA(caption.height, 0, 0, 0, FW_THIN, FALSE, FALSE, FALSE,
                                 GB2312_CHARSET, OUT_DEVICE_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Times New Roman");
        HGDIOBJ oldFont = SelectObject(dc, font);
        SetTextColor(dc, caption.colour);
        TextOutA(dc, caption.x, caption.y, caption.text, (int)strlen(caption.text));
        SelectObject(dc, oldFont);
        DeleteObject(font);
    }
}

void BackgroundWindow::InvalidateAll() {
    InvalidateRect(Handle(), NULL, TRUE);
}

// Always repainted whole: a partial repaint would leave the captions cut.
LRESULT BackgroundWindow::OnPaint(WPARAM, LPARAM) {
    InvalidateAll();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    Paint(dc);
    EndPaint(Handle(), &ps);
    return 0;
}

// WM_SIZE, WM_KILLFOCUS and WM_WINDOWPOSCHANGED.
LRESULT BackgroundWindow::OnInvalidatingMessage(WPARAM, LPARAM) {
    InvalidateAll();
    return Default();
}

// Losing activation to a page is losing the focus.
LRESULT BackgroundWindow::OnActivate(WPARAM wParam, LPARAM) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        InvalidateAll();
    }
    return Default();
}

void BackgroundWindow::OnTick(UINT_PTR) {
    KillTimer(Handle(), kStartTimer);
    RunWizard(state_);
    EndDialog(0);
}

DEFINE_DIALOG_EVENTS(BackgroundWindow, ModalDialog)
OnMessage(WM_PAINT, &BackgroundWindow::OnPaint),
    OnMessage(WM_SIZE, &BackgroundWindow::OnInvalidatingMessage),
    OnMessage(WM_KILLFOCUS, &BackgroundWindow::OnInvalidatingMessage),
    OnMessage(WM_WINDOWPOSCHANGED, &BackgroundWindow::OnInvalidatingMessage),
    OnMessage(WM_ACTIVATE, &BackgroundWindow::OnActivate), OnTimer(&BackgroundWindow::OnTick),
    END_DIALOG_EVENTS()
