// The dialog manager: dialogs from templates, the modal loop, EndDialog,
// DefDlgProcA and IsDialogMessageA (Enter, Escape and Tab).
#include "platform/win32/dialog.h"

#include "platform/win32/controls.h"
#include "platform/win32/resources.h"
#include "platform/win32/window_manager.h"
#include "platform/trace/trace.h"

#include <algorithm>
#include <cstdio>

namespace platform::win32::detail {
namespace {

// Whether a template's item names a picture by resource ordinal.
HANDLE LoadItemImage(HINSTANCE instance, WindowKind kind, DWORD style, WORD ordinal, bool* icon) {
    bool isIcon = false;
    bool isBitmap = false;
    if (kind == WindowKind::Static) {
        isIcon = (style & SS_TYPEMASK) == SS_ICON;
        isBitmap = (style & SS_TYPEMASK) == SS_BITMAP;
    } else if (kind == WindowKind::Button) {
        isIcon = (style & BS_ICON) != 0;
        isBitmap = (style & BS_BITMAP) != 0;
    }
    *icon = isIcon;
    if (isIcon) {
        return LoadIconA(instance, MAKEINTRESOURCEA(ordinal));
    }
    if (isBitmap) {
        return LoadBitmapA(instance, MAKEINTRESOURCEA(ordinal));
    }
    return nullptr;
}

SIZE ImageSize(HANDLE image) {
    auto& objects = St().gdiObjects;
    auto it = objects.find(image);
    if (it == objects.end() || !it->second->image) {
        return SIZE{32, 32};
    }
    return SIZE{it->second->image->width, it->second->image->height};
}

RECT WindowRectForClient(const Window* probe, RECT client) {
    int frame = FrameWidth(probe);
    return RECT{client.left - frame, client.top - frame - CaptionHeight(probe),
                client.right + frame, client.bottom + frame};
}

Window* DefaultButton(Window* dialog) {
    for (Window* child : dialog->children) {
        if (child->kind == WindowKind::Button && (child->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            return child;
        }
    }
    return nullptr;
}

Window* ChildById(Window* dialog, int id) {
    for (Window* child : dialog->children) {
        if (child->id == id) {
            return child;
        }
    }
    return nullptr;
}

void ClickCommand(Window* dialog, int id) {
    Window* button = ChildById(dialog, id);
    if (button != nullptr && !button->Enabled()) {
        return;
    }
    CallProc(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
             reinterpret_cast<LPARAM>(button != nullptr ? button->handle : nullptr));
}

bool IsPushButton(const Window* w) {
    UINT type = w->style & BS_TYPEMASK;
    return w->kind == WindowKind::Button && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

void FocusNextTabStop(Window* dialog, Window* from) {
    auto& children = dialog->children;
    size_t count = children.size();
    size_t start = 0;
    for (size_t i = 0; i < count; ++i) {
        if (children[i] == from) {
            start = i + 1;
        }
    }
    for (size_t i = 0; i < count; ++i) {
        Window* candidate = children[(start + i) % count];
        if ((candidate->style & WS_TABSTOP) != 0 && candidate->Visible() && candidate->Enabled()) {
            SetFocusTo(candidate);
            return;
        }
    }
}

} // namespace

Window* AddControl(Window* dialog, WindowKind kind, const std::string& className, DWORD style,
                   DWORD exStyle, int id, const std::string& text, const RECT& rect) {
    CreateParams params;
    params.kind = kind;
    params.className = className;
    params.proc = ProcForKind(kind);
    params.style = style | WS_CHILD;
    params.exStyle = exStyle;
    params.id = id;
    params.text = text;
    params.rect = rect;
    params.parent = dialog;
    params.instance = dialog->instance;
    Window* control = CreateWindowObject(params);
    CallProc(control, WM_CREATE, 0, 0);
    return control;
}

Window* CreateSystemDialog(Window* owner, const std::string& caption, int width, int height,
                           DWORD extraExStyle) {
    Runtime::State& st = St();
    CreateParams params;
    params.kind = WindowKind::Dialog;
    params.className = "#32770";
    params.proc = DefDlgProcA;
    params.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    params.exStyle = WS_EX_DLGMODALFRAME | extraExStyle;
    params.text = caption;
    params.owner = owner;
    params.instance = nullptr;
    Window probe;
    probe.style = params.style;
    probe.exStyle = params.exStyle;
    int frame = FrameWidth(&probe);
    int outerWidth = width + 2 * frame;
    int outerHeight = height + 2 * frame + CaptionHeight(&probe);
    int left = std::max(0, (st.screenWidth - outerWidth) / 2);
    int top = std::max(0, (st.screenHeight - outerHeight) / 2);
    params.rect = RECT{left, top, left + outerWidth, top + outerHeight};
    return CreateWindowObject(params);
}

Window* BuildDialog(HINSTANCE instance, const DialogTemplate& t, HWND ownerHandle, DLGPROC proc,
                    LPARAM param) {
    Runtime::State& st = St();
    if (!t.windowClass.Empty()) {
        SetError(ERROR_CLASS_DOES_NOT_EXIST);
        return nullptr;
    }
    Window* owner = Lookup(ownerHandle);
    CreateParams params;
    params.kind = WindowKind::Dialog;
    params.className = "#32770";
    params.proc = DefDlgProcA;
    params.style = t.style & ~(DWORD)WS_CHILD;
    params.exStyle = t.exStyle;
    if ((t.style & DS_MODALFRAME) != 0) {
        params.exStyle |= WS_EX_DLGMODALFRAME;
    }
    if ((t.style & DS_SYSMODAL) != 0) {
        params.exStyle |= WS_EX_TOPMOST;
    }
    params.text = t.title;
    params.owner = owner;
    params.instance = instance;

    // Client rectangle in pixels, placed on the screen, then the frame.
    int width = DialogUnitsToPixelsX(t.cx);
    int height = DialogUnitsToPixelsY(t.cy);
    POINT origin{0, 0};
    if ((t.style & DS_CENTER) != 0) {
        origin = POINT{(st.screenWidth - width) / 2, (st.screenHeight - height) / 2};
    } else {
        if ((t.style & DS_ABSALIGN) == 0 && owner != nullptr) {
            origin = ClientOriginOnScreen(owner);
        }
        origin.x += DialogUnitsToPixelsX(t.x);
        origin.y += DialogUnitsToPixelsY(t.y);
    }
    Window probe;
    probe.style = params.style;
    probe.exStyle = params.exStyle;
    RECT rect =
        WindowRectForClient(&probe, RECT{origin.x, origin.y, origin.x + width, origin.y + height});
    // Keep the frame on the screen, as the dialog manager does.
    LONG dx = std::max<LONG>(0, -rect.left);
    LONG dy = std::max<LONG>(0, -rect.top);
    params.rect = RECT{rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};

    Window* dialog = CreateWindowObject(params);
    dialog->dlgProc = proc;
    HFONT font = nullptr;
    if (t.hasFont) {
        font = CreateFontA(-ScaleRounded(t.pointSize, 96, 72), 0, 0, 0,
                           t.weight != 0 ? t.weight : FW_NORMAL, t.italic, FALSE, FALSE, t.charset,
                           0, 0, 0, 0, t.face.c_str());
        dialog->font = font;
    }

    for (const DialogItem& item : t.items) {
        std::string className = item.windowClass.isOrdinal ? ClassForAtom(item.windowClass.ordinal)
                                                           : item.windowClass.text;
        WindowKind kind;
        if (!KindForClass(className, &kind) || kind == WindowKind::Dialog) {
            std::fprintf(stderr, "win32: dialog control class \"%s\" is not provided\n",
                         className.c_str());
            DestroyWindowTree(dialog);
            SetError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        // Position and size are mapped each on its own, so a control's size
        // does not depend on where it stands.
        int left = DialogUnitsToPixelsX(item.x);
        int top = DialogUnitsToPixelsY(item.y);
        RECT r{left, top, left + DialogUnitsToPixelsX(item.cx),
               top + DialogUnitsToPixelsY(item.cy)};
        HANDLE image = nullptr;
        bool isIcon = false;
        if (item.title.isOrdinal) {
            image = LoadItemImage(instance, kind, item.style, item.title.ordinal, &isIcon);
            if (image != nullptr && kind == WindowKind::Static &&
                (item.style & (SS_CENTERIMAGE | SS_REALSIZEIMAGE)) == 0) {
                SIZE size = ImageSize(image);
                r.right = r.left + size.cx;
                r.bottom = r.top + size.cy;
            }
        }
        Window* control = AddControl(dialog, kind, className, item.style, item.exStyle,
                                     (int)(short)item.id, item.title.text, r);
        control->image = image;
        if (font != nullptr) {
            CallProc(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
    }

    Window* first = FirstTabStop(dialog);
    HWND focus = first != nullptr ? first->handle : nullptr;
    LRESULT setFocus = CallProc(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param);
    if (dialog->alive && setFocus != 0 && Lookup(focus) != nullptr) {
        dialog->savedFocus = focus;
    }
    if (!dialog->alive) {
        return nullptr;
    }
    return dialog;
}

INT_PTR RunModal(Window* dialog, bool show) {
    Window* owner = dialog->owner;
    if (owner != nullptr && owner->Enabled()) {
        EnableWindow(owner->handle, FALSE);
        dialog->modalOwner = owner;
    }
    // SW_SHOW keeps a size the dialog chose while initialising (maximised).
    if (show && !dialog->modalEnded && !dialog->Visible()) {
        ShowWindowObject(dialog, SW_SHOW);
    } else if (show && !dialog->modalEnded) {
        Activate(dialog);
    }
    while (!dialog->modalEnded && dialog->alive) {
        MSG msg;
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!WaitForMessageWork()) {
                dialog->modalResult = -1;
                break;
            }
            continue;
        }
        if (msg.message == WM_QUIT) {
            PostQuitMessage((int)msg.wParam);
            break;
        }
        if (!IsDialogMessageA(dialog->handle, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    INT_PTR result = dialog->modalResult;
    if (dialog->modalOwner != nullptr && dialog->modalOwner->alive &&
        !dialog->modalOwner->Enabled()) {
        EnableWindow(dialog->modalOwner->handle, TRUE);
    }
    dialog->modalOwner = nullptr;
    if (dialog->alive) {
        DestroyWindowTree(dialog);
    }
    return result;
}

} // namespace platform::win32::detail

using namespace platform::win32::detail;
using platform::win32::Runtime;

namespace {

bool LoadTemplate(HINSTANCE instance, LPCSTR name, DialogTemplate* t) {
    const ResourceEntry* entry = FindModuleResource(instance, name, RT_DIALOG);
    if (entry == nullptr) {
        SetError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return false;
    }
    if (!ParseDialogTemplate(entry->data, entry->size, t)) {
        SetError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return false;
    }
    return true;
}

HWND CreateModeless(HINSTANCE instance, const DialogTemplate& t, HWND parent, DLGPROC proc,
                    LPARAM param) {
    Window* dialog = BuildDialog(instance, t, parent, proc, param);
    if (dialog == nullptr) {
        return nullptr;
    }
    if ((t.style & WS_VISIBLE) != 0 && !dialog->Visible()) {
        ShowWindowObject(dialog, SW_SHOW);
    }
    return dialog->alive ? dialog->handle : nullptr;
}

INT_PTR Modal(HINSTANCE instance, const DialogTemplate& t, HWND parent, DLGPROC proc,
              LPARAM param) {
    Window* dialog = BuildDialog(instance, t, parent, proc, param);
    if (dialog == nullptr) {
        return -1;
    }
    // Modal dialogs are shown whether or not the template says WS_VISIBLE.
    return RunModal(dialog, true);
}

} // namespace

HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    DialogTemplate t;
    if (!LoadTemplate(hInstance, lpTemplateName, &t)) {
        return nullptr;
    }
    return CreateModeless(hInstance, t, hWndParent, lpDialogFunc, dwInitParam);
}

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA lpTemplate,
                                       HWND hWndParent, DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    DialogTemplate t;
    if (!ParseDialogTemplate(lpTemplate, SIZE_MAX, &t)) {
        SetError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateModeless(hInstance, t, hWndParent, lpDialogFunc, dwInitParam);
}

// A dialog from a template resource shows in the trace while it runs:
//   window open program=tpanel dialog=156 caption="check"
//   window close program=tpanel dialog=156 result=2
INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    DialogTemplate t;
    if (!LoadTemplate(hInstance, lpTemplateName, &t)) {
        return -1;
    }
    Window* dialog = BuildDialog(hInstance, t, hWndParent, lpDialogFunc, dwInitParam);
    if (dialog == nullptr) {
        return -1;
    }
    std::string label = "program=" + Caller()->info.name + " dialog=" +
                        (IS_INTRESOURCE(lpTemplateName) ? std::to_string((UINT_PTR)lpTemplateName)
                                                        : platform::trace::Quote(lpTemplateName));
    platform::trace::Emit(St().kernel.Now(), "window open " + label + " caption=" +
                                                 platform::trace::Quote(dialog->text));
    INT_PTR result = RunModal(dialog, true);
    platform::trace::Emit(St().kernel.Now(),
                          "window close " + label + " result=" + std::to_string((long long)result));
    return result;
}

INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA hDialogTemplate,
                                       HWND hWndParent, DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    DialogTemplate t;
    if (!ParseDialogTemplate(hDialogTemplate, SIZE_MAX, &t)) {
        SetError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return Modal(hInstance, t, hWndParent, lpDialogFunc, dwInitParam);
}

// Ends a modal dialog: the loop returns nResult. The dialog is hidden and
// its owner enabled at once, so the owner is active again before the loop
// even sees the end.
BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
    Window* dialog = FromHandle(hDlg);
    if (dialog == nullptr || dialog->kind != WindowKind::Dialog) {
        return FALSE;
    }
    dialog->modalEnded = true;
    dialog->modalResult = nResult;
    if (dialog->modalOwner != nullptr && dialog->modalOwner->alive) {
        EnableWindow(dialog->modalOwner->handle, TRUE);
        dialog->modalOwner = nullptr;
    }
    if (dialog->Visible()) {
        ShowWindowObject(dialog, SW_HIDE);
    }
    PostMessageA(hDlg, WM_NULL, 0, 0);
    return TRUE;
}

BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect) {
    if (FromHandle(hDlg) == nullptr) {
        return FALSE;
    }
    lpRect->left = DialogUnitsToPixelsX(lpRect->left);
    lpRect->right = DialogUnitsToPixelsX(lpRect->right);
    lpRect->top = DialogUnitsToPixelsY(lpRect->top);
    lpRect->bottom = DialogUnitsToPixelsY(lpRect->bottom);
    return TRUE;
}

LRESULT WINAPI DefDlgProcA(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Window* dialog = Lookup(hDlg);
    if (dialog == nullptr) {
        return 0;
    }
    if (dialog->dlgProc != nullptr) {
        dialog->dlgResultValue = 0;
        INT_PTR handled = dialog->dlgProc(hDlg, Msg, wParam, lParam);
        if (handled != 0) {
            switch (Msg) {
            case WM_INITDIALOG:
            case WM_QUERYDRAGICON:
            case WM_CTLCOLORDLG:
            case WM_CTLCOLORSTATIC:
                return handled;
            default:
                return Lookup(hDlg) != nullptr ? dialog->dlgResultValue : 0;
            }
        }
        if (Lookup(hDlg) == nullptr) {
            return 0;
        }
    }
    switch (Msg) {
    case WM_INITDIALOG:
        return 0;
    case WM_CLOSE:
        ClickCommand(dialog, IDCANCEL);
        return 0;
    case DM_GETDEFID: {
        if (dialog->defaultId != 0) {
            return MAKELONG(dialog->defaultId, DC_HASDEFID);
        }
        Window* button = DefaultButton(dialog);
        return button != nullptr ? MAKELONG(button->id, DC_HASDEFID) : 0;
    }
    case DM_SETDEFID:
        dialog->defaultId = (int)wParam;
        dialog->focusedButton = nullptr;
        return TRUE;
    case WM_NEXTDLGCTL:
        if (LOWORD(lParam) != 0) {
            Window* target = Lookup(reinterpret_cast<HWND>(wParam));
            if (target != nullptr) {
                SetFocusTo(target);
            }
        } else {
            FocusNextTabStop(dialog, Lookup(St().focus));
        }
        return 0;
    case WM_SETFOCUS: {
        Window* first = FirstTabStop(dialog);
        if (first != nullptr) {
            SetFocusTo(first);
        }
        return 0;
    }
    default:
        return DefWindowProcA(hDlg, Msg, wParam, lParam);
    }
}

BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
    Window* dialog = Lookup(hDlg);
    Window* target = Lookup(lpMsg->hwnd);
    if (dialog == nullptr || target == nullptr || !IsDescendant(dialog, target)) {
        return FALSE;
    }
    // The control says which keys it keeps for itself.
    LRESULT code = 0;
    if (lpMsg->message == WM_KEYDOWN || lpMsg->message == WM_CHAR) {
        code = CallProc(target, WM_GETDLGCODE, lpMsg->wParam, reinterpret_cast<LPARAM>(lpMsg));
    }
    bool wantsKey = (code & DLGC_WANTALLKEYS) != 0;
    if (lpMsg->message == WM_KEYDOWN && !wantsKey) {
        switch (lpMsg->wParam) {
        case VK_RETURN:
            if (IsPushButton(target) && dialog->focusedButton == target->handle) {
                ClickCommand(dialog, target->id);
            } else {
                LRESULT defId = CallProc(dialog, DM_GETDEFID, 0, 0);
                ClickCommand(dialog, HIWORD(defId) == DC_HASDEFID ? LOWORD(defId) : IDOK);
            }
            return TRUE;
        case VK_ESCAPE:
            ClickCommand(dialog, IDCANCEL);
            return TRUE;
        case VK_TAB:
            if ((code & DLGC_WANTTAB) != 0) {
                break;
            }
            FocusNextTabStop(dialog, target);
            return TRUE;
        default:
            break;
        }
    } else if (lpMsg->message == WM_CHAR) {
        WPARAM ch = lpMsg->wParam;
        if (!wantsKey && (ch == '\r' || ch == 27 || (ch == '\t' && (code & DLGC_WANTTAB) == 0))) {
            return TRUE;
        }
    }
    TranslateMessage(lpMsg);
    DispatchMessageA(lpMsg);
    return TRUE;
}
