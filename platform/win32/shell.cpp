// Notification-area icons and ShellExecuteA.
//
//   shell open file="C:\UsbTouch\guidebk.hlp" result=2
#include "platform/win32/runtime_state.h"
#include "platform/win32/win_base.h"
#include "platform/win32/win_shell.h"
#include "platform/trace/trace.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

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

namespace {

// What ShellExecuteA returns when the viewer runs: any value above 32.
constexpr UINT_PTR kViewerStarted = 42;

bool IsHelpFile(const char* path) {
    size_t length = std::strlen(path);
    return length >= 4 && strcasecmp(path + length - 4, ".hlp") == 0;
}

// The trace shows a path as typed, backslashes single.
std::string QuotedPath(const char* path) {
    std::string text = "\"";
    for (const char* c = path; *c != '\0'; ++c) {
        if (*c == '"') {
            text += '\\';
        }
        text += *c;
    }
    return text + "\"";
}

} // namespace

// The machine's only registered file type is the help file, opened by its
// viewer: the trace line stands for the viewer's window. A missing file
// fails as Windows fails (ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND for
// a missing directory); other types have no association.
HINSTANCE WINAPI ShellExecuteA(HWND hwnd, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                               LPCSTR lpDirectory, INT nShowCmd) {
    (void)hwnd;
    (void)lpParameters;
    (void)lpDirectory;
    (void)nShowCmd;
    const char* verb = lpOperation != nullptr ? lpOperation : "open";
    const char* file = lpFile != nullptr ? lpFile : "";
    UINT_PTR result = kViewerStarted;
    if (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES) {
        result = GetLastError() == ERROR_PATH_NOT_FOUND ? SE_ERR_PNF : SE_ERR_FNF;
    } else if (!IsHelpFile(file) || strcasecmp(verb, "open") != 0) {
        result = SE_ERR_NOASSOC;
    }
    platform::trace::Emit(St().kernel.Now(), std::string("shell ") + verb +
                                                 " file=" + QuotedPath(file) +
                                                 " result=" + std::to_string(result));
    return reinterpret_cast<HINSTANCE>(result);
}
