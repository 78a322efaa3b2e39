#include "apps/setup/resource.h"
#include "apps/setup/wizard_pages.h"

#include <string.h>

namespace {

// The agreement is an RCDATA resource ending in its terminator.
void ShowAgreement(HWND edit) {
    HINSTANCE instance = GetModuleHandleA(NULL);
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(IDR_AGREEMENT), RT_RCDATA);
    if (found == NULL) {
        return;
    }
    const char* text = static_cast<const char*>(LockResource(LoadResource(instance, found)));
    DWORD size = SizeofResource(instance, found);
    if (text != NULL && size > 0 && memchr(text, '\0', size) != NULL) {
        SetWindowTextA(edit, text);
    }
}

} // namespace

LicencePage::LicencePage(WizardState* state) : WizardPage(IDD_LICENCE, state) {}

BOOL LicencePage::OnInitDialog() {
    WizardPage::OnInitDialog();
    HICON icon = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDR_SETUP));
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, (LPARAM)icon);
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, (LPARAM)icon);
    ShowAgreement(Item(IDC_AGREEMENT));
    return TRUE;
}

void LicencePage::OnAgree() {
    if (IsDlgButtonChecked(Handle(), IDC_AGREE) == BST_CHECKED) {
        Enable(IDC_NEXT, TRUE);
    }
}

void LicencePage::OnDisagree() {
    if (IsDlgButtonChecked(Handle(), IDC_DISAGREE) == BST_CHECKED) {
        Enable(IDC_NEXT, FALSE);
    }
}

DEFINE_DIALOG_EVENTS(LicencePage, WizardPage)
OnCommand(IDC_AGREE, &LicencePage::OnAgree), OnCommand(IDC_DISAGREE, &LicencePage::OnDisagree),
    OnCommand(IDC_NEXT, &LicencePage::OnNext), END_DIALOG_EVENTS()
