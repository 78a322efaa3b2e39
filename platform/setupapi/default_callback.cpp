// The default queue callback. Windows shows progress and, on a missing
// source or a failed copy, asks the user; the machine's user cannot answer
// those dialogs, so the callback answers as a user who cancels.
#include "platform/setupapi/host_state.h"
#include "platform/setupapi/setupapi.h"

namespace {

struct DefaultContext {
    HWND owner;
};

} // namespace

PVOID WINAPI SetupInitDefaultQueueCallbackEx(HWND OwnerWindow, HWND AlternateProgressWindow,
                                             UINT ProgressMessage, DWORD Reserved1,
                                             PVOID Reserved2) {
    (void)AlternateProgressWindow;
    (void)ProgressMessage;
    (void)Reserved1;
    (void)Reserved2;
    return new DefaultContext{OwnerWindow};
}

UINT WINAPI SetupDefaultQueueCallbackA(PVOID Context, UINT Notification, UINT_PTR Param1,
                                       UINT_PTR Param2) {
    (void)Context;
    (void)Param1;
    (void)Param2;
    switch (Notification) {
    case SPFILENOTIFY_NEEDMEDIA:
    case SPFILENOTIFY_COPYERROR:
    case SPFILENOTIFY_DELETEERROR:
    case SPFILENOTIFY_RENAMEERROR:
        SetLastError(ERROR_CANCELLED);
        return FILEOP_ABORT;
    default:
        return FILEOP_DOIT; // TRUE for the queue and subqueue notifications
    }
}

VOID WINAPI SetupTermDefaultQueueCallback(PVOID Context) {
    delete static_cast<DefaultContext*>(Context);
}
