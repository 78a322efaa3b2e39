// Notification-area icons, ShellExecuteA and WinExec.
//
//   shell open file="C:\UsbTouch\guidebk.hlp" result=2
#include "platform/win32/runtime_state.h"
#include "platform/win32/win_shell.h"
#include "platform/trace/trace.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace platform::win32 {

void SetProgramLauncher(ProgramLauncher launcher) {
    detail::St().launcher = std::move(launcher);
}

} // namespace platform::win32

using platform::win32::detail::St;

BOOL WINAPI Shell_NotifyIconA(DWORD dwMessage, PNOTIFYICONDATAA lpData) {
    if (lpData == nullptr) {
        return FALSE;
    }
    auto& icons = St().notifyIcons;
    std::pair<HWND, UINT> key{lpData->hWnd, lpData->uID};
    auto found = std::find(icons.begin(), icons.end(), key);
    switch (dwMessage) {
    case NIM_ADD:
        if (found != icons.end() || platform::win32::detail::Lookup(lpData->hWnd) == nullptr) {
            return FALSE;
        }
        icons.push_back(key);
        return TRUE;
    case NIM_MODIFY:
        return found != icons.end();
    case NIM_DELETE:
        // An icon never added is not there to delete.
        if (found == icons.end()) {
            return FALSE;
        }
        icons.erase(found);
        return TRUE;
    default:
        return FALSE;
    }
}

// The trace shows a path as typed, backslashes single.
static std::string QuotedPath(const char* path) {
    std::string text = "\"";
    for (const char* c = path; *c != '\0'; ++c) {
        if (*c == '"') {
            text += '\\';
        }
        text += *c;
    }
    return text + "\"";
}

HINSTANCE WINAPI ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                               LPCSTR lpDirectory, INT nShowCmd) {
    (void)hwnd;
    (void)lpParameters;
    (void)lpDirectory;
    (void)nShowCmd;
    const char* verb = lpOperation != nullptr ? lpOperation : "open";
    const char* file = lpFile != nullptr ? lpFile : "";
    // No file of the machine can be found yet: every open fails as a
    // missing file does.
    UINT_PTR result = SE_ERR_FNF;
    platform::trace::Emit(St().kernel.Now(), std::string("shell ") + verb +
                                                 " file=" + QuotedPath(file) +
                                                 " result=" + std::to_string(result));
    return reinterpret_cast<HINSTANCE>(result);
}

UINT WINAPI WinExec(LPCSTR lpCmdLine, UINT uCmdShow) {
    auto& st = St();
    if (lpCmdLine == nullptr || !st.launcher) {
        return ERROR_FILE_NOT_FOUND;
    }
    return st.launcher(lpCmdLine, uCmdShow);
}
