// The application object of the dialog framework: one per program run,
// created by PROGRAM_ENTRY on the stack of the entry function.
//
//   class PanelApp : public Application {
//       BOOL InitInstance() override { MainDialog dlg; SetMainDialog(&dlg);
//                                      dlg.DoModal(); return FALSE; }
//   };
//   PROGRAM_ENTRY(TpanelMain, PanelApp)
//
// On Windows PROGRAM_ENTRY defines WinMain; on the host it defines a
// WinMain-like function of the given name for the program runtime to start.
#pragma once

#include "apps/common/win.h"

class ModalDialog;

class Application {
public:
    Application();
    virtual ~Application();

    // InitInstance, then (if it returned TRUE) a message loop until WM_QUIT;
    // the exit code is what ExitInstance returns.
    int Run(HINSTANCE instance, LPSTR commandLine, int show);

    // Called once at start; FALSE ends the program without a message loop.
    virtual BOOL InitInstance();
    // Called at the end; returns the exit code (by default the WM_QUIT
    // code, 0 when there was no loop).
    virtual int ExitInstance();

    HINSTANCE Instance() const { return instance_; }
    LPCSTR CommandLine() const { return commandLine_; }
    int ShowCommand() const { return show_; }

    // The program's main window: the owner of dialogs that name none.
    ModalDialog* MainDialog() const { return mainDialog_; }
    void SetMainDialog(ModalDialog* dialog) { mainDialog_ = dialog; }

    // Kept for programs written against frameworks that needed them: the
    // 3-D control look is the system's own since Windows 95, and no program
    // here hosts controls of a control container. Both do nothing.
    void EnableThreeDLook() {}
    void EnableControlContainer() {}

    // The program's title: its file name without directory and extension.
    LPCSTR Title() const { return title_; }

    // The application of the calling thread's program, or NULL.
    static Application* Current();

protected:
    int exitCode_;

private:
    HINSTANCE instance_;
    LPSTR commandLine_;
    int show_;
    ModalDialog* mainDialog_;
    char title_[MAX_PATH];
};

// A message box with the program's title as caption, owned by the main
// window (if there is one).
int AppMessageBox(LPCSTR text, UINT type);

#if defined(_WIN32)
#define PROGRAM_ENTRY(name, AppClass)                                                              \
    int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {               \
        AppClass app;                                                                              \
        return app.Run(instance, commandLine, show);                                               \
    }
#else
#define PROGRAM_ENTRY(name, AppClass)                                                              \
    int WINAPI name(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {                  \
        AppClass app;                                                                              \
        return app.Run(instance, commandLine, show);                                               \
    }
#endif
