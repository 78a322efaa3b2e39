// The dialog is created by DialogBoxParamA with StartProc as its dialog
// procedure. On WM_INITDIALOG the object attaches itself (DWLP_USER) and
// subclasses the window with DispatchProc, so every later message goes
// through the event tables first; what no table handles goes to the
// dialog class's own procedure, which asks StartProc (FALSE: not handled)
// and then does the standard dialog handling.
#include "apps/common/modal_dialog.h"

#include "apps/common/app.h"
#include "apps/common/data_exchange.h"

#include <string.h>

namespace {

// The resource type of dialog initialisation data, as the resource editors
// of the time emitted it: per item a control id, a 16-bit message, a 32-bit
// length and that many bytes; a zero id ends the list.
const WORD kDialogInitType = 240;
// Messages there are in their 16-bit numbering (WM_USER + 3 and + 1).
const WORD kInitComboAddString = 0x0403;
const WORD kInitListAddString = 0x0401;
const UINT kListBoxAddString = 0x0180; // LB_ADDSTRING

} // namespace

const DialogEvent ModalDialog::kDialogEvents[] = {
    OnCommand(IDOK, &ModalDialog::OnOK),
    OnCommand(IDCANCEL, &ModalDialog::OnCancel),
    EndOfDialogEvents(),
};

const DialogEventTable* ModalDialog::ClassEvents() {
    static const DialogEventTable table = {NULL, ModalDialog::kDialogEvents};
    return &table;
}

ModalDialog::ModalDialog(UINT templateId, ModalDialog* parent)
    : templateId_(templateId), parent_(parent), window_(NULL), defaultProc_(NULL), message_(0),
      wParam_(0), lParam_(0) {}

ModalDialog::~ModalDialog() {}

INT_PTR ModalDialog::DoModal() {
    HWND owner = NULL;
    if (parent_ != NULL) {
        owner = parent_->Handle();
    } else {
        Application* app = Application::Current();
        if (app != NULL && app->MainDialog() != NULL && app->MainDialog() != this) {
            owner = app->MainDialog()->Handle();
        }
    }
    return DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(templateId_), owner, StartProc,
                           reinterpret_cast<LPARAM>(this));
}

HWND ModalDialog::Item(int id) const {
    return window_ != NULL ? GetDlgItem(window_, id) : NULL;
}

BOOL ModalDialog::UpdateData(BOOL saveAndValidate) {
    DataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return exchange.Failed() ? FALSE : TRUE;
}

BOOL ModalDialog::OnInitDialog() {
    LoadInitialisationData();
    UpdateData(FALSE);
    return TRUE;
}

void ModalDialog::OnOK() {
    if (!UpdateData(TRUE)) {
        return;
    }
    EndDialog(IDOK);
}

void ModalDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void ModalDialog::DoDataExchange(DataExchange* exchange) {
    UNREFERENCED_PARAMETER(exchange);
}

void ModalDialog::EndDialog(INT_PTR result) {
    if (window_ != NULL) {
        ::EndDialog(window_, result);
    }
}

LRESULT ModalDialog::Default() {
    if (window_ == NULL || defaultProc_ == NULL) {
        return 0;
    }
    return CallWindowProcA(defaultProc_, window_, message_, wParam_, lParam_);
}

INT_PTR CALLBACK ModalDialog::StartProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    UNREFERENCED_PARAMETER(wParam);
    if (message != WM_INITDIALOG) {
        return FALSE;
    }
    ModalDialog* self = reinterpret_cast<ModalDialog*>(lParam);
    self->window_ = window;
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->defaultProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DispatchProc)));
    self->message_ = message;
    self->wParam_ = wParam;
    self->lParam_ = lParam;
    return self->OnInitDialog();
}

LRESULT CALLBACK ModalDialog::DispatchProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    ModalDialog* self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (self == NULL || self->window_ != window) {
        return DefDlgProcA(window, message, wParam, lParam);
    }
    LRESULT result = self->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The window is gone; the object may outlive it.
        self->window_ = NULL;
        self->defaultProc_ = NULL;
    }
    return result;
}

