// Menus: menu resources (the classic MENU layout), system menus and
// TrackPopupMenu, whose pop-up is a window of its own that takes the mouse
// capture: a click on an item chooses it, a click elsewhere cancels.
#include "platform/win32/menus.h"
#include "platform/win32/controls.h"
#include "platform/win32/gdi.h"
#include "platform/win32/resources.h"
#include "platform/win32/text_utf.h"
#include "platform/win32/window_manager.h"

#include <algorithm>
#include <cstring>

namespace platform::win32::detail {
namespace {

constexpr int kItemHeight = 18;
constexpr int kSeparatorHeight = 8;

Menu* FindMenu(HMENU handle) {
    auto& menus = St().menus;
    auto it = menus.find(handle);
    return it == menus.end() ? nullptr : it->second.get();
}

HMENU NewMenu() {
    Runtime::State& st = St();
    HMENU handle = reinterpret_cast<HMENU>(st.nextMenuHandle);
    st.nextMenuHandle += 4;
    st.menus[handle] = std::make_unique<Menu>();
    return handle;
}

bool IsSeparator(const MenuItem& item) {
    return (item.flags & MF_SEPARATOR) != 0 ||
           (item.popup == nullptr && item.id == 0 && item.text.empty());
}

// Reads items until one flagged MF_END; nested pop-ups recurse.
bool ReadItems(const BYTE* data, size_t size, size_t* offset, HMENU menu, int depth) {
    if (depth > 8) {
        return false;
    }
    for (;;) {
        if (*offset + 2 > size) {
            return false;
        }
        WORD flags;
        std::memcpy(&flags, data + *offset, 2);
        *offset += 2;
        MenuItem item;
        item.flags = flags & ~(MF_END | MF_POPUP);
        if ((flags & MF_POPUP) == 0) {
            if (*offset + 2 > size) {
                return false;
            }
            WORD id;
            std::memcpy(&id, data + *offset, 2);
            *offset += 2;
            item.id = id;
        }
        if (!ReadUtf16String(data, size, offset, &item.text)) {
            return false;
        }
        if ((flags & MF_POPUP) != 0) {
            item.popup = NewMenu();
            item.flags |= MF_POPUP;
            if (!ReadItems(data, size, offset, item.popup, depth + 1)) {
                return false;
            }
        }
        FindMenu(menu)->items.push_back(item);
        if ((flags & MF_END) != 0) {
            return true;
        }
    }
}

int MenuHeight(const Menu* menu) {
    int height = 4;
    for (const MenuItem& item : menu->items) {
        height += IsSeparator(item) ? kSeparatorHeight : kItemHeight;
    }
    return height;
}

int ItemAt(const Menu* menu, int y) {
    int top = 2;
    for (size_t i = 0; i < menu->items.size(); ++i) {
        int height = IsSeparator(menu->items[i]) ? kSeparatorHeight : kItemHeight;
        if (y >= top && y < top + height) {
            return (int)i;
        }
        top += height;
    }
    return -1;
}

LRESULT CALLBACK MenuPopupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* popup = Lookup(hwnd);
    if (popup == nullptr) {
        return 0;
    }
    MenuTracking* tracking = nullptr;
    for (MenuTracking* open : St().openMenus) {
        if (open->window == hwnd) {
            tracking = open;
        }
    }
    if (message == WM_LBUTTONUP && tracking != nullptr) {
        Menu* menu = FindMenu(tracking->menu);
        int index = PointInClient(popup, lParam) && menu != nullptr
                        ? ItemAt(menu, GET_Y_LPARAM(lParam))
                        : -1;
        if (index >= 0) {
            const MenuItem& item = menu->items[index];
            if (IsSeparator(item) || (item.flags & (MF_GRAYED | MF_DISABLED)) != 0 ||
                item.popup != nullptr) {
                return 0;
            }
            tracking->chosen = item.id;
        }
        tracking->done = true;
        return 0;
    }
    if (message == WM_MOUSEMOVE && tracking != nullptr) {
        Menu* menu = FindMenu(tracking->menu);
        popup->hotItem = menu != nullptr && PointInClient(popup, lParam)
                             ? ItemAt(menu, GET_Y_LPARAM(lParam))
                             : -1;
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

} // namespace

int MenuItemTop(HMENU handle, int index) {
    Menu* menu = FindMenu(handle);
    int top = 2;
    for (int i = 0; menu != nullptr && i < index && i < (int)menu->items.size(); ++i) {
        top += IsSeparator(menu->items[i]) ? kSeparatorHeight : kItemHeight;
    }
    return top;
}

const Menu* MenuOf(HMENU handle) {
    return FindMenu(handle);
}

bool MenuItemIsSeparator(const MenuItem& item) {
    return IsSeparator(item);
}

} // namespace platform::win32::detail

using namespace platform::win32::detail;
using platform::win32::Runtime;

HMENU WINAPI LoadMenuA(HINSTANCE hInstance, LPCSTR lpMenuName) {
    const ResourceEntry* entry = FindModuleResource(hInstance, lpMenuName, RT_MENU);
    if (entry == nullptr) {
        SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    WORD version = 0;
    WORD headerSize = 0;
    if (entry->size >= 4) {
        std::memcpy(&version, entry->data, 2);
        std::memcpy(&headerSize, entry->data + 2, 2);
    }
    HMENU menu = NewMenu();
    size_t offset = 4 + headerSize;
    if (version != 0 || !ReadItems(entry->data, entry->size, &offset, menu, 0)) {
        DestroyMenu(menu);
        SetError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return menu;
}

HMENU WINAPI GetSubMenu(HMENU hMenu, int nPos) {
    Menu* menu = FindMenu(hMenu);
    if (menu == nullptr || nPos < 0 || nPos >= (int)menu->items.size()) {
        return nullptr;
    }
    return menu->items[nPos].popup;
}

HMENU WINAPI GetSystemMenu(HWND hWnd, BOOL bRevert) {
    Window* w = FromHandle(hWnd);
    if (w == nullptr || (w->style & WS_SYSMENU) == 0) {
        return nullptr;
    }
    if (bRevert && w->systemMenu != nullptr) {
        DestroyMenu(w->systemMenu);
        w->systemMenu = nullptr;
        return nullptr;
    }
    if (w->systemMenu == nullptr) {
        w->systemMenu = NewMenu();
        Menu* menu = FindMenu(w->systemMenu);
        menu->items.push_back(MenuItem{MF_STRING, SC_MOVE, "&Move", nullptr});
        menu->items.push_back(MenuItem{MF_SEPARATOR, 0, "", nullptr});
        menu->items.push_back(MenuItem{MF_STRING, SC_CLOSE, "&Close", nullptr});
    }
    return w->systemMenu;
}

BOOL WINAPI AppendMenuA(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem) {
    Menu* menu = FindMenu(hMenu);
    if (menu == nullptr) {
        SetError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    MenuItem item;
    item.flags = uFlags;
    if ((uFlags & MF_POPUP) != 0) {
        item.popup = reinterpret_cast<HMENU>(uIDNewItem);
    } else {
        item.id = uIDNewItem;
    }
    if ((uFlags & MF_SEPARATOR) == 0 && lpNewItem != nullptr) {
        item.text = lpNewItem;
    }
    menu->items.push_back(item);
    return TRUE;
}

int WINAPI GetMenuItemCount(HMENU hMenu) {
    Menu* menu = FindMenu(hMenu);
    return menu != nullptr ? (int)menu->items.size() : -1;
}

BOOL WINAPI DestroyMenu(HMENU hMenu) {
    Runtime::State& st = St();
    Menu* menu = FindMenu(hMenu);
    if (menu == nullptr) {
        SetError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    std::vector<HMENU> popups;
    for (const MenuItem& item : menu->items) {
        if (item.popup != nullptr) {
            popups.push_back(item.popup);
        }
    }
    st.menus.erase(hMenu);
    for (HMENU popup : popups) {
        DestroyMenu(popup);
    }
    return TRUE;
}

BOOL WINAPI TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd,
                           const RECT* prcRect) {
    UNREFERENCED_PARAMETER(nReserved);
    UNREFERENCED_PARAMETER(prcRect);
    Runtime::State& st = St();
    Menu* menu = FindMenu(hMenu);
    Window* owner = FromHandle(hWnd);
    if (menu == nullptr || owner == nullptr) {
        SetError(menu == nullptr ? ERROR_INVALID_MENU_HANDLE : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    int width = 60;
    for (const MenuItem& item : menu->items) {
        width = std::max(width, TextWidth(item.text, 13) + 40);
    }
    int height = MenuHeight(menu);
    if ((uFlags & TPM_RIGHTALIGN) != 0) {
        x -= width;
    } else if ((uFlags & TPM_CENTERALIGN) != 0) {
        x -= width / 2;
    }
    if ((uFlags & TPM_BOTTOMALIGN) != 0) {
        y -= height;
    } else if ((uFlags & TPM_VCENTERALIGN) != 0) {
        y -= height / 2;
    }
    x = std::clamp(x, 0, std::max(0, st.screenWidth - width));
    y = std::clamp(y, 0, std::max(0, st.screenHeight - height));

    CreateParams params;
    params.kind = WindowKind::MenuPopup;
    params.className = "#32768";
    params.proc = MenuPopupProc;
    params.style = WS_POPUP | WS_BORDER;
    params.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    params.rect = RECT{x, y, x + width, y + height};
    params.owner = owner;
    Window* popup = CreateWindowObject(params);
    popup->menu = hMenu;
    MenuTracking tracking;
    tracking.menu = hMenu;
    tracking.window = popup->handle;
    st.openMenus.push_back(&tracking);
    ShowWindowObject(popup, SW_SHOWNA);
    st.capture = popup->handle;

    while (!tracking.done && popup->alive) {
        MSG msg;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!WaitForMessageWork()) {
                break;
            }
            continue;
        }
        if (msg.message == WM_QUIT) {
            PostQuitMessage((int)msg.wParam);
            break;
        }
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    st.openMenus.erase(std::remove(st.openMenus.begin(), st.openMenus.end(), &tracking),
                       st.openMenus.end());
    if (st.capture == popup->handle) {
        st.capture = nullptr;
    }
    if (popup->alive) {
        DestroyWindowTree(popup);
    }
    if ((uFlags & TPM_RETURNCMD) != 0) {
        return (BOOL)tracking.chosen;
    }
    if (tracking.chosen != 0 && (uFlags & TPM_NONOTIFY) == 0) {
        PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(tracking.chosen, 0), 0);
    }
    return TRUE;
}
