#include "platform/win32/win_base.h"

namespace {

thread_local DWORD gLastError = ERROR_SUCCESS;

} // namespace

DWORD WINAPI GetLastError(VOID) {
    return gLastError;
}

VOID WINAPI SetLastError(DWORD dwErrCode) {
    gLastError = dwErrCode;
}
