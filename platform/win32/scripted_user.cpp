#include "platform/win32/scripted_user.h"

#include "platform/trace/trace.h"
#include "platform/win32/controls.h"
#include "platform/win32/input.h"
#include "platform/win32/menus.h"
#include "platform/win32/picture_svg.h"
#include "platform/win32/window_manager.h"

namespace platform::win32 {
namespace {

using detail::Window;

void Trace(const std::string& text) {
    platform::trace::Emit(detail::St().kernel.Now(), "user " + text);
}

void Settle() {
    Runtime::Current().RunUntilIdle();
}

Window* Search(Window* w, const std::function<bool(const Window*)>& match) {
    for (Window* child : w->children) {
        if (detail::IsShownOnScreen(child) && match(child)) {
            return child;
        }
        if (Window* found = Search(child, match)) {
            return found;
        }
    }
    return nullptr;
}

Window* ForegroundWindow() {
    Runtime::State& st = detail::St();
    detail::RouteRawInput();
    return detail::Lookup(st.foreground);
}

POINT Centre(const Window* w) {
    RECT r = detail::ScreenRect(w);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void MoveTo(POINT pt) {
    Runtime::State& st = detail::St();
    InjectMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE,
                (LONG)(((long long)pt.x * 65536 + st.screenWidth - 1) / st.screenWidth),
                (LONG)(((long long)pt.y * 65536 + st.screenHeight - 1) / st.screenHeight));
}

void Click(POINT pt) {
    MoveTo(pt);
    InjectMouse(MOUSEEVENTF_LEFTDOWN, 0, 0);
    InjectMouse(MOUSEEVENTF_LEFTUP, 0, 0);
    Settle();
}

} // namespace

void ScriptedUser::ClickAt(int x, int y) {
    Trace("click x=" + std::to_string(x) + " y=" + std::to_string(y));
    Click(POINT{x, y});
}

HWND ScriptedUser::FindControl(int id) const {
    Window* top = ForegroundWindow();
    Window* found =
        top == nullptr ? nullptr : Search(top, [id](const Window* w) { return w->id == id; });
    return found != nullptr ? found->handle : nullptr;
}

HWND ScriptedUser::FindControl(const std::string& text) const {
    Window* top = ForegroundWindow();
    Window* found = top == nullptr ? nullptr : Search(top, [&text](const Window* w) {
        return w->text == text || detail::WithoutMnemonics(w->text) == text;
    });
    return found != nullptr ? found->handle : nullptr;
}

bool ScriptedUser::ClickControl(int id) {
    Window* control = detail::Lookup(FindControl(id));
    if (control == nullptr) {
        Trace("click control=" + std::to_string(id) + " missing");
        return false;
    }
    POINT pt = Centre(control);
    Trace("click control=" + std::to_string(id) + " x=" + std::to_string(pt.x) +
          " y=" + std::to_string(pt.y));
    Click(pt);
    return true;
}

bool ScriptedUser::ClickControl(const std::string& text) {
    Window* control = detail::Lookup(FindControl(text));
    if (control == nullptr) {
        Trace("click text=" + platform::trace::Quote(text) + " missing");
        return false;
    }
    POINT pt = Centre(control);
    Trace("click text=" + platform::trace::Quote(text) + " x=" + std::to_string(pt.x) +
          " y=" + std::to_string(pt.y));
    Click(pt);
    return true;
}

void ScriptedUser::Drag(POINT from, POINT to) {
    Trace("drag from=" + std::to_string(from.x) + "," + std::to_string(from.y) +
          " to=" + std::to_string(to.x) + "," + std::to_string(to.y));
    MoveTo(from);
    InjectMouse(MOUSEEVENTF_LEFTDOWN, 0, 0);
    Settle();
    MoveTo(to);
    Settle();
    InjectMouse(MOUSEEVENTF_LEFTUP, 0, 0);
    Settle();
}

void ScriptedUser::PressKey(UINT virtualKey) {
    Trace("key vk=" + std::to_string(virtualKey));
    InjectKey(virtualKey, false);
    InjectKey(virtualKey, true);
    Settle();
}

void ScriptedUser::Type(const std::string& text) {
    Trace("type text=" + platform::trace::Quote(text));
    for (char c : text) {
        InjectChar(c);
    }
    Settle();
}

void ScriptedUser::AnswerNextMessageBox(int button) {
    detail::St().boxAnswers.push_back(button);
}

void ScriptedUser::AnswerNextFolderBrowser(const std::optional<std::string>& folder) {
    detail::St().browseAnswers.push_back(folder);
}

size_t ScriptedUser::PendingAnswers() const {
    return detail::St().boxAnswers.size();
}

bool ScriptedUser::ChooseComboItem(int id, const std::string& item) {
    Window* combo = detail::Lookup(FindControl(id));
    if (combo == nullptr || combo->kind != detail::WindowKind::ComboBox) {
        Trace("choose combo=" + std::to_string(id) + " missing");
        return false;
    }
    int index = -1;
    for (size_t i = 0; i < combo->items.size(); ++i) {
        if (combo->items[i].text == item) {
            index = (int)i;
        }
    }
    if (index < 0) {
        Trace("choose combo=" + std::to_string(id) + " item=" + platform::trace::Quote(item) +
              " missing");
        return false;
    }
    Trace("choose combo=" + std::to_string(id) + " item=" + platform::trace::Quote(item));
    Click(Centre(combo));
    Window* list = combo->alive ? combo->buddy : nullptr;
    if (list == nullptr) {
        return false;
    }
    RECT r = detail::ScreenRect(list);
    Click(POINT{(r.left + r.right) / 2,
                r.top + 1 + index * detail::kComboRowHeight + detail::kComboRowHeight / 2});
    return true;
}

bool ScriptedUser::ChooseMenuItem(const std::string& text) {
    Runtime::State& st = detail::St();
    for (detail::MenuTracking* open : st.openMenus) {
        const detail::Menu* menu = detail::MenuOf(open->menu);
        Window* popup = detail::Lookup(open->window);
        if (menu == nullptr || popup == nullptr) {
            continue;
        }
        for (size_t i = 0; i < menu->items.size(); ++i) {
            if (detail::WithoutMnemonics(menu->items[i].text) != text &&
                menu->items[i].text != text) {
                continue;
            }
            RECT r = detail::ScreenRect(popup);
            Trace("choose menu=" + platform::trace::Quote(text));
            Click(
                POINT{(r.left + r.right) / 2, r.top + detail::MenuItemTop(open->menu, (int)i) + 9});
            return true;
        }
    }
    Trace("choose menu=" + platform::trace::Quote(text) + " missing");
    return false;
}

bool ScriptedUser::ChooseSystemMenuItem(const std::string& text) {
    Window* top = ForegroundWindow();
    const detail::Menu* menu = top != nullptr ? detail::MenuOf(top->systemMenu) : nullptr;
    if (menu == nullptr && top != nullptr && (top->style & WS_SYSMENU) != 0) {
        menu = detail::MenuOf(GetSystemMenu(top->handle, FALSE));
    }
    if (menu != nullptr) {
        for (const detail::MenuItem& item : menu->items) {
            if (detail::WithoutMnemonics(item.text) == text || item.text == text) {
                Trace("choose sysmenu=" + platform::trace::Quote(text));
                top->process->posted.push_back(MSG{top->handle, WM_SYSCOMMAND, item.id, 0,
                                                   detail::TickMilliseconds(),
                                                   detail::St().pointer});
                Settle();
                return true;
            }
        }
    }
    Trace("choose sysmenu=" + platform::trace::Quote(text) + " missing");
    return false;
}

HWND ScriptedUser::Foreground() const {
    Window* top = ForegroundWindow();
    return top != nullptr ? top->handle : nullptr;
}

} // namespace platform::win32
