// Private state of the windowing side of the Win32 stand-in: processes and
// their queues, windows, GDI objects, menus and the desktop. Touched only by
// the baton holder (see runtime.h), so nothing here is locked except the raw
// input queue, which the kernel's input drivers may fill from anywhere.
#pragma once

#include "platform/kernel/kernel.h"
#include "platform/win32/runtime.h"
#include "platform/win32/win_user.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform::win32::detail {

struct Process;
struct Window;

// A message sent to a window of another process, waiting for its reply.
struct SentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    uint64_t period; // 100-ns units
    TIMERPROC proc;
    uint64_t nextDue; // absolute time of the next expiry
    bool due = false; // expired and not yet retrieved as WM_TIMER
    kernel::Kernel::EventId event = 0;
};

struct Process {
    ProcessInfo info;
    ProgramSpec spec;
    std::thread thread;
    enum class Phase { NotStarted, Running, Waiting, Exited } phase = Phase::NotStarted;
    bool isHost = false;

    // The current wait (Phase::Waiting).
    std::function<bool()> ready;
    bool readyResult = false;
    bool wakeForSent = false; // a message wait: incoming sends also wake it
    bool timedOut = false;
    kernel::Kernel::EventId timeoutEvent = 0;

    bool terminate = false;
    DWORD exitCode = 259; // STILL_ACTIVE

    std::deque<MSG> posted;
    std::deque<MSG> input;
    std::deque<std::shared_ptr<SentMessage>> incoming;
    std::vector<std::unique_ptr<Timer>> timers;
    bool quitPosted = false;
    int quitCode = 0;
    UINT_PTR nextTimerId = 1;

    std::vector<std::unique_ptr<Window>> windows; // every window it created, live or not
};

// Which built-in window procedure and state a window has.
enum class WindowKind {
    Dialog,
    Button,
    Static,
    Edit,
    ComboBox,
    Trackbar,
    Progress,
    DropList,  // the open list of a combo box (a top-level popup)
    MenuPopup, // an open popup menu
};

struct ComboItem {
    std::string text;
    LPARAM data = 0;
};

struct DrawOp; // gdi_state.h

struct Window {
    HWND handle = nullptr;
    Process* process = nullptr;
    WindowKind kind = WindowKind::Dialog;
    std::string className;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    Window* parent = nullptr;      // child windows
    Window* owner = nullptr;       // top-level windows
    std::vector<Window*> children; // z-order, topmost first (= creation order)
    std::string text;
    RECT rect{};    // window rectangle: screen for top-level, parent client for children
    RECT restore{}; // before maximise/minimise
    bool alive = true;
    bool destroying = false;

    LONG_PTR userData = 0;
    LONG_PTR dlgResultValue = 0; // DWLP_MSGRESULT
    DLGPROC dlgProc = nullptr;
    LONG_PTR dlgUser = 0;
    HFONT font = nullptr;
    HICON iconBig = nullptr;
    HICON iconSmall = nullptr;
    HMENU systemMenu = nullptr;

    bool invalid = false;
    bool eraseNeeded = false;
    std::vector<RECT> update; // invalid parts, client coordinates (empty: none)

    // Dialogs
    bool modalEnded = false;
    INT_PTR modalResult = 0;
    int defaultId = 0;            // DM_SETDEFID; 0 = look for BS_DEFPUSHBUTTON
    HWND focusedButton = nullptr; // a push button that took the focus since
    HWND savedFocus = nullptr;
    bool isMessageBox = false;
    Window* modalOwner = nullptr; // owner disabled by the modal loop
    UINT boxType = 0;             // message boxes: MB_* flags

    // Controls
    UINT check = BST_UNCHECKED;
    bool pushed = false;
    bool tracking = false; // mouse captured by a button or trackbar
    HANDLE image = nullptr;
    std::vector<ComboItem> items;
    int curSel = -1;
    bool dropped = false;
    int rangeMin = 0;
    int rangeMax = 100;
    int pos = 0;
    int step = 10;
    int lineSize = 1;
    int pageSize = 20;
    int ticFreq = 1;
    std::vector<int> tics;
    UINT textLimit = 30000;
    int selStart = 0; // edit selection, end-exclusive
    int selEnd = 0;
    int droppedHeight = 0;   // combo box: template height, list included
    Window* buddy = nullptr; // drop list <-> combo box
    bool thumbTracking = false;
    HMENU menu = nullptr; // menu popups
    int hotItem = -1;

    std::vector<std::shared_ptr<DrawOp>> drawing; // recorded GDI drawing

    bool Visible() const { return (style & WS_VISIBLE) != 0; }
    bool Enabled() const { return (style & WS_DISABLED) == 0; }
    bool IsChild() const { return (style & WS_CHILD) != 0 && parent != nullptr; }
};

struct RawInput {
    enum class Kind { Mouse, Key, Char } kind;
    DWORD flags = 0;     // MOUSEEVENTF_*
    bool pixels = false; // dx, dy are a screen position
    LONG dx = 0;
    LONG dy = 0;
    UINT vk = 0;
    bool keyUp = false;
};

// One script verb's answer for the next message box.
struct BoxAnswer {
    int button;
};

} // namespace platform::win32::detail
