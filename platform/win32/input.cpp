// The system input queue: raw mouse and keyboard events, routed to the
// window under the pointer (or holding the capture) and to the focus, as
// the raw input thread of Windows does. A click on an inactive top-level
// window activates it; clicks on a disabled window are dropped; a click on
// the close box of a caption sends SC_CLOSE.
#include "platform/win32/input.h"

#include "platform/win32/runtime_state.h"
#include "platform/win32/window_manager.h"

#include "platform/trace/trace.h"
#include "platform/win32/win_shell.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace platform::win32 {
namespace {

using detail::Process;
using detail::RawInput;
using detail::Window;

void Queue(RawInput input) {
    Runtime::State& st = detail::St();
    std::lock_guard<std::mutex> lock(st.rawMutex);
    st.raw.push_back(input);
}

void PostInput(Window* target, UINT message, WPARAM wParam, LPARAM lParam) {
    Runtime::State& st = detail::St();
    MSG msg{target->handle, message, wParam, lParam, detail::TickMilliseconds(), st.pointer};
    auto& queue = target->process->input;
    if (message == WM_MOUSEMOVE && !queue.empty() && queue.back().message == WM_MOUSEMOVE &&
        queue.back().hwnd == target->handle) {
        queue.back() = msg; // moves are coalesced, as Windows does
        return;
    }
    queue.push_back(msg);
}

LPARAM ClientPoint(const Window* w, POINT screen) {
    POINT origin = detail::ClientOriginOnScreen(w);
    return MAKELPARAM(screen.x - origin.x, screen.y - origin.y);
}

bool InClient(const Window* w, POINT pt) {
    POINT origin = detail::ClientOriginOnScreen(w);
    RECT client = detail::ClientRectInWindow(w);
    return pt.x >= origin.x && pt.y >= origin.y && pt.x < origin.x + client.right - client.left &&
           pt.y < origin.y + client.bottom - client.top;
}

void DeliverMouse(UINT message, POINT pt) {
    Runtime::State& st = detail::St();
    WPARAM keys = st.buttons;
    if (Window* capture = detail::Lookup(st.capture)) {
        PostInput(capture, message, keys, ClientPoint(capture, pt));
        return;
    }
    Window* target = detail::WindowForPoint(pt);
    if (target == nullptr) {
        return;
    }
    Window* top = detail::TopLevelOf(target);
    if (!top->Enabled()) {
        return;
    }
    bool press = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN;
    if (press && st.foreground != top->handle && top->kind != detail::WindowKind::DropList &&
        top->kind != detail::WindowKind::MenuPopup) {
        detail::Activate(top);
    }
    if (target == top && !InClient(top, pt)) {
        RECT box;
        if (message == WM_LBUTTONUP && detail::CloseBoxRect(top, &box) && pt.x >= box.left &&
            pt.x < box.right && pt.y >= box.top && pt.y < box.bottom) {
            top->process->posted.push_back(MSG{top->handle, WM_SYSCOMMAND, SC_CLOSE,
                                               MAKELPARAM(pt.x, pt.y), detail::TickMilliseconds(),
                                               pt});
        }
        return;
    }
    PostInput(target, message, keys, ClientPoint(target, pt));
}

void RouteMouse(const RawInput& input) {
    Runtime::State& st = detail::St();
    POINT old = st.pointer;
    if (input.pixels) {
        st.pointer.x = std::clamp<LONG>(input.dx, 0, st.screenWidth - 1);
        st.pointer.y = std::clamp<LONG>(input.dy, 0, st.screenHeight - 1);
    } else if ((input.flags & MOUSEEVENTF_ABSOLUTE) != 0) {
        st.pointer = AbsoluteToScreen(input.dx, input.dy, st.screenWidth, st.screenHeight);
    } else {
        st.pointer.x = std::clamp<LONG>(st.pointer.x + input.dx, 0, st.screenWidth - 1);
        st.pointer.y = std::clamp<LONG>(st.pointer.y + input.dy, 0, st.screenHeight - 1);
    }
    if (st.pointer.x != old.x || st.pointer.y != old.y) {
        DeliverMouse(WM_MOUSEMOVE, st.pointer);
    }
    struct ButtonEvent {
        DWORD flag;
        UINT message;
        DWORD mask;
        bool down;
    };
    static const ButtonEvent kButtons[] = {
        {MOUSEEVENTF_LEFTDOWN, WM_LBUTTONDOWN, MK_LBUTTON, true},
        {MOUSEEVENTF_LEFTUP, WM_LBUTTONUP, MK_LBUTTON, false},
        {MOUSEEVENTF_RIGHTDOWN, WM_RBUTTONDOWN, MK_RBUTTON, true},
        {MOUSEEVENTF_RIGHTUP, WM_RBUTTONUP, MK_RBUTTON, false},
    };
    for (const ButtonEvent& button : kButtons) {
        if ((input.flags & button.flag) != 0) {
            // The swap applies to every button event, injected ones too;
            // GetAsyncKeyState still sees the physical button.
            const ButtonEvent& logical =
                st.buttonsSwapped ? kButtons[(&button - kButtons) ^ 2] : button;
            if (button.down) {
                st.physicalButtons |= button.mask;
                st.pressedSinceAsked |= button.mask;
                st.buttons |= logical.mask;
            } else {
                st.physicalButtons &= ~button.mask;
                st.buttons &= ~logical.mask;
            }
            DeliverMouse(logical.message, st.pointer);
        }
    }
}

void RouteKeyboard(const RawInput& input) {
    Runtime::State& st = detail::St();
    Window* target = detail::Lookup(st.focus);
    Window* foreground = detail::Lookup(st.foreground);
    if (target == nullptr || foreground == nullptr || !detail::IsDescendant(foreground, target)) {
        target = foreground;
    }
    if (target == nullptr) {
        return;
    }
    if (input.kind == RawInput::Kind::Char) {
        PostInput(target, WM_CHAR, input.vk, 1);
        return;
    }
    if (input.vk == VK_SHIFT) {
        st.shiftDown = !input.keyUp;
    }
    LPARAM flags = input.keyUp ? (LPARAM)0xC0000001u : 1;
    PostInput(target, input.keyUp ? WM_KEYUP : WM_KEYDOWN, input.vk, flags);
}

} // namespace