LRESULT ModalDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    UINT savedMessage = message_;
    WPARAM savedWParam = wParam_;
    LPARAM savedLParam = lParam_;
    message_ = message;
    wParam_ = wParam;
    lParam_ = lParam;
    const DialogEvent* event = FindEvent(message, wParam, lParam);
    LRESULT result = event != NULL ? Invoke(event, wParam, lParam) : Default();
    message_ = savedMessage;
    wParam_ = savedWParam;
    lParam_ = savedLParam;
    return result;
}

const DialogEvent* ModalDialog::FindEvent(UINT message, WPARAM wParam, LPARAM lParam) const {
    UINT code = 0;
    UINT id = 0;
    if (message == WM_COMMAND) {
        code = HIWORD(wParam);
        id = LOWORD(wParam);
    } else if (message == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header == NULL) {
            return NULL;
        }
        code = header->code;
        id = (UINT)header->idFrom;
    }
    for (const DialogEventTable* table = Events(); table != NULL;
         table = table->base != NULL ? table->base() : NULL) {
        for (const DialogEvent* e = table->events; e->kind != HandlerEnd; ++e) {
            if (e->message != message) {
                continue;
            }
            if (message == WM_COMMAND || message == WM_NOTIFY) {
                if (e->code != code || id < e->firstId || id > e->lastId) {
                    continue;
                }
            }
            return e;
        }
    }
    return NULL;
}

LRESULT ModalDialog::Invoke(const DialogEvent* event, WPARAM wParam, LPARAM lParam) {
    const DialogHandler& h = event->handler;
    switch (event->kind) {
    case HandlerVoid:
        (this->*h.plain)();
        return 0;
    case HandlerNotify: {
        LRESULT result = 0;
        (this->*h.notify)(reinterpret_cast<NMHDR*>(lParam), &result);
        return result;
    }
    case HandlerMessage:
        return (this->*h.message)(wParam, lParam);
    case HandlerTimer:
        (this->*h.timer)(wParam);
        return 0;
    case HandlerSysCommand:
        (this->*h.sysCommand)((UINT)wParam, lParam);
        return 0;
    case HandlerScroll:
        (this->*h.scroll)(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    default:
        return Default();
    }
}

void ModalDialog::LoadInitialisationData() {
    HINSTANCE instance = GetModuleHandleA(NULL);
    HRSRC found =
        FindResourceA(instance, MAKEINTRESOURCEA(templateId_), MAKEINTRESOURCEA(kDialogInitType));
    if (found == NULL) {
        return;
    }
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(instance, found)));
    DWORD size = SizeofResource(instance, found);
    DWORD offset = 0;
    while (data != NULL && offset + 2 <= size) {
        WORD id;
        memcpy(&id, data + offset, 2);
        if (id == 0 || offset + 8 > size) {
            break;
        }
        WORD message;
        DWORD length;
        memcpy(&message, data + offset + 2, 2);
        memcpy(&length, data + offset + 4, 4);
        offset += 8;
        if (length > size - offset) {
            break;
        }
        char text[256];
        DWORD copy = length < sizeof text - 1 ? length : sizeof text - 1;
        memcpy(text, data + offset, copy);
        text[copy] = '\0';
        offset += length;
        if (message == kInitComboAddString) {
            SendDlgItemMessageA(window_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        } else if (message == kInitListAddString) {
            SendDlgItemMessageA(window_, id, kListBoxAddString, 0, reinterpret_cast<LPARAM>(text));
        }
    }
}

BOOL PaintIconWhenMinimised(HWND window, HICON icon) {
    if (!IsIconic(window))
        return FALSE;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    SendMessageA(window, WM_ICONERASEBKGND, (WPARAM)dc, 0);
    RECT client;
    GetClientRect(window, &client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon);
    EndPaint(window, &ps);
    return TRUE;
}
