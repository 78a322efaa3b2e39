// Modal dialogs of the dialog framework. A dialog class derives from
// ModalDialog and routes window messages, control notifications and
// command identifiers to its handler methods through a const table:
//
//   class MainDialog : public ModalDialog {
//   public:
//       MainDialog() : ModalDialog(IDD_MAIN) {}
//   private:
//       void OnConfig();
//       LRESULT OnStart(WPARAM, LPARAM);
//       DECLARE_DIALOG_EVENTS(MainDialog)
//   };
//
//   DEFINE_DIALOG_EVENTS(MainDialog, ModalDialog)
//       OnCommand(IDC_CONFIG, &MainDialog::OnConfig),
//       OnMessage(9999, &MainDialog::OnStart),
//   END_DIALOG_EVENTS()
//
// Dispatch looks through the class's table, then its base classes' tables;
// the first matching entry handles the message. Anything unhandled gets the
// default dialog handling (Default()). The base table maps IDOK to OnOK and
// IDCANCEL to OnCancel (Enter, Escape, the close box and WM_CLOSE).
#pragma once

#include "apps/common/win.h"

class ModalDialog;
class DataExchange;

// The handler forms a table entry can hold.
enum DialogHandlerKind {
    HandlerEnd,        // ends a table
    HandlerVoid,       // void ()
    HandlerNotify,     // void (NMHDR* header, LRESULT* result)
    HandlerMessage,    // LRESULT (WPARAM, LPARAM)
    HandlerTimer,      // void (UINT_PTR id)
    HandlerSysCommand, // void (UINT id, LPARAM lParam)
    HandlerScroll,     // void (UINT code, UINT position, HWND control)
};

// The handler of an entry; kind says which member is set.
union DialogHandler {
    void (ModalDialog::*plain)();
    void (ModalDialog::*notify)(NMHDR*, LRESULT*);
    LRESULT (ModalDialog::*message)(WPARAM, LPARAM);
    void (ModalDialog::*timer)(UINT_PTR);
    void (ModalDialog::*sysCommand)(UINT, LPARAM);
    void (ModalDialog::*scroll)(UINT, UINT, HWND);
};

struct DialogEvent {
    UINT message; // WM_COMMAND, WM_NOTIFY or any other window message
    UINT code;    // notification code for WM_COMMAND and WM_NOTIFY
    UINT firstId; // control or command identifiers, inclusive
    UINT lastId;
    DialogHandlerKind kind;
    DialogHandler handler;
};

inline DialogEvent MakeDialogEvent(UINT message, UINT code, UINT id, DialogHandlerKind kind) {
    DialogEvent e;
    e.message = message;
    e.code = code;
    e.firstId = id;
    e.lastId = id;
    e.kind = kind;
    e.handler.plain = 0;
    return e;
}

// The base is reached through its function so that each table is a constant:
// a table built at run time would pull the runtime's guarded-static locks
// (and the Unicode routines behind them) into every program.
struct DialogEventTable {
    const DialogEventTable* (*base)();
    const DialogEvent* events;
};

// Table entries. The handler may be a member of any class derived from
// ModalDialog; its form is checked when the entry is made.

// A command: a button click (BN_CLICKED), a menu or accelerator command.
template <class D> DialogEvent OnCommand(UINT id, void (D::*handler)()) {
    DialogEvent e = MakeDialogEvent(WM_COMMAND, 0, id, HandlerVoid);
    e.handler.plain = static_cast<void (ModalDialog::*)()>(handler);
    return e;
}

template <class D> DialogEvent OnCommandRange(UINT first, UINT last, void (D::*handler)()) {
    DialogEvent e = OnCommand(first, handler);
    e.lastId = last;
    return e;
}

// A control notification sent with WM_COMMAND (CBN_SELCHANGE, EN_CHANGE ...).
template <class D> DialogEvent OnControl(UINT code, UINT id, void (D::*handler)()) {
    DialogEvent e = OnCommand(id, handler);
    e.code = code;
    return e;
}

// A notification sent with WM_NOTIFY (NM_RELEASEDCAPTURE ...).
template <class D> DialogEvent OnNotify(UINT code, UINT id, void (D::*handler)(NMHDR*, LRESULT*)) {
    DialogEvent e = MakeDialogEvent(WM_NOTIFY, code, id, HandlerNotify);
    e.handler.notify = static_cast<void (ModalDialog::*)(NMHDR*, LRESULT*)>(handler);
    return e;
}

// Any window message, answered with the handler's result.
template <class D> DialogEvent OnMessage(UINT message, LRESULT (D::*handler)(WPARAM, LPARAM)) {
    DialogEvent e = MakeDialogEvent(message, 0, 0, HandlerMessage);
    e.handler.message = static_cast<LRESULT (ModalDialog::*)(WPARAM, LPARAM)>(handler);
    return e;
}

