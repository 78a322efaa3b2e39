#include "apps/common/app.h"

#include "apps/common/modal_dialog.h"

#include <string.h>
#if defined(_WIN32) && defined(__i386__)
#include <float.h>
#endif

namespace {

#if defined(_WIN32)
// A program is its own process with one user-interface thread. (Thread-local
// storage here would bring the compiler runtime's emulated TLS, whose lock is
// CreateSemaphoreW, a stub on 98.)
Application* currentApplication = NULL;
#else
// Several programs may share a host process, each on its own thread.
thread_local Application* currentApplication = NULL;
#endif

// The tables and coefficients are defined in double arithmetic. The platform
// compiler's runtime starts a 32-bit program with the x87 unit rounding to
// double (_CW_DEFAULT holds _PC_53); mingw's leaves it at 64 bits, where
// 300 * 54.61 stays just below 16383 and truncates one lower.
void UseDoublePrecision() {
#if defined(_WIN32) && defined(__i386__)
    _controlfp(_PC_53, _MCW_PC);
#endif
}

} // namespace

Application::Application()
    : exitCode_(0), instance_(NULL), commandLine_(NULL), show_(SW_SHOWNORMAL), mainDialog_(NULL) {
    title_[0] = '\0';
}

Application::~Application() {
    if (currentApplication == this) {
        currentApplication = NULL;
    }
}

Application* Application::Current() {
    return currentApplication;
}

BOOL Application::InitInstance() {
    return TRUE;
}

int Application::ExitInstance() {
    return exitCode_;
}

int Application::Run(HINSTANCE instance, LPSTR commandLine, int show) {
    UseDoublePrecision();
    currentApplication = this;
    instance_ = instance;
    commandLine_ = commandLine;
    show_ = show;

    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        path[0] = '\0';
    } else {
        path[length] = '\0';
    }
    const char* name = strrchr(path, '\\');
    name = name != NULL ? name + 1 : path;
    strncpy(title_, name, sizeof title_ - 1);
    title_[sizeof title_ - 1] = '\0';
    char* dot = strrchr(title_, '.');
    if (dot != NULL) {
        *dot = '\0';
    }

    if (InitInstance()) {
        MSG msg;
        BOOL got;
        while ((got = GetMessageA(&msg, NULL, 0, 0)) != 0 && got != -1) {
            HWND main = mainDialog_ != NULL ? mainDialog_->Handle() : NULL;
            if (main == NULL || !IsDialogMessageA(main, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        exitCode_ = got == 0 ? (int)msg.wParam : -1;
    }
    return ExitInstance();
}

int AppMessageBox(LPCSTR text, UINT type) {
    Application* app = Application::Current();
    HWND owner = NULL;
    LPCSTR caption = NULL;
    if (app != NULL) {
        caption = app->Title()[0] != '\0' ? app->Title() : NULL;
        if (app->MainDialog() != NULL) {
            owner = app->MainDialog()->Handle();
        }
    }
    return MessageBoxA(owner, text, caption, type);
}
