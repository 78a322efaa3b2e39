// What the built-in classes share: class names and atoms, initial state,
// notifications to the parent and repainting.
#include "platform/win32/controls.h"
#include "platform/win32/window_manager.h"

#include <strings.h>

namespace platform::win32::detail {

std::string ClassForAtom(WORD atom) {
    switch (atom) {
    case 0x0080:
        return "Button";
    case 0x0081:
        return "Edit";
    case 0x0082:
        return "Static";
    case 0x0083:
        return "ListBox";
    case 0x0084:
        return "ScrollBar";
    case 0x0085:
        return "ComboBox";
    default: {
        // Named: "literal" + temporary string makes GCC 12 at -O3 report a
        // false -Wrestrict.
        const std::string number = std::to_string(atom);
        return "#" + number;
    }
    }
}

bool KindForClass(const std::string& name, WindowKind* kind) {
    static const struct {
        const char* name;
        WindowKind kind;
    } kClasses[] = {
        {"Button", WindowKind::Button},
        {"Static", WindowKind::Static},
        {"Edit", WindowKind::Edit},
        {"ComboBox", WindowKind::ComboBox},
        {TRACKBAR_CLASSA, WindowKind::Trackbar},
        {PROGRESS_CLASSA, WindowKind::Progress},
        {"#32770", WindowKind::Dialog},
    };
    for (const auto& entry : kClasses) {
        if (strcasecmp(entry.name, name.c_str()) == 0) {
            *kind = entry.kind;
            return true;
        }
    }
    return false;
}

WNDPROC ProcForKind(WindowKind kind) {
    switch (kind) {
    case WindowKind::Button:
        return ButtonProc;
    case WindowKind::Static:
        return StaticProc;
    case WindowKind::Edit:
        return EditProc;
    case WindowKind::ComboBox:
        return ComboProc;
    case WindowKind::Trackbar:
        return TrackbarProc;
    case WindowKind::Progress:
        return ProgressProc;
    default:
        return DefDlgProcA;
    }
}

void InitControlState(Window* w) {
    switch (w->kind) {
    case WindowKind::Trackbar:
        w->rangeMin = 0;
        w->rangeMax = 100;
        w->pageSize = 20;
        w->lineSize = 1;
        w->ticFreq = 1;
        break;
    case WindowKind::Progress:
        w->rangeMin = 0;
        w->rangeMax = 100;
        w->step = 10;
        break;
    case WindowKind::ComboBox:
        // The template height includes the open list; the field is fixed.
        w->droppedHeight = w->rect.bottom - w->rect.top;
        w->rect.bottom = w->rect.top + kComboFieldHeight;
        break;
    default:
        break;
    }
}

void NotifyCommand(Window* control, WORD code) {
    if (control->parent == nullptr) {
        return;
    }
    CallProc(control->parent, WM_COMMAND, MAKEWPARAM(control->id, code),
             reinterpret_cast<LPARAM>(control->handle));
}

void NotifyHeader(Window* control, UINT code) {
    if (control->parent == nullptr) {
        return;
    }
    NMHDR header{control->handle, (UINT_PTR)control->id, code};
    CallProc(control->parent, WM_NOTIFY, (WPARAM)control->id, reinterpret_cast<LPARAM>(&header));
}

void Repaint(Window* control) {
    Invalidate(control, true, false);
}

void TakeFocus(Window* control) {
    if (St().focus != control->handle) {
        SetFocus(control->handle);
    }
}

LRESULT SwapImage(Window* control, LPARAM image) {
    HANDLE old = control->image;
    control->image = reinterpret_cast<HANDLE>(image);
    Repaint(control);
    return reinterpret_cast<LRESULT>(old);
}

LRESULT ControlDefault(Window* control, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT || message == WM_ENABLE) {
        Repaint(control);
    }
    return DefWindowProcA(control->handle, message, wParam, lParam);
}

bool PointInClient(Window* w, LPARAM lParam) {
    RECT client = ClientRectInWindow(w);
    int x = GET_X_LPARAM(lParam);
    int y = GET_Y_LPARAM(lParam);
    return x >= 0 && y >= 0 && x < client.right - client.left && y < client.bottom - client.top;
}

} // namespace platform::win32::detail
