// The setup wizard: a painted background over the whole screen, and on it
// the pages from the licence to Start.
#include "apps/common/app.h"
#include "apps/setup/background_window.h"
#include "apps/setup/setup_entry.h"

namespace {

class SetupApp : public Application {
public:
    BOOL InitInstance() override {
        EnableThreeDLook();
        EnableControlContainer();
        InitCommonControls();
        ClearWizardState(&state_);
        BackgroundWindow background(&state_);
        SetMainDialog(&background);
        background.DoModal();
        SetMainDialog(NULL);
        return FALSE;
    }

private:
    WizardState state_;
};

} // namespace

PROGRAM_ENTRY(SetupMain, SetupApp)
