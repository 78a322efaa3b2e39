// The ComboBox class as a drop-down list (CBS_DROPDOWNLIST): items, the
// current item, and the list that a click opens as a pop-up of its own.
#include "platform/win32/controls.h"
#include "platform/win32/window_manager.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace platform::win32::detail {
namespace {

int Count(const Window* w) {
    return (int)w->items.size();
}

// First item from after start (wrapping round to it) whose text begins with
// (or, exact, equals) text, ignoring case. start -1 searches from the top.
int Find(const Window* w, int start, const char* text, bool exact) {
    int count = Count(w);
    if (count == 0 || text == nullptr) {
        return CB_ERR;
    }
    size_t length = std::strlen(text);
    int from = start < 0 || start >= count ? 0 : start + 1;
    for (int i = 0; i < count; ++i) {
        int index = (from + i) % count;
        const std::string& item = w->items[index].text;
        bool match = exact ? strcasecmp(item.c_str(), text) == 0
                           : strncasecmp(item.c_str(), text, length) == 0;
        if (match) {
            return index;
        }
    }
    return CB_ERR;
}

int Insert(Window* w, int index, const char* text) {
    if (text == nullptr) {
        return CB_ERR;
    }
    if (index < 0 || index > Count(w)) {
        index = Count(w);
    }
    w->items.insert(w->items.begin() + index, ComboItem{text, 0});
    if (w->curSel >= index) {
        ++w->curSel;
    }
    Repaint(w);
    return index;
}

int SortedPosition(const Window* w, const char* text) {
    int index = 0;
    while (index < Count(w) && strcasecmp(w->items[index].text.c_str(), text) <= 0) {
        ++index;
    }
    return index;
}

void CloseList(Window* combo, bool accepted, int chosen) {
    Window* list = combo->buddy;
    combo->buddy = nullptr;
    combo->dropped = false;
    if (list != nullptr && list->alive) {
        list->buddy = nullptr;
        if (St().capture == list->handle) {
            St().capture = nullptr;
        }
        DestroyWindowTree(list);
    }
    Repaint(combo);
    bool changed = accepted && chosen >= 0 && chosen != combo->curSel;
    if (changed) {
        combo->curSel = chosen;
    }
    NotifyCommand(combo, accepted ? CBN_SELENDOK : CBN_SELENDCANCEL);
    if (combo->alive) {
        NotifyCommand(combo, CBN_CLOSEUP);
    }
    if (changed && combo->alive) {
        NotifyCommand(combo, CBN_SELCHANGE);
    }
}

LRESULT CALLBACK DropListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* list = Lookup(hwnd);
    if (list == nullptr) {
        return 0;
    }
    if (message == WM_LBUTTONUP) {
        Window* combo = list->buddy;
        if (combo == nullptr) {
            return 0;
        }
        if (PointInClient(list, lParam)) {
            int index = (GET_Y_LPARAM(lParam) - 1) / kComboRowHeight;
            CloseList(combo, index < Count(combo), std::min(index, Count(combo) - 1));
        } else {
            CloseList(combo, false, -1);
        }
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void OpenList(Window* combo) {
    NotifyCommand(combo, CBN_DROPDOWN);
    if (!combo->alive) {
        return;
    }
    RECT field = ScreenRect(combo);
    int rows = std::max(1, Count(combo));
    int maxHeight = std::max(combo->droppedHeight - kComboFieldHeight, kComboRowHeight + 2);
    int height = std::min(rows * kComboRowHeight + 2, maxHeight);
    CreateParams params;
    params.kind = WindowKind::DropList;
    params.className = "ComboLBox";
    params.proc = DropListProc;
    params.style = WS_POPUP | WS_BORDER;
    params.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    params.rect = RECT{field.left, field.bottom, field.right, field.bottom + height};
    params.owner = combo;
    params.instance = combo->instance;
    Window* list = CreateWindowObject(params);
    list->buddy = combo;
    combo->buddy = list;
    combo->dropped = true;
    ShowWindowObject(list, SW_SHOWNA);
    St().capture = list->handle;
    Repaint(combo);
}

void SelectByKey(Window* w, int delta) {
    int count = Count(w);
    if (count == 0) {
        return;
    }
    int next = std::clamp(w->curSel < 0 ? 0 : w->curSel + delta, 0, count - 1);
    if (next != w->curSel) {
        w->curSel = next;
        Repaint(w);
        NotifyCommand(w, CBN_SELCHANGE);
    }
}

} // namespace

LRESULT CALLBACK ComboProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = Lookup(hwnd);
    if (w == nullptr) {
        return 0;
    }
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS | DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
        TakeFocus(w);
        if (w->dropped) {
            CloseList(w, false, -1);
        } else {
            OpenList(w);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_DOWN || wParam == VK_RIGHT) {
            SelectByKey(w, 1);
        } else if (wParam == VK_UP || wParam == VK_LEFT) {
            SelectByKey(w, -1);
        }
        return 0;
    case WM_GETTEXT:
        if (w->curSel < 0) {
            return CopyText("", reinterpret_cast<LPSTR>(lParam), (int)wParam);
        }
        return CopyText(w->items[w->curSel].text, reinterpret_cast<LPSTR>(lParam), (int)wParam);
    case WM_GETTEXTLENGTH:
        return w->curSel < 0 ? 0 : (LRESULT)w->items[w->curSel].text.size();
    case WM_SETTEXT: {
        int index = Find(w, -1, reinterpret_cast<const char*>(lParam), true);
        if (index == CB_ERR) {
            return CB_ERR;
        }
        w->curSel = index;
        Repaint(w);
        return TRUE;
    }
    case CB_ADDSTRING: {
        const char* text = reinterpret_cast<const char*>(lParam);
        if (text == nullptr) {
            return CB_ERR;
        }
        int index = (w->style & CBS_SORT) != 0 ? SortedPosition(w, text) : Count(w);
        return Insert(w, index, text);
    }
    case CB_INSERTSTRING:
        return Insert(w, (int)(INT_PTR)wParam, reinterpret_cast<const char*>(lParam));
    case CB_DELETESTRING: {
        int index = (int)(INT_PTR)wParam;
        if (index < 0 || index >= Count(w)) {
            return CB_ERR;
        }
        w->items.erase(w->items.begin() + index);
        if (w->curSel == index) {
            w->curSel = -1;
        } else if (w->curSel > index) {
            --w->curSel;
        }
        Repaint(w);
        return Count(w);
    }
    case CB_RESETCONTENT:
        w->items.clear();
        w->curSel = -1;
        Repaint(w);
        return CB_OKAY;
    case CB_GETCOUNT:
        return Count(w);
    case CB_GETCURSEL:
        return w->curSel;
    case CB_SETCURSEL: {
        int index = (int)(INT_PTR)wParam;
        if (index < 0 || index >= Count(w)) {
            w->curSel = -1;
            Repaint(w);
            return CB_ERR;
        }
        w->curSel = index;
        Repaint(w);
        return index;
    }
    case CB_GETLBTEXT: {
        int index = (int)(INT_PTR)wParam;
        if (index < 0 || index >= Count(w) || lParam == 0) {
            return CB_ERR;
        }
        const std::string& text = w->items[index].text;
        std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
        return (LRESULT)text.size();
    }
    case CB_GETLBTEXTLEN: {
        int index = (int)(INT_PTR)wParam;
        return index < 0 || index >= Count(w) ? CB_ERR : (LRESULT)w->items[index].text.size();
    }
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
        return Find(w, (int)(INT_PTR)wParam, reinterpret_cast<const char*>(lParam),
                    message == CB_FINDSTRINGEXACT);
    case CB_SELECTSTRING: {
        int index = Find(w, (int)(INT_PTR)wParam, reinterpret_cast<const char*>(lParam), false);
        if (index != CB_ERR) {
            w->curSel = index;
            Repaint(w);
        }
        return index;
    }
    case CB_GETITEMDATA: {
        int index = (int)(INT_PTR)wParam;
        return index < 0 || index >= Count(w) ? CB_ERR : w->items[index].data;
    }
    case CB_SETITEMDATA: {
        int index = (int)(INT_PTR)wParam;
        if (index < 0 || index >= Count(w)) {
            return CB_ERR;
        }
        w->items[index].data = lParam;
        return TRUE;
    }
    case CB_SHOWDROPDOWN:
        if (wParam != 0 && !w->dropped) {
            OpenList(w);
        } else if (wParam == 0 && w->dropped) {
            CloseList(w, false, -1);
        }
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return w->dropped ? TRUE : FALSE;
    case WM_KILLFOCUS:
        if (w->dropped) {
            CloseList(w, false, -1);
        }
        return 0;
    case WM_DESTROY:
        if (w->buddy != nullptr && w->buddy->alive) {
            w->buddy->buddy = nullptr;
            DestroyWindowTree(w->buddy);
            w->buddy = nullptr;
        }
        return 0;
    default:
        break;
    }
    return ControlDefault(w, message, wParam, lParam);
}

} // namespace platform::win32::detail
