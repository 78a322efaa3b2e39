// The wizard's pages. Each ends with PAGE_NEXT, PAGE_PREV or PAGE_EXIT;
// Exit and Escape end every page but the progress page with PAGE_EXIT.
// Enter does nothing on them: there is no default button, and ending with
// IDOK (1) would pass for Next without the page's checks.
#pragma once

#include "apps/common/modal_dialog.h"
#include "apps/setup/wizard.h"

class WizardPage : public ModalDialog {
public:
    WizardPage(UINT templateId, WizardState* state) : ModalDialog(templateId), state_(state) {}

protected:
    void OnOK() override {}
    void OnCancel() override { EndDialog(PAGE_EXIT); }
    void OnNext() { EndDialog(PAGE_NEXT); }
    void OnPrev() { EndDialog(PAGE_PREV); }
    void Enable(int id, BOOL enable) { EnableWindow(Item(id), enable); }

    WizardState* state_;

    DECLARE_DIALOG_EVENTS(WizardPage)
};

// Closes by itself on its fifth tick; its result is not looked at.
class ProgressPage : public ModalDialog {
public:
    explicit ProgressPage(WizardState* state);

protected:
    BOOL OnInitDialog() override;

private:
    void OnTick(UINT_PTR id);

    WizardState* state_;

    DECLARE_DIALOG_EVENTS(ProgressPage)
};

class LicencePage : public WizardPage {
public:
    explicit LicencePage(WizardState* state);

protected:
    BOOL OnInitDialog() override;

private:
    void OnAgree();
    void OnDisagree();

    DECLARE_DIALOG_EVENTS(LicencePage)
};

class OsTypePage : public WizardPage {
public:
    explicit OsTypePage(WizardState* state);

protected:
    BOOL OnInitDialog() override;

private:
    void Choose(int id);
    void OnChoose98();
    void OnChooseXp();
    void OnOsNext();

    DECLARE_DIALOG_EVENTS(OsTypePage)
};

class PathPage : public WizardPage {
public:
    explicit PathPage(WizardState* state);

protected:
    BOOL OnInitDialog() override;

private:
    void OnPathChange();
    void OnSelect();
    void OnPathNext();

    DECLARE_DIALOG_EVENTS(PathPage)
};

class InstallPage : public WizardPage {
public:
    explicit InstallPage(WizardState* state);

protected:
    BOOL OnInitDialog() override;

private:
    void OnStart();

    DECLARE_DIALOG_EVENTS(InstallPage)
};
