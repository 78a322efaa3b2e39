// The Runtime's private state and the helpers every windowing file shares.
#pragma once

#include "platform/win32/gdi_state.h"
#include "platform/win32/runtime.h"
#include "platform/win32/user_state.h"

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace platform::win32 {

namespace detail {

struct MenuItem {
    UINT flags = 0;
    UINT_PTR id = 0;
    std::string text;
    HMENU popup = nullptr;
};

struct Menu {
    std::vector<MenuItem> items;
};

// An open popup menu (TrackPopupMenu): its window and the chosen command.
struct MenuTracking {
    HMENU menu = nullptr;
    HWND window = nullptr;
    bool done = false;
    UINT_PTR chosen = 0;
};

} // namespace detail

struct Runtime::State {
    kernel::Kernel& kernel;

    // Baton: nullptr while the host holds it.
    std::mutex batonMutex;
    std::condition_variable batonChanged;
    detail::Process* holder = nullptr;

    std::vector<std::unique_ptr<detail::Process>> processes; // in start order
    detail::Process host;
    ProcessId nextProcessId = 4;
    size_t nextToRun = 0; // round-robin cursor into processes
    ExitObserver exitObserver;
    ProgramLookup programLookup;

    // Desktop
    int screenWidth = 1024;
    int screenHeight = 768;
    std::map<HWND, detail::Window*> windows; // live windows
    UINT_PTR nextHandle = 0x10010;
    std::vector<detail::Window*> topLevel; // z-order, front first
    HWND foreground = nullptr;
    HWND focus = nullptr;
    HWND capture = nullptr;
    POINT pointer{0, 0};
    DWORD buttons = 0;           // MK_LBUTTON | MK_RBUTTON, after the swap
    DWORD physicalButtons = 0;   // MK_LBUTTON | MK_RBUTTON as pressed
    DWORD pressedSinceAsked = 0; // GetAsyncKeyState's low bit
    bool shiftDown = false;      // for TranslateMessage
    bool buttonsSwapped = false; // SwapMouseButton
    int cursorCount = 0;         // ShowCursor display count; drawn while >= 0
    HCURSOR cursor = nullptr;

    std::mutex rawMutex; // the one queue filled from any thread
    std::deque<detail::RawInput> raw;

    std::deque<int> boxAnswers;
    // The folder browser's answers: a path, or nothing for Cancel.
    std::deque<std::optional<std::string>> browseAnswers;

    // GDI
    std::map<HGDIOBJ, std::unique_ptr<detail::GdiObject>> gdiObjects;
    std::map<HDC, std::unique_ptr<detail::DeviceContext>> deviceContexts;
    std::map<int, HGDIOBJ> stockObjects;
    UINT_PTR nextGdiHandle = 0x20010;

    // Menus
    std::map<HMENU, std::unique_ptr<detail::Menu>> menus;
    UINT_PTR nextMenuHandle = 0x30010;
    std::vector<detail::MenuTracking*> openMenus;

    // Shell
    std::vector<std::pair<HWND, UINT>> notifyIcons;

    explicit State(kernel::Kernel& k) : kernel(k) {}
};

namespace detail {

// The current Runtime's state; aborts with a message when there is none.
Runtime::State& St();

// The calling thread's process: a program, or the host's pseudo process.
Process* Caller();

// Live window of a handle, or nullptr (ERROR_INVALID_WINDOW_HANDLE is set).
Window* FromHandle(HWND hwnd);
// Live window without touching the last error.
Window* Lookup(HWND hwnd);

// Host-side last error seam: the base side owns GetLastError.
void SetError(DWORD error);

// Milliseconds since boot for MSG.time and TIMERPROC.
DWORD TickMilliseconds();

// Raw input injected from anywhere is moved into the process queues.
void RouteRawInput();

// Whether a process has something its message wait should wake for.
bool HasMessageWork(Process* process);

// Blocks the calling thread's message loop until its queues have something
// (WaitMessage semantics; incoming sends are handled meanwhile). False only
// on the host thread when nothing could ever arrive (a reported deadlock).
bool WaitForMessageWork();

// Handles every message sent to this process by other processes.
void HandleIncomingSends(Process* process);

// Calls a window's procedure on the calling thread.
LRESULT CallProc(Window* window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace detail
} // namespace platform::win32
