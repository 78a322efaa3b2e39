#include "apps/common/app.h"
#include "apps/setup/wizard.h"

#include <string.h>

void ClearWizardState(WizardState* state) {
    memset(state->installPath, 0, sizeof state->installPath);
    memset(state->osChoice, 0, sizeof state->osChoice);
    state->controlPanelPath[0] = '\0';
    state->installPage = NULL;
    state->progressCounter = 0;
}

int PageMessageBox(HWND page, LPCSTR text, UINT type) {
    Application* app = Application::Current();
    LPCSTR title = app != NULL && app->Title()[0] != '\0' ? app->Title() : NULL;
    return MessageBoxA(page, text, title, type);
}
