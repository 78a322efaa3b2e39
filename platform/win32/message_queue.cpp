// Messages: sending (same process: a direct call; another process: queued
// for its thread and answered when it next reads messages), posting, and
// retrieval in Windows' order: sent, posted, input, quit, paint, timer.
#include "platform/win32/runtime_state.h"
#include "platform/win32/win_base.h"
#include "platform/win32/window_manager.h"

#include <algorithm>

namespace platform::win32::detail {

void WaitForReply(const std::shared_ptr<SentMessage>& sent); // runtime.cpp

namespace {

bool Matches(const MSG& msg, HWND filter, UINT low, UINT high) {
    if (filter != nullptr) {
        Window* w = Lookup(msg.hwnd);
        Window* f = Lookup(filter);
        if (w == nullptr || f == nullptr || !IsDescendant(f, w)) {
            return false;
        }
    }
    if (low == 0 && high == 0) {
        return true;
    }
    return msg.message >= low && msg.message <= high;
}

bool TakeFrom(std::deque<MSG>& queue, MSG* out, HWND filter, UINT low, UINT high, bool remove) {
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (Matches(*it, filter, low, high)) {
            *out = *it;
            if (remove) {
                queue.erase(it);
            }
            return true;
        }
    }
    return false;
}

MSG Make(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG msg{hwnd, message, wParam, lParam, TickMilliseconds(), St().pointer};
    return msg;
}

Window* WindowNeedingPaint(Process* p, HWND filter) {
    for (auto& window : p->windows) {
        Window* w = window.get();
        if (w->alive && w->invalid && IsShownOnScreen(w)) {
            MSG probe{w->handle, WM_PAINT, 0, 0, 0, {0, 0}};
            if (Matches(probe, filter, 0, 0)) {
                return w;
            }
        }
    }
    return nullptr;
}

Timer* DueTimer(Process* p, HWND filter) {
    for (auto& timer : p->timers) {
        if (timer->due) {
            MSG probe{timer->hwnd, WM_TIMER, 0, 0, 0, {0, 0}};
            if (timer->hwnd == nullptr || Matches(probe, filter, 0, 0)) {
                return timer.get();
            }
        }
    }
    return nullptr;
}

void ScheduleTimer(Timer* timer) {
    Runtime::State& st = St();
    timer->event = st.kernel.Schedule(
        timer->nextDue,
        [timer] {
            timer->event = 0;
            timer->due = true;
        },
        PASSIVE_LEVEL);
}

// The timer's next expiry on its period grid after now.
void Rearm(Timer* timer) {
    uint64_t now = St().kernel.Now();
    while (timer->nextDue <= now) {
        timer->nextDue += timer->period;
    }
    ScheduleTimer(timer);
}

bool InRange(UINT message, UINT low, UINT high) {
    return (low == 0 && high == 0) || (message >= low && message <= high);
}

bool Retrieve(Process* p, MSG* msg, HWND filter, UINT low, UINT high, bool remove) {
    HandleIncomingSends(p);
    RouteRawInput();
    if (TakeFrom(p->posted, msg, filter, low, high, remove) ||
        TakeFrom(p->input, msg, filter, low, high, remove)) {
        return true;
    }
    if (p->quitPosted && filter == nullptr) {
        *msg = Make(nullptr, WM_QUIT, (WPARAM)p->quitCode, 0);
        if (remove) {
            p->quitPosted = false;
        }
        return true;
    }
    if (InRange(WM_PAINT, low, high)) {
        if (Window* w = WindowNeedingPaint(p, filter)) {
            *msg = Make(w->handle, WM_PAINT, 0, 0);
            return true;
        }
    }
    if (InRange(WM_TIMER, low, high)) {
        if (Timer* timer = DueTimer(p, filter)) {
            *msg = Make(timer->hwnd, WM_TIMER, timer->id, reinterpret_cast<LPARAM>(timer->proc));
            if (remove) {
                timer->due = false;
                Rearm(timer);
            }
            return true;
        }
    }
    return false;
}

} // namespace

LRESULT CallProc(Window* w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (w == nullptr || !w->alive || w->proc == nullptr) {
        return 0;
    }
    return w->proc(w->handle, message, wParam, lParam);
}

void HandleIncomingSends(Process* p) {
    while (!p->incoming.empty()) {
        std::shared_ptr<SentMessage> sent = p->incoming.front();
        p->incoming.pop_front();
        // The sender is released even when the handler ends the process.
        struct Release {
            SentMessage* sent;
            ~Release() { sent->done = true; }
        } release{sent.get()};
        sent->result = CallProc(Lookup(sent->hwnd), sent->message, sent->wParam, sent->lParam);
    }
}

bool HasMessageWork(Process* p) {
    if (!p->incoming.empty() || !p->posted.empty() || !p->input.empty() || p->quitPosted) {
        return true;
    }
    return WindowNeedingPaint(p, nullptr) != nullptr || DueTimer(p, nullptr) != nullptr;
}

// As GetTickCount reports it, so MSG.time and the timer procedure's time
// agree with what the program reads.
DWORD TickMilliseconds() {
    return ::GetTickCount();
}

