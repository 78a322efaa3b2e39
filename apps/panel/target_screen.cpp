// First, before any C++ header turns on the compiler's own printf: sprintf
// is then msvcrt's, which every system has.
#include <stdio.h>

#include "apps/panel/target_screen.h"

#include "apps/common/settings_store.h"
#include "apps/panel/resource.h"

#include <string.h>

#define TARGET_SIZE 24
#define CANCEL_WIDTH 180
#define CANCEL_HEIGHT 60
#define BACKGROUND_COLOUR 0x00630000
#define TEXT_COLOUR 0x0000FE00

static const char kPrompt[] = "Please hit the specail button on the screen.";

DEFINE_DIALOG_EVENTS(TargetScreen, ModalDialog)
OnCommand(IDC_TARGET, &TargetScreen::OnTarget),
    OnCommand(IDC_CANCEL_CALIBRATION, &TargetScreen::OnCancelCalibration),
    OnMessage(WM_LBUTTONUP, &TargetScreen::OnLButtonUp),
    OnMessageVoid(WM_PAINT, &TargetScreen::OnPaint),
    OnMessageVoid(WM_DESTROY, &TargetScreen::OnDestroy),
    END_DIALOG_EVENTS()

        TargetScreen::TargetScreen(ModalDialog* parent)
    : ModalDialog(IDD_TARGET, parent), TargetIndex(0), CalWidth(0), CalHeight(0) {
    memset(&CalRect, 0, sizeof CalRect);
    memset(&PairA, 0, sizeof PairA);
    memset(&PairB, 0, sizeof PairB);
}

VOID TargetScreen::TargetPosition(INT index, double* x, double* y) const {
    // Top left, bottom right, bottom left, top right: two diagonal pairs.
    static const double kX[TARGET_COUNT] = {0.1, 0.9, 0.1, 0.9};
    static const double kY[TARGET_COUNT] = {0.1, 0.9, 0.9, 0.1};
    *x = kX[index] * (double)CalRect.right;
    *y = kY[index] * (double)CalRect.bottom;
}

BOOL TargetScreen::OnInitDialog() {
    ModalDialog::OnInitDialog();
    TargetIndex = 0;
    CalWidth = GetSystemMetrics(SM_CXSCREEN);
    CalHeight = GetSystemMetrics(SM_CYSCREEN);
    ShowWindow(Handle(), SW_MAXIMIZE);
    GetWindowRect(Handle(), &CalRect);
    HICON icon = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_PANEL));
    SendDlgItemMessageA(Handle(), IDC_TARGET, BM_SETIMAGE, IMAGE_ICON, (LPARAM)icon);
    PlaceCancelButton();
    ShowCursor(FALSE);
    return TRUE;
}

void TargetScreen::OnDestroy() {
    ShowCursor(TRUE);
    Default();
}

void TargetScreen::PlaceCancelButton() {
    MoveWindow(Item(IDC_CANCEL_CALIBRATION), (CalWidth - CANCEL_WIDTH) / 2,
               (CalHeight - CANCEL_HEIGHT) / 2, CANCEL_WIDTH, CANCEL_HEIGHT, TRUE);
}

void TargetScreen::Paint() {
    HDC dc = GetDC(Handle());
    if (dc != NULL) {
        SetBkMode(dc, TRANSPARENT);
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
        HBRUSH brush = CreateSolidBrush(BACKGROUND_COLOUR);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        Rectangle(dc, 0, 0, CalWidth, CalHeight);
        COLORREF oldColour = SetTextColor(dc, TEXT_COLOUR);
        TextOutA(dc, CalWidth / 2 - 132, 150, kPrompt, (int)(sizeof kPrompt - 1));
        SetTextColor(dc, oldColour);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
        ReleaseDC(Handle(), dc);
    }
    PAINTSTRUCT ps;
    BeginPaint(Handle(), &ps);
    EndPaint(Handle(), &ps);

    PlaceCancelButton();
    if (TargetIndex >= 0 && TargetIndex < TARGET_COUNT) {
        double x;
        double y;
        TargetPosition(TargetIndex, &x, &y);
        HWND target = Item(IDC_TARGET);
        MoveWindow(target, (int)(x - TARGET_SIZE / 2), (int)(y - TARGET_SIZE / 2), TARGET_SIZE,
                   TARGET_SIZE, TRUE);
        HICON icon = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_PANEL));
        SendMessageA(target, BM_SETIMAGE, IMAGE_ICON, (LPARAM)icon);
        InvalidateRect(target, NULL, TRUE);
        UpdateWindow(target);
    }
}

void TargetScreen::OnPaint() {
    Paint();
}

static VOID WriteCoefficient(LPCSTR name, double value) {
    // "%f" of the largest double takes 318 characters with its NUL.
    char text[512];
    sprintf(text, "%f", value);
    WriteSettingText(name, text);
}

void TargetScreen::RecordTarget() {
    CalibrationState* state = &Panel()->Calibration;
    CalibrationPoint* point = TargetIndex == 0 || TargetIndex == 2 ? &PairA : &PairB;
    if (TargetIndex >= 0 && TargetIndex < TARGET_COUNT) {
        TargetPosition(TargetIndex, &point->ScreenX, &point->ScreenY);
        point->RawX = state->LastRawX;
        point->RawY = state->LastRawY;
    }
    if (TargetIndex == 1 && PairIsDistinct(&PairA, &PairB)) {
        state->FirstEstimate = PairEstimate(&PairA, &PairB);
    } else if (TargetIndex == 3) {
        if (PairIsDistinct(&PairA, &PairB)) {
            state->SecondEstimate = PairEstimate(&PairA, &PairB);
        }
        const Estimate* first = &state->FirstEstimate;
        const Estimate* second = &state->SecondEstimate;
        WriteCoefficient("Kx", (second->Kx + first->Kx) * 0.5);
        WriteCoefficient("Ky", (second->Ky + first->Ky) * 0.5);
        WriteCoefficient("Cx", (second->Cx + first->Cx) * 0.5);
        WriteCoefficient("Cy", (second->Cy + first->Cy) * 0.5);
    }
    TargetIndex += 1;
    Paint();
    if (TargetIndex >= TARGET_COUNT) {
        EndDialog(0);
    }
}

void TargetScreen::OnTarget() {
    RecordTarget();
}

void TargetScreen::OnCancelCalibration() {
    EndDialog(1);
}

LRESULT TargetScreen::OnLButtonUp(WPARAM wParam, LPARAM lParam) {
    UNREFERENCED_PARAMETER(wParam);
    UNREFERENCED_PARAMETER(lParam);
    RecordTarget();
    return Default();
}
