// MessageBoxA: a real modal dialog built in memory (icon, text, buttons),
// answered by the scripted user: the next queued answer clicks its button
// as soon as the box is shown; without one the box waits for a click or a
// key. Each box that closes leaves one trace line:
//   <ms> msgbox caption="Error" text="..." answer=OK
#include "platform/trace/trace.h"
#include "platform/win32/dialog.h"
#include "platform/win32/gdi.h"
#include "platform/win32/window_manager.h"

#include <algorithm>
#include <cstdio>

namespace platform::win32::detail {
namespace {

struct ButtonSpec {
    int id;
    const char* text;
    const char* answer;
};

constexpr ButtonSpec kOk{IDOK, "OK", "OK"};
constexpr ButtonSpec kCancel{IDCANCEL, "Cancel", "Cancel"};
constexpr ButtonSpec kAbort{IDABORT, "&Abort", "Abort"};
constexpr ButtonSpec kRetry{IDRETRY, "&Retry", "Retry"};
constexpr ButtonSpec kIgnore{IDIGNORE, "&Ignore", "Ignore"};
constexpr ButtonSpec kYes{IDYES, "&Yes", "Yes"};
constexpr ButtonSpec kNo{IDNO, "&No", "No"};

std::vector<ButtonSpec> ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {kOk, kCancel};
    case MB_ABORTRETRYIGNORE:
        return {kAbort, kRetry, kIgnore};
    case MB_YESNOCANCEL:
        return {kYes, kNo, kCancel};
    case MB_YESNO:
        return {kYes, kNo};
    case MB_RETRYCANCEL:
        return {kRetry, kCancel};
    default:
        return {kOk};
    }
}

const char* AnswerName(INT_PTR id) {
    for (const ButtonSpec& b : {kOk, kCancel, kAbort, kRetry, kIgnore, kYes, kNo}) {
        if (b.id == id) {
            return b.answer;
        }
    }
    return "none";
}

LPCSTR IconFor(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
        return IDI_HAND;
    case MB_ICONQUESTION:
        return IDI_QUESTION;
    case MB_ICONEXCLAMATION:
        return IDI_EXCLAMATION;
    case MB_ICONASTERISK:
        return IDI_ASTERISK;
    default:
        return nullptr;
    }
}

INT_PTR CALLBACK MessageBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    UNREFERENCED_PARAMETER(lParam);
    Window* box = Lookup(hwnd);
    if (box == nullptr || message != WM_COMMAND) {
        return FALSE;
    }
    int id = LOWORD(wParam);
    for (Window* child : box->children) {
        if (child->kind == WindowKind::Button && child->id == id) {
            EndDialog(hwnd, id);
            return TRUE;
        }
    }
    // Escape or the close box on a box without Cancel: only a lone OK ends it.
    if (id == IDCANCEL && (box->boxType & MB_TYPEMASK) == MB_OK) {
        EndDialog(hwnd, IDOK);
    }
    return TRUE;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (char c : text) {
        if (c == '\n') {
            lines.emplace_back();
        } else if (c != '\r') {
            lines.back() += c;
        }
    }
    return lines;
}

std::string Escaped(const std::string& text) {
    std::string quoted = platform::trace::Quote(text);
    std::string out;
    for (char c : quoted) {
        if (c == '\n') {
            out += "\\n";
        } else if (c != '\r') {
            out += c;
        }
    }
    return out;
}

Window* BuildBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    constexpr int kMargin = 12;
    constexpr int kIcon = 32;
    constexpr int kButtonWidth = 75;
    constexpr int kButtonHeight = 23;
    constexpr int kGap = 6;
    constexpr int kLine = 13;

    std::vector<std::string> lines = Lines(text);
    int textWidth = 0;
    for (const std::string& line : lines) {
        textWidth = std::max(textWidth, TextWidth(line, kLine));
    }
    int textHeight = (int)lines.size() * kLine;
    LPCSTR icon = IconFor(type);
    int textLeft = icon != nullptr ? kMargin + kIcon + kMargin : kMargin;
    std::vector<ButtonSpec> buttons = ButtonsOf(type);
    int buttonsWidth = (int)buttons.size() * kButtonWidth + ((int)buttons.size() - 1) * kGap;
    int bodyHeight = std::max(textHeight, icon != nullptr ? kIcon : 0);
    int width = std::max({textLeft + textWidth + kMargin, buttonsWidth + 2 * kMargin, 120});
    int height = kMargin + bodyHeight + kMargin + kButtonHeight + kMargin;

    DWORD exStyle = (type & (MB_SYSTEMMODAL | MB_TOPMOST)) != 0 ? WS_EX_TOPMOST : 0;
    Window* box = CreateSystemDialog(Lookup(owner), caption, width, height, exStyle);
    box->dlgProc = MessageBoxProc;
    box->isMessageBox = true;
    box->boxType = type;

    if (icon != nullptr) {
        Window* picture = AddControl(box, WindowKind::Static, "Static", SS_ICON | WS_VISIBLE, 0, -1,
                                     "", RECT{kMargin, kMargin, kMargin + kIcon, kMargin + kIcon});
        picture->image = LoadIconA(nullptr, icon);
    }
    int textTop = kMargin + (bodyHeight - textHeight) / 2;
    AddControl(box, WindowKind::Static, "Static", SS_LEFT | SS_NOPREFIX | WS_VISIBLE, 0, 0xFFFF,
               text, RECT{textLeft, textTop, textLeft + textWidth, textTop + textHeight});

    int defaultIndex = std::min<int>((int)((type & MB_DEFMASK) >> 8), (int)buttons.size() - 1);
    int x = (width - buttonsWidth) / 2;
    int y = height - kMargin - kButtonHeight;
    for (size_t i = 0; i < buttons.size(); ++i) {
        DWORD style = WS_VISIBLE | WS_TABSTOP | (i == 0 ? WS_GROUP : 0) |
                      ((int)i == defaultIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        Window* button =
            AddControl(box, WindowKind::Button, "Button", style, 0, buttons[i].id, buttons[i].text,
                       RECT{x, y, x + kButtonWidth, y + kButtonHeight});
        if ((int)i == defaultIndex) {
            box->savedFocus = button->handle;
        }
        x += kButtonWidth + kGap;
    }
    return box;
}

void AnswerFromScript(Window* box) {
    Runtime::State& st = St();
    if (st.boxAnswers.empty()) {
        return;
    }
    int answer = st.boxAnswers.front();
    st.boxAnswers.pop_front();
    for (Window* child : box->children) {
        if (child->kind == WindowKind::Button && child->id == answer) {
            PostMessageA(child->handle, BM_CLICK, 0, 0);
            return;
        }
    }
    std::fprintf(stderr, "win32: the queued answer %s fits no button of the box \"%s\"\n",
                 AnswerName(answer), box->text.c_str());
}

} // namespace
} // namespace platform::win32::detail

using namespace platform::win32::detail;
using platform::win32::Runtime;

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    std::string text = lpText != nullptr ? lpText : "";
    std::string caption = lpCaption != nullptr ? lpCaption : "Error";
    if (hWnd != nullptr && Lookup(hWnd) == nullptr) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    Window* box = BuildBox(hWnd, text, caption, uType);
    AnswerFromScript(box);
    INT_PTR answer = RunModal(box, true);
    platform::trace::Emit(St().kernel.Now(), "msgbox caption=" + Escaped(caption) + " text=" +
                                                 Escaped(text) + " answer=" + AnswerName(answer));
    return answer > 0 ? (int)answer : 0;
}
