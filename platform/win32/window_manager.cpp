#include "platform/win32/window_manager.h"

#include "platform/win32/controls.h"
#include "platform/win32/gdi_state.h"

#include <algorithm>
#include <cstring>

namespace platform::win32::detail {
namespace {

bool HasDialogFrame(const Window* w) {
    return (w->style & WS_DLGFRAME) != 0 || (w->exStyle & WS_EX_DLGMODALFRAME) != 0;
}

void Unlink(Window* w) {
    Runtime::State& st = St();
    if (w->parent != nullptr) {
        auto& siblings = w->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), w), siblings.end());
    } else {
        st.topLevel.erase(std::remove(st.topLevel.begin(), st.topLevel.end(), w),
                          st.topLevel.end());
    }
    st.windows.erase(w->handle);
    if (st.focus == w->handle) {
        st.focus = nullptr;
    }
    if (st.capture == w->handle) {
        st.capture = nullptr;
    }
    for (auto& [handle, dc] : st.deviceContexts) {
        if (dc->window == w) {
            dc->window = nullptr;
        }
    }
    for (auto& timer : w->process->timers) {
        if (timer->hwnd == w->handle && timer->event != 0) {
            st.kernel.Cancel(timer->event);
            timer->event = 0;
        }
    }
    auto& timers = w->process->timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [w](const auto& t) { return t->hwnd == w->handle; }),
                 timers.end());
    w->alive = false;
}

void UnlinkTree(Window* w) {
    std::vector<Window*> children = w->children;
    for (Window* child : children) {
        UnlinkTree(child);
    }
    Unlink(w);
}

void SendDestroy(Window* w) {
    CallProc(w, WM_DESTROY, 0, 0);
    std::vector<Window*> children = w->children;
    for (Window* child : children) {
        if (child->alive) {
            SendDestroy(child);
        }
    }
}

void SendNcDestroy(Window* w) {
    std::vector<Window*> children = w->children;
    for (Window* child : children) {
        if (child->alive) {
            SendNcDestroy(child);
        }
    }
    CallProc(w, WM_NCDESTROY, 0, 0);
}

bool TransparentToMouse(const Window* w) {
    if (w->kind == WindowKind::Static) {
        return (w->style & SS_NOTIFY) == 0;
    }
    return w->kind == WindowKind::Button && (w->style & BS_TYPEMASK) == BS_GROUPBOX;
}

Window* DeepestAt(Window* w, POINT pt) {
    for (Window* child : w->children) {
        if (!child->Visible() || TransparentToMouse(child)) {
            continue;
        }
        RECT r = ScreenRect(child);
        if (pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom) {
            return child->Enabled() ? DeepestAt(child, pt) : w;
        }
    }
    return w;
}

} // namespace

void CreateDesktop() {}

void ScreenSizeChanged() {
    Runtime::State& st = St();
    st.pointer.x = std::min<LONG>(st.pointer.x, st.screenWidth - 1);
    st.pointer.y = std::min<LONG>(st.pointer.y, st.screenHeight - 1);
    for (Window* w : st.topLevel) {
        if ((w->style & WS_MAXIMIZE) != 0) {
            SetWindowRect(w, RECT{0, 0, st.screenWidth, st.screenHeight}, false);
        }
    }
}

Window* CreateWindowObject(const CreateParams& params) {
    Runtime::State& st = St();
    Process* process = Caller();
    auto window = std::make_unique<Window>();
    Window* w = window.get();
    w->handle = reinterpret_cast<HWND>(st.nextHandle);
    st.nextHandle += 4;
    w->process = process;
    w->kind = params.kind;
    w->className = params.className;
    w->proc = params.proc;
    w->instance = params.instance;
    w->style = params.style;
    w->exStyle = params.exStyle;
    w->id = params.id;
    w->text = params.text;
    w->rect = params.rect;
    w->parent = (params.style & WS_CHILD) != 0 ? params.parent : nullptr;
    w->owner = w->parent == nullptr && params.owner != nullptr ? TopLevelOf(params.owner) : nullptr;
    if (w->parent != nullptr) {
        w->parent->children.push_back(w);
    } else {
        w->style &= ~WS_VISIBLE; // shown by the creator
        auto front = std::find_if(st.topLevel.begin(), st.topLevel.end(), [&](Window* other) {
            return (other->exStyle & WS_EX_TOPMOST) == 0 || (w->exStyle & WS_EX_TOPMOST) != 0;
        });
        st.topLevel.insert(front, w);
    }
    st.windows[w->handle] = w;
    InitControlState(w);
    process->windows.push_back(std::move(window));
    return w;
}

