// The dialog manager's internals shared with the message box.
#pragma once

#include "platform/win32/dialog_template.h"
#include "platform/win32/runtime_state.h"

namespace platform::win32::detail {

// Creates a dialog and its controls from a template and sends WM_INITDIALOG;
// the dialog stays hidden. nullptr (with the last error set) when a control
// class does not exist.
Window* BuildDialog(HINSTANCE instance, const DialogTemplate& t, HWND owner, DLGPROC proc,
                    LPARAM param);

// Creates one control of a dialog (pixels, client coordinates).
Window* AddControl(Window* dialog, WindowKind kind, const std::string& className, DWORD style,
                   DWORD exStyle, int id, const std::string& text, const RECT& rect);

// A dialog the system builds in memory (message box, folder browser): a
// captioned modal frame with that client size, centred on the screen.
Window* CreateSystemDialog(Window* owner, const std::string& caption, int width, int height,
                           DWORD extraExStyle);

// The modal loop of DialogBox and MessageBox: shows the dialog, disables the
// owner, dispatches until EndDialog, destroys the dialog.
INT_PTR RunModal(Window* dialog, bool show);

} // namespace platform::win32::detail