// A window message whose handler needs no parameters (WM_PAINT, WM_CLOSE ...).
template <class D> DialogEvent OnMessageVoid(UINT message, void (D::*handler)()) {
    DialogEvent e = MakeDialogEvent(message, 0, 0, HandlerVoid);
    e.handler.plain = static_cast<void (ModalDialog::*)()>(handler);
    return e;
}

template <class D> DialogEvent OnTimer(void (D::*handler)(UINT_PTR)) {
    DialogEvent e = MakeDialogEvent(WM_TIMER, 0, 0, HandlerTimer);
    e.handler.timer = static_cast<void (ModalDialog::*)(UINT_PTR)>(handler);
    return e;
}

template <class D> DialogEvent OnSysCommand(void (D::*handler)(UINT, LPARAM)) {
    DialogEvent e = MakeDialogEvent(WM_SYSCOMMAND, 0, 0, HandlerSysCommand);
    e.handler.sysCommand = static_cast<void (ModalDialog::*)(UINT, LPARAM)>(handler);
    return e;
}

// WM_HSCROLL (trackbars and horizontal scroll bars).
template <class D> DialogEvent OnHScroll(void (D::*handler)(UINT, UINT, HWND)) {
    DialogEvent e = MakeDialogEvent(WM_HSCROLL, 0, 0, HandlerScroll);
    e.handler.scroll = static_cast<void (ModalDialog::*)(UINT, UINT, HWND)>(handler);
    return e;
}

inline DialogEvent EndOfDialogEvents() {
    return MakeDialogEvent(0, 0, 0, HandlerEnd);
}

#define DECLARE_DIALOG_EVENTS(Class)                                                               \
public:                                                                                            \
    static const DialogEventTable* ClassEvents();                                                  \
    const DialogEventTable* Events() const override {                                              \
        return Class::ClassEvents();                                                               \
    }                                                                                              \
                                                                                                   \
private:                                                                                           \
    static const DialogEvent kDialogEvents[];

#define DEFINE_DIALOG_EVENTS(Class, Base)                                                          \
    const DialogEventTable* Class::ClassEvents() {                                                 \
        static const DialogEventTable table = {&Base::ClassEvents, Class::kDialogEvents};          \
        return &table;                                                                             \
    }                                                                                              \
    const DialogEvent Class::kDialogEvents[] = {

#define END_DIALOG_EVENTS()                                                                        \
    EndOfDialogEvents()                                                                            \
    }                                                                                              \
    ;

class ModalDialog {
public:
    // parent: the owner while the dialog runs; NULL for the program's main
    // dialog (or, for any other dialog, the main dialog).
    explicit ModalDialog(UINT templateId, ModalDialog* parent = NULL);
    virtual ~ModalDialog();

    // Runs the dialog modally; the result given to EndDialog, or -1 when the
    // dialog could not be created.
    INT_PTR DoModal();

    HWND Handle() const { return window_; }
    HWND Item(int id) const;
    UINT TemplateId() const { return templateId_; }

    // Moves data between the controls and the members bound in
    // DoDataExchange: TRUE from the controls, FALSE to them. FALSE when a
    // field failed to validate.
    BOOL UpdateData(BOOL saveAndValidate);

    static const DialogEventTable* ClassEvents();
    virtual const DialogEventTable* Events() const { return ClassEvents(); }

protected:
    // When the dialog is created: loads the combo box items of the dialog's
    // initialisation resource, transfers data to the controls (UpdateData
    // FALSE) and returns TRUE so the dialog sets the default focus.
    virtual BOOL OnInitDialog();
    // IDOK: takes the data from the controls; ends with IDOK if it validates.
    virtual void OnOK();
    // IDCANCEL: ends with IDCANCEL.
    virtual void OnCancel();
    virtual void DoDataExchange(DataExchange* exchange);

    void EndDialog(INT_PTR result);
    // The default handling of the message being dispatched.
    LRESULT Default();

private:
    static INT_PTR CALLBACK StartProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK DispatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    const DialogEvent* FindEvent(UINT message, WPARAM wParam, LPARAM lParam) const;
    LRESULT Invoke(const DialogEvent* event, WPARAM wParam, LPARAM lParam);
    void LoadInitialisationData();

    static const DialogEvent kDialogEvents[];

    UINT templateId_;
    ModalDialog* parent_;
    HWND window_;
    WNDPROC defaultProc_;
    // The message being dispatched, for Default().
    UINT message_;
    WPARAM wParam_;
    LPARAM lParam_;
};

// A minimised dialog shows its icon centred in its client area. FALSE when the
// window is not minimised and paints as usual.
BOOL PaintIconWhenMinimised(HWND window, HICON icon);