void DestroyWindowTree(Window* w) {
    if (!w->alive || w->destroying) {
        return;
    }
    Runtime::State& st = St();
    w->destroying = true;
    bool wasForeground = st.foreground == w->handle;
    if (w->parent == nullptr && w->Visible()) {
        w->style &= ~WS_VISIBLE;
    }
    // Owned windows go first, as in Windows.
    std::vector<Window*> owned;
    for (Window* other : st.topLevel) {
        if (other->owner == w) {
            owned.push_back(other);
        }
    }
    for (Window* o : owned) {
        DestroyWindowTree(o);
    }
    SendDestroy(w);
    SendNcDestroy(w);
    UnlinkTree(w);
    if (wasForeground) {
        st.foreground = nullptr;
        ActivateNextAfter(w);
    }
}

void DestroyProcessWindows(Process* process) {
    Runtime::State& st = St();
    bool lostForeground = false;
    for (auto& window : process->windows) {
        if (window->alive) {
            if (st.foreground == window->handle) {
                lostForeground = true;
                st.foreground = nullptr;
            }
            Unlink(window.get());
        }
    }
    if (lostForeground) {
        ActivateNextAfter(nullptr);
    }
}

int FrameWidth(const Window* w) {
    int width = 0;
    if ((w->style & WS_THICKFRAME) != 0) {
        width = 4;
    } else if (HasDialogFrame(w)) {
        width = 3;
    } else if ((w->style & WS_BORDER) != 0) {
        width = 1;
    }
    if ((w->exStyle & WS_EX_CLIENTEDGE) != 0) {
        width += 2;
    } else if ((w->exStyle & WS_EX_STATICEDGE) != 0) {
        width += 1;
    }
    return width;
}

int CaptionHeight(const Window* w) {
    return (w->style & WS_CAPTION) == WS_CAPTION ? kCaptionHeight : 0;
}

RECT ClientRectInWindow(const Window* w) {
    int frame = FrameWidth(w);
    int width = w->rect.right - w->rect.left;
    int height = w->rect.bottom - w->rect.top;
    RECT r{frame, frame + CaptionHeight(w), width - frame, height - frame};
    if (r.right < r.left) {
        r.right = r.left;
    }
    if (r.bottom < r.top) {
        r.bottom = r.top;
    }
    return r;
}

POINT ClientOriginOnScreen(const Window* w) {
    RECT screen = ScreenRect(w);
    RECT client = ClientRectInWindow(w);
    return POINT{screen.left + client.left, screen.top + client.top};
}

RECT ScreenRect(const Window* w) {
    RECT r = w->rect;
    if (w->parent != nullptr) {
        POINT origin = ClientOriginOnScreen(w->parent);
        r.left += origin.x;
        r.right += origin.x;
        r.top += origin.y;
        r.bottom += origin.y;
    }
    return r;
}

bool IsShownOnScreen(const Window* w) {
    for (; w != nullptr; w = w->parent) {
        if (!w->Visible() || !w->alive) {
            return false;
        }
    }
    return true;
}

bool CloseBoxRect(const Window* w, RECT* screen) {
    if (CaptionHeight(w) == 0 || (w->style & WS_SYSMENU) == 0) {
        return false;
    }
    RECT r = ScreenRect(w);
    int frame = FrameWidth(w);
    *screen =
        RECT{r.right - frame - 18, r.top + frame + 2, r.right - frame - 2, r.top + frame + 16};
    return true;
}

Window* TopLevelOf(Window* w) {
    while (w != nullptr && w->parent != nullptr) {
        w = w->parent;
    }
    return w;
}

bool IsDescendant(const Window* ancestor, const Window* w) {
    for (; w != nullptr; w = w->parent) {
        if (w == ancestor) {
            return true;
        }
    }
    return false;
}