namespace detail {

void RouteRawInput() {
    Runtime::State& st = St();
    std::deque<RawInput> events;
    {
        std::lock_guard<std::mutex> lock(st.rawMutex);
        events.swap(st.raw);
    }
    for (const RawInput& input : events) {
        if (input.kind == RawInput::Kind::Mouse) {
            RouteMouse(input);
        } else {
            RouteKeyboard(input);
        }
    }
}

} // namespace detail

POINT AbsoluteToScreen(LONG dx, LONG dy, int screenWidth, int screenHeight) {
    auto map = [](LONG value, int extent) {
        LONG clamped = std::clamp<LONG>(value, 0, 65535);
        return (LONG)(((long long)clamped * extent) >> 16);
    };
    return POINT{map(dx, screenWidth), map(dy, screenHeight)};
}

void InjectMouse(DWORD flags, LONG dx, LONG dy) {
    RawInput input{RawInput::Kind::Mouse};
    input.flags = flags;
    input.dx = dx;
    input.dy = dy;
    Queue(input);
}

void InjectPointerAt(int x, int y, DWORD buttonFlags) {
    RawInput input{RawInput::Kind::Mouse};
    input.flags = buttonFlags;
    input.pixels = true;
    input.dx = x;
    input.dy = y;
    Queue(input);
}

void InjectKey(UINT virtualKey, bool up) {
    RawInput input{RawInput::Kind::Key};
    input.vk = virtualKey;
    input.keyUp = up;
    Queue(input);
}

void InjectChar(char character) {
    RawInput input{RawInput::Kind::Char};
    input.vk = (unsigned char)character;
    Queue(input);
}

POINT PointerPosition() {
    detail::RouteRawInput();
    return detail::St().pointer;
}

} // namespace platform::win32

VOID WINAPI mouse_event(DWORD dwFlags, DWORD dx, DWORD dy, DWORD dwData, ULONG_PTR dwExtraInfo) {
    UNREFERENCED_PARAMETER(dwData);
    UNREFERENCED_PARAMETER(dwExtraInfo);
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%04X", (unsigned)dwFlags);
    platform::trace::Emit(platform::win32::detail::St().kernel.Now(),
                          std::string("input mouse_event flags=") + flags + " dx=" +
                              std::to_string((LONG)dx) + " dy=" + std::to_string((LONG)dy));
    platform::win32::InjectMouse(dwFlags, (LONG)dx, (LONG)dy);
}

// The physical button: the top bit while it is down, the low bit when it was
// pressed since the last call (Microsoft's page of GetAsyncKeyState).
SHORT WINAPI GetAsyncKeyState(int vKey) {
    platform::win32::detail::RouteRawInput();
    auto& st = platform::win32::detail::St();
    DWORD mask = vKey == VK_LBUTTON ? MK_LBUTTON : vKey == VK_RBUTTON ? MK_RBUTTON : 0;
    unsigned state = (st.physicalButtons & mask) != 0 ? 0x8000 : 0;
    if ((st.pressedSinceAsked & mask) != 0)
        state |= 1;
    st.pressedSinceAsked &= ~mask;
    return (SHORT)state;
}

BOOL WINAPI SwapMouseButton(BOOL fSwap) {
    auto& st = platform::win32::detail::St();
    BOOL previous = st.buttonsSwapped ? TRUE : FALSE;
    st.buttonsSwapped = fSwap != FALSE;
    return previous;
}

BOOL WINAPI GetCursorPos(LPPOINT lpPoint) {
    if (lpPoint == nullptr) {
        return FALSE;
    }
    platform::win32::detail::RouteRawInput();
    *lpPoint = platform::win32::detail::St().pointer;
    return TRUE;
}

BOOL WINAPI SetCursorPos(int X, int Y) {
    platform::win32::Runtime& runtime = platform::win32::Runtime::Current();
    platform::win32::detail::RouteRawInput();
    auto& st = runtime.Internal();
    st.pointer.x = std::clamp(X, 0, st.screenWidth - 1);
    st.pointer.y = std::clamp(Y, 0, st.screenHeight - 1);
    return TRUE;
}
