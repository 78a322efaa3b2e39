// The uninstaller: one question, and on Ok the uninstall procedure.
#include "apps/common/app.h"
#include "apps/common/modal_dialog.h"
#include "apps/remover/remover_entry.h"
#include "apps/remover/resource.h"
#include "apps/remover/uninstall.h"

namespace {

class AboutBox : public ModalDialog {
public:
    explicit AboutBox(ModalDialog* parent) : ModalDialog(IDD_ABOUTBOX, parent) {}
};

class RemoverDialog : public ModalDialog {
public:
    RemoverDialog() : ModalDialog(IDD_REMOVER), icon_(NULL) {
        icon_ = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDR_MAINFRAME));
    }

protected:
    BOOL OnInitDialog() override {
        ModalDialog::OnInitDialog();
        HMENU menu = GetSystemMenu(Handle(), FALSE);
        char text[64];
        if (menu != NULL &&
            LoadStringA(GetModuleHandleA(NULL), IDS_ABOUTBOX, text, sizeof text) > 0) {
            AppendMenuA(menu, MF_SEPARATOR, 0, NULL);
            AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, text);
        }
        SendMessageA(Handle(), WM_SETICON, ICON_BIG, (LPARAM)icon_);
        SendMessageA(Handle(), WM_SETICON, ICON_SMALL, (LPARAM)icon_);
        return TRUE;
    }

    void OnOK() override {
        RunUninstall(Handle());
        EndDialog(IDOK);
    }

private:
    void OnSystemCommand(UINT id, LPARAM) {
        if ((id & 0xFFF0) == IDM_ABOUTBOX) {
            AboutBox about(this);
            about.DoModal();
            return;
        }
        Default();
    }

    // Minimised, the dialog shows its icon centred in the client area.
    LRESULT OnPaint(WPARAM, LPARAM) {
        if (!PaintIconWhenMinimised(Handle(), icon_))
            return Default();
        return 0;
    }

    LRESULT OnQueryDragIcon(WPARAM, LPARAM) { return (LRESULT)icon_; }

    HICON icon_;

    DECLARE_DIALOG_EVENTS(RemoverDialog)
};

DEFINE_DIALOG_EVENTS(RemoverDialog, ModalDialog)
OnSysCommand(&RemoverDialog::OnSystemCommand), OnMessage(WM_PAINT, &RemoverDialog::OnPaint),
    OnMessage(WM_QUERYDRAGICON, &RemoverDialog::OnQueryDragIcon),
    END_DIALOG_EVENTS()

        class RemoverApp : public Application {
public:
    BOOL InitInstance() override {
        RemoverDialog dialog;
        SetMainDialog(&dialog);
        dialog.DoModal();
        SetMainDialog(NULL);
        return FALSE;
    }
};

} // namespace

PROGRAM_ENTRY(RemoverMain, RemoverApp)