void SetWindowRect(Window* w, const RECT& rect, bool notify) {
    bool moved = rect.left != w->rect.left || rect.top != w->rect.top;
    bool sized = rect.right - rect.left != w->rect.right - w->rect.left ||
                 rect.bottom - rect.top != w->rect.bottom - w->rect.top;
    w->rect = rect;
    if (!notify || !w->alive || w->process != Caller()) {
        return;
    }
    WINDOWPOS pos{w->handle,
                  nullptr,
                  (int)rect.left,
                  (int)rect.top,
                  (int)(rect.right - rect.left),
                  (int)(rect.bottom - rect.top),
                  0};
    CallProc(w, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    if (moved && w->alive) {
        POINT origin = w->parent != nullptr ? POINT{rect.left, rect.top} : ClientOriginOnScreen(w);
        CallProc(w, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    }
    if (sized && w->alive) {
        RECT client = ClientRectInWindow(w);
        WPARAM kind = (w->style & WS_MAXIMIZE) != 0   ? SIZE_MAXIMIZED
                      : (w->style & WS_MINIMIZE) != 0 ? SIZE_MINIMIZED
                                                      : SIZE_RESTORED;
        CallProc(w, WM_SIZE, kind,
                 MAKELPARAM(client.right - client.left, client.bottom - client.top));
    }
}

void InvalidatePart(Window* w, const RECT& part, bool erase) {
    constexpr size_t kMaxParts = 16;
    if (w->update.size() >= kMaxParts) {
        RECT all = w->update.front();
        for (const RECT& r : w->update) {
            all = RECT{std::min(all.left, r.left), std::min(all.top, r.top),
                       std::max(all.right, r.right), std::max(all.bottom, r.bottom)};
        }
        w->update.assign(1, all);
    }
    w->update.push_back(part);
    w->invalid = true;
    w->eraseNeeded = w->eraseNeeded || erase;
}

void Invalidate(Window* w, bool erase, bool children) {
    RECT client = ClientRectInWindow(w);
    w->update.clear();
    InvalidatePart(w, RECT{0, 0, client.right - client.left, client.bottom - client.top}, erase);
    if (children) {
        for (Window* child : w->children) {
            Invalidate(child, erase, true);
        }
    }
}

void EraseNow(Window* w) {
    w->drawing.clear();
    for (Window* child : w->children) {
        EraseNow(child);
    }
}

void EraseUpdateRegion(Window* w) {
    RECT client = ClientRectInWindow(w);
    auto inside = [&](const DrawOp& op) {
        for (const RECT& part : w->update) {
            RECT r{part.left + client.left, part.top + client.top, part.right + client.left,
                   part.bottom + client.top};
            RECT b = op.rect;
            if (b.left > b.right) {
                std::swap(b.left, b.right);
            }
            if (b.top > b.bottom) {
                std::swap(b.top, b.bottom);
            }
            if (b.left >= r.left && b.top >= r.top && b.right <= r.right && b.bottom <= r.bottom) {
                return true;
            }
        }
        return false;
    };
    auto& ops = w->drawing;
    ops.erase(std::remove_if(ops.begin(), ops.end(), [&](const auto& op) { return inside(*op); }),
              ops.end());
}

void ShowWindowObject(Window* w, int command) {
    Runtime::State& st = St();
    bool wasVisible = w->Visible();
    bool activate = w->parent == nullptr;
    switch (command) {
    case SW_HIDE:
        w->style &= ~WS_VISIBLE;
        activate = false;
        break;
    case SW_MAXIMIZE:
        if ((w->style & (WS_MAXIMIZE | WS_MINIMIZE)) == 0) {
            w->restore = w->rect;
        }
        w->style = (w->style | WS_VISIBLE | WS_MAXIMIZE) & ~WS_MINIMIZE;
        if (w->parent == nullptr) {
            SetWindowRect(w, RECT{0, 0, st.screenWidth, st.screenHeight}, true);
        } else {
            RECT client = ClientRectInWindow(w->parent);
            SetWindowRect(w, RECT{0, 0, client.right - client.left, client.bottom - client.top},
                          true);
        }
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        if ((w->style & (WS_MAXIMIZE | WS_MINIMIZE)) == 0) {
            w->restore = w->rect;
        }
        w->style = (w->style | WS_VISIBLE | WS_MINIMIZE) & ~WS_MAXIMIZE;
        activate = command == SW_SHOWMINIMIZED;
        break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
        if ((w->style & (WS_MAXIMIZE | WS_MINIMIZE)) != 0) {
            w->style &= ~(WS_MAXIMIZE | WS_MINIMIZE);
            SetWindowRect(w, w->restore, true);
        }
        w->style |= WS_VISIBLE;
        break;
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA:
        w->style |= WS_VISIBLE;
        activate = false;
        break;
    default: // SW_SHOW, SW_SHOWDEFAULT
        w->style |= WS_VISIBLE;
        break;
    }
    if (!w->alive) {
        return;
    }
    bool visible = w->Visible();
    if (visible != wasVisible && w->process == Caller()) {
        CallProc(w, WM_SHOWWINDOW, visible, 0);
    }
    if (visible != wasVisible || command == SW_MAXIMIZE || command == SW_RESTORE) {
        if (visible) {
            EraseNow(w);
            Invalidate(w, false, true);
        }
        if (w->parent != nullptr) {
            InvalidatePart(w->parent, w->rect, true);
        }
    }
    if (w->parent == nullptr) {
        if (visible && activate) {
            Activate(w);
        } else if (!visible && st.foreground == w->handle) {
            st.foreground = nullptr;
            ActivateNextAfter(w);
        }
    }
}

void BringToTop(Window* w) {
    Runtime::State& st = St();
    if (w->parent != nullptr) {
        return;
    }
    auto& list = st.topLevel;
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
    auto at = std::find_if(list.begin(), list.end(), [&](Window* other) {
        return (other->exStyle & WS_EX_TOPMOST) == 0 || (w->exStyle & WS_EX_TOPMOST) != 0;
    });
    list.insert(at, w);
    // Owned windows stay above their owner.
    std::vector<Window*> owned;
    for (Window* other : list) {
        if (other->owner == w && other->Visible()) {
            owned.push_back(other);
        }
    }
    for (Window* o : owned) {
        BringToTop(o);
    }
}

Window* FirstTabStop(Window* dialog) {
    for (Window* child : dialog->children) {
        if ((child->style & WS_TABSTOP) != 0 && child->Visible() && child->Enabled()) {
            return child;
        }
    }
    return nullptr;
}

void SetFocusTo(Window* w) {
    Runtime::State& st = St();
    HWND old = st.focus;
    HWND now = w != nullptr ? w->handle : nullptr;
    if (old == now) {
        return;
    }
    st.focus = now;
    // A push button that takes the focus answers Enter until the focus
    // moves on or the dialog names another default.
    if (w != nullptr && w->parent != nullptr && w->parent->kind == WindowKind::Dialog) {
        UINT type = w->style & BS_TYPEMASK;
        bool push =
            w->kind == WindowKind::Button && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
        w->parent->focusedButton = push ? now : nullptr;
    }
    Window* oldWindow = Lookup(old);
    if (oldWindow != nullptr && oldWindow->process == Caller()) {
        CallProc(oldWindow, WM_KILLFOCUS, reinterpret_cast<WPARAM>(now), 0);
    }
    if (w != nullptr && w->alive && w->process == Caller() && st.focus == now) {
        CallProc(w, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    }
}

void Activate(Window* w) {
    Runtime::State& st = St();
    w = TopLevelOf(w);
    BringToTop(w);
    if (st.foreground == w->handle) {
        return;
    }
    Window* old = Lookup(st.foreground);
    if (old != nullptr) {
        Window* focus = Lookup(st.focus);
        if (focus != nullptr && IsDescendant(old, focus)) {
            old->savedFocus = focus->handle;
        }
        if (old->process == Caller()) {
            CallProc(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(w->handle));
        }
    }
    st.foreground = w->handle;
    if (w->process == Caller() && w->alive) {
        CallProc(w, WM_ACTIVATE, WA_ACTIVE, old != nullptr ? (LPARAM)old->handle : 0);
    }
    if (!w->alive || st.foreground != w->handle) {
        return;
    }
    Window* focus = Lookup(st.focus);
    if (focus == nullptr || !IsDescendant(w, focus)) {
        Window* saved = Lookup(w->savedFocus);
        if (saved == nullptr || !IsDescendant(w, saved)) {
            saved = w->kind == WindowKind::Dialog ? FirstTabStop(w) : nullptr;
        }
        SetFocusTo(saved != nullptr ? saved : w);
    }
}

void ActivateNextAfter(Window* gone) {
    Runtime::State& st = St();
    // The owner first, as Windows does when an owned popup goes away.
    if (gone != nullptr && gone->owner != nullptr && gone->owner->alive && gone->owner->Visible()) {
        Activate(gone->owner);
        return;
    }
    for (Window* w : st.topLevel) {
        if (w != gone && w->alive && w->Visible() && w->Enabled() &&
            (w->style & WS_MINIMIZE) == 0) {
            Activate(w);
            return;
        }
    }
}

Window* WindowForPoint(POINT pt) {
    for (Window* w : St().topLevel) {
        if (!w->Visible()) {
            continue;
        }
        RECT r = ScreenRect(w);
        if (pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom) {
            return DeepestAt(w, pt);
        }
    }
    return nullptr;
}

int CopyText(const std::string& text, LPSTR buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    int n = std::min<int>((int)text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return n;
}

} // namespace platform::win32::detail
