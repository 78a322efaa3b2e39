#include "apps/setup/resource.h"
#include "apps/setup/wizard_pages.h"

#include <string.h>

namespace {

const char kDefaultPath[] = "C:\\UsbTouch";

// The folder the user picks in the system's folder browser, or FALSE.
BOOL BrowseForFolder(HWND owner, char* path) {
    BROWSEINFOA browse;
    memset(&browse, 0, sizeof browse);
    browse.hwndOwner = owner;
    browse.lpszTitle = "Select destination path";
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST list = SHBrowseForFolderA(&browse);
    if (list == NULL) {
        return FALSE;
    }
    BOOL found = SHGetPathFromIDListA(list, path);
    // The list comes from the shell's allocator (the task allocator only
    // from 2000 on).
    IMalloc* allocator = NULL;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != NULL) {
        allocator->Free(list);
        allocator->Release();
    }
    return found;
}

} // namespace

PathPage::PathPage(WizardState* state) : WizardPage(IDD_PATH, state) {}

BOOL PathPage::OnInitDialog() {
    WizardPage::OnInitDialog();
    // A longer path could not be kept whole.
    SendDlgItemMessageA(Handle(), IDC_PATH, EM_LIMITTEXT, INSTALL_PATH_MAX, 0);
    SetDlgItemTextA(Handle(), IDC_PATH,
                    state_->installPath[0] != '\0' ? state_->installPath : kDefaultPath);
    return TRUE;
}

void PathPage::OnPathChange() {
    Enable(IDC_NEXT, GetWindowTextLengthA(Item(IDC_PATH)) > 0);
}

void PathPage::OnSelect() {
    char path[MAX_PATH];
    if (BrowseForFolder(Handle(), path)) {
        SetDlgItemTextA(Handle(), IDC_PATH, path);
    }
}

void PathPage::OnPathNext() {
    char text[INSTALL_PATH_MAX + 1];
    if (GetDlgItemTextA(Handle(), IDC_PATH, text, sizeof text) == 0) {
        return;
    }
    memcpy(state_->installPath, text, sizeof text);
    if (IsDirectory(state_->installPath)) {
        OnNext();
        return;
    }
    if (MessageBoxA(Handle(), "The device isn't exist. Do you want to create it.", "Prompt",
                    MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    if (EnsureDirectory(state_->installPath) && IsDirectory(state_->installPath)) {
        OnNext();
        return;
    }
    PageMessageBox(Handle(), "Create path error,input again", MB_OK);
}

DEFINE_DIALOG_EVENTS(PathPage, WizardPage)
OnControl(EN_CHANGE, IDC_PATH, &PathPage::OnPathChange), OnCommand(IDC_SELECT, &PathPage::OnSelect),
    OnCommand(IDC_NEXT, &PathPage::OnPathNext), END_DIALOG_EVENTS()
