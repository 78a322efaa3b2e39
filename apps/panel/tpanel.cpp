// The control panel program: its main window is the whole program.
#include "apps/common/app.h"
#include "apps/panel/main_dialog.h"
#include "apps/panel/tpanel_entry.h"

namespace {

class PanelApp : public Application {
public:
    // Value-initialised: the state is zero at start, the link constructed.
    PanelApp() : state_() {}

    BOOL InitInstance() override {
        // The slider and the progress bar are common controls.
        InitCommonControls();
        ::MainDialog dialog;
        state_.Main = &dialog;
        SetMainDialog(&dialog);
        dialog.DoModal();
        SetMainDialog(NULL);
        state_.Main = NULL;
        return FALSE;
    }

    PanelState* State() { return &state_; }

private:
    PanelState state_;
};

} // namespace

PanelState* Panel() {
    return static_cast<PanelApp*>(Application::Current())->State();
}

PROGRAM_ENTRY(TpanelMain, PanelApp)
