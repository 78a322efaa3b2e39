// The wizard's program-wide state, its page sequence and the path and
// install steps the pages call. The state lives in the application object
// for the whole run; the pages get it by reference.
#pragma once

#include "apps/common/win.h"
#include "apps/setup/setup_files.h"

#define OS_CHOICE_SIZE 256
// InstallPath, a backslash and "tpanel.exe".
#define CONTROL_PANEL_PATH_SIZE (INSTALL_PATH_MAX + 1 + 16)

// Page results.
#define PAGE_PREV 0
#define PAGE_NEXT 1
#define PAGE_EXIT 2

struct WizardState {
    char installPath[INSTALL_PATH_MAX + 1];
    char osChoice[OS_CHOICE_SIZE];
    char controlPanelPath[CONTROL_PANEL_PATH_SIZE];
    // The open install page: owner of messages and of the setup functions.
    HWND installPage;
    // Never reset: the progress page's ticks.
    int progressCounter;
};

void ClearWizardState(WizardState* state);

// The page sequence from the progress page to the install page.
void RunWizard(WizardState* state);

BOOL IsDirectory(LPCSTR path);
// Creates every missing level of path below its drive.
BOOL EnsureDirectory(LPCSTR path);

// The install page's Start: files, drivers, OS flag, group and restart.
void StartInstall(WizardState* state);

// A message box with the program's title, owned by the page that shows it.
int PageMessageBox(HWND page, LPCSTR text, UINT type);