// Posts into the queue of the window's process (or the caller's for NULL).
bool PostTo(Process* p, const MSG& msg) {
    if (p->phase == Process::Phase::Exited) {
        return false;
    }
    p->posted.push_back(msg);
    return true;
}

} // namespace platform::win32::detail

using namespace platform::win32::detail;
using platform::win32::Runtime;

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return 0;
    }
    Process* caller = Caller();
    if (w->process == caller) {
        return CallProc(w, Msg, wParam, lParam);
    }
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = hWnd;
    sent->message = Msg;
    sent->wParam = wParam;
    sent->lParam = lParam;
    w->process->incoming.push_back(sent);
    WaitForReply(sent);
    return sent->result;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd == nullptr) {
        return PostTo(Caller(),
                      MSG{nullptr, Msg, wParam, lParam, TickMilliseconds(), St().pointer});
    }
    Window* w = FromHandle(hWnd);
    if (w == nullptr) {
        return FALSE;
    }
    return PostTo(w->process, MSG{hWnd, Msg, wParam, lParam, TickMilliseconds(), St().pointer});
}

VOID WINAPI PostQuitMessage(int nExitCode) {
    Process* p = Caller();
    p->quitPosted = true;
    p->quitCode = nExitCode;
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
    return Retrieve(Caller(), lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax,
                    (wRemoveMsg & PM_REMOVE) != 0)
               ? TRUE
               : FALSE;
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (hWnd != nullptr && Lookup(hWnd) == nullptr) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    Process* p = Caller();
    while (!Retrieve(p, lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true)) {
        if (!WaitForMessageWork()) {
            return -1;
        }
    }
    return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI WaitMessage(void) {
    return WaitForMessageWork() ? TRUE : FALSE;
}

// The character of a key as the US layout gives it, Shift honoured; posted
// to the window's queue as TranslateMessage does.
BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    if (lpMsg->message != WM_KEYDOWN) {
        return FALSE;
    }
    static const char kShiftedDigits[] = ")!@#$%^&*(";
    bool shift = St().shiftDown;
    WPARAM key = lpMsg->wParam;
    WPARAM ch = 0;
    switch (key) {
    case VK_BACK:
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_SPACE:
        ch = key;
        break;
    default:
        if (key >= '0' && key <= '9') {
            ch = shift ? (WPARAM)(unsigned char)kShiftedDigits[key - '0'] : key;
        } else if (key >= 'A' && key <= 'Z') {
            ch = shift ? key : key - 'A' + 'a';
        }
        break;
    }
    if (ch == 0) {
        return FALSE;
    }
    return PostMessageA(lpMsg->hwnd, WM_CHAR, ch, lpMsg->lParam);
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0) {
        auto proc = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
        proc(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, TickMilliseconds());
        return 0;
    }
    Window* w = Lookup(lpMsg->hwnd);
    if (w == nullptr) {
        return 0;
    }
    if (lpMsg->message == WM_PAINT) {
        LRESULT result = CallProc(w, WM_PAINT, 0, 0);
        if (w->alive && w->invalid) {
            // A paint handler that did not validate: Windows would keep
            // sending WM_PAINT; the stand-in validates so loops end.
            w->invalid = false;
            w->eraseNeeded = false;
        }
        return result;
    }
    return CallProc(w, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

// Intervals below USER_TIMER_MINIMUM are raised to it; an identifier in use
// on the window replaces that timer.
UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    uElapse = std::max<UINT>(uElapse, USER_TIMER_MINIMUM);
    Process* p = Caller();
    if (hWnd != nullptr) {
        Window* w = FromHandle(hWnd);
        if (w == nullptr) {
            return 0;
        }
        p = w->process;
    }
    Runtime::State& st = St();
    if (hWnd == nullptr) {
        nIDEvent = p->nextTimerId++;
    }
    for (auto& timer : p->timers) {
        if (timer->hwnd == hWnd && timer->id == nIDEvent) {
            if (timer->event != 0) {
                st.kernel.Cancel(timer->event);
            }
            timer->period = uint64_t(uElapse) * 10000;
            timer->proc = lpTimerFunc;
            timer->nextDue = st.kernel.Now() + timer->period;
            timer->due = false;
            ScheduleTimer(timer.get());
            return hWnd != nullptr ? 1 : nIDEvent;
        }
    }
    auto timer = std::make_unique<Timer>();
    timer->hwnd = hWnd;
    timer->id = nIDEvent;
    timer->period = uint64_t(uElapse) * 10000;
    timer->proc = lpTimerFunc;
    timer->nextDue = st.kernel.Now() + timer->period;
    ScheduleTimer(timer.get());
    p->timers.push_back(std::move(timer));
    return hWnd != nullptr ? 1 : nIDEvent;
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    Process* p = Caller();
    if (hWnd != nullptr) {
        Window* w = FromHandle(hWnd);
        if (w == nullptr) {
            return FALSE;
        }
        p = w->process;
    }
    auto& timers = p->timers;
    for (auto it = timers.begin(); it != timers.end(); ++it) {
        if ((*it)->hwnd == hWnd && (*it)->id == uIDEvent) {
            if ((*it)->event != 0) {
                St().kernel.Cancel((*it)->event);
            }
            timers.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}
