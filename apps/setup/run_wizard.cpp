#include "apps/setup/wizard_pages.h"

namespace {

enum Step { ShowLicence, ShowOsType, ShowPath, ShowInstall, Done };

// Each page is made anew when it shows, so its controls start as the
// resource has them.
template <class Page> INT_PTR Show(WizardState* state) {
    Page page(state);
    return page.DoModal();
}

} // namespace

void RunWizard(WizardState* state) {
    Show<ProgressPage>(state);
    Step step = ShowLicence;
    while (step != Done) {
        switch (step) {
        case ShowLicence:
            step = Show<LicencePage>(state) == PAGE_NEXT ? ShowOsType : Done;
            break;
        case ShowOsType: {
            INT_PTR result = Show<OsTypePage>(state);
            step = result == PAGE_PREV ? ShowLicence : result == PAGE_NEXT ? ShowPath : Done;
            break;
        }
        case ShowPath: {
            INT_PTR result = Show<PathPage>(state);
            if (result == PAGE_NEXT) {
                WriteDefaultSettings();
            }
            step = result == PAGE_PREV ? ShowOsType : result == PAGE_NEXT ? ShowInstall : Done;
            break;
        }
        case ShowInstall:
            step = Show<InstallPage>(state) == PAGE_PREV ? ShowPath : Done;
            break;
        case Done:
            break;
        }
    }
}
