#include "platform/win32/status_error.h"

#include "platform/kernel/ntddk.h"
#include "platform/win32/win_base.h"

namespace platform::win32::detail {

DWORD ErrorFromStatus(LONG status) {
    switch (status) {
    case STATUS_SUCCESS:
        return ERROR_SUCCESS;
    case STATUS_TIMEOUT:
        return ERROR_TIMEOUT;
    case STATUS_PENDING:
        return ERROR_IO_PENDING;
    case STATUS_BUFFER_OVERFLOW:
    case STATUS_MORE_PROCESSING_REQUIRED:
        return ERROR_MORE_DATA;
    case STATUS_NO_MORE_ENTRIES:
        return ERROR_NO_MORE_ITEMS;
    case STATUS_DEVICE_BUSY:
        return ERROR_BUSY;
    case STATUS_UNSUCCESSFUL:
        return ERROR_GEN_FAILURE;
    case STATUS_NOT_IMPLEMENTED:
    case STATUS_INVALID_DEVICE_REQUEST:
        return ERROR_INVALID_FUNCTION;
    case STATUS_ACCESS_VIOLATION:
        return ERROR_NOACCESS;
    case STATUS_INVALID_HANDLE:
    case STATUS_OBJECT_TYPE_MISMATCH:
        return ERROR_INVALID_HANDLE;
    case STATUS_INVALID_PARAMETER:
    case STATUS_INVALID_PARAMETER_2:
        return ERROR_INVALID_PARAMETER;
    case STATUS_NO_SUCH_DEVICE:
    case STATUS_NO_SUCH_FILE:
    case STATUS_OBJECT_NAME_NOT_FOUND:
        return ERROR_FILE_NOT_FOUND;
    case STATUS_OBJECT_PATH_NOT_FOUND:
        return ERROR_PATH_NOT_FOUND;
    case STATUS_OBJECT_NAME_INVALID:
        return ERROR_INVALID_NAME;
    case STATUS_OBJECT_PATH_SYNTAX_BAD:
        return ERROR_BAD_PATHNAME;
    case STATUS_OBJECT_NAME_COLLISION:
        return ERROR_ALREADY_EXISTS;
    case STATUS_NO_MEMORY:
        return ERROR_NOT_ENOUGH_MEMORY;
    case STATUS_ACCESS_DENIED:
    case STATUS_DELETE_PENDING:
    case STATUS_CANNOT_DELETE:
        return ERROR_ACCESS_DENIED;
    case STATUS_BUFFER_TOO_SMALL:
        return ERROR_INSUFFICIENT_BUFFER;
    case STATUS_INSUFFICIENT_RESOURCES:
        return ERROR_NO_SYSTEM_RESOURCES;
    case STATUS_DEVICE_DATA_ERROR:
        return ERROR_CRC;
    case STATUS_DEVICE_NOT_CONNECTED:
        return ERROR_DEVICE_NOT_CONNECTED;
    case STATUS_DEVICE_NOT_READY:
        return ERROR_NOT_READY;
    case STATUS_IO_TIMEOUT:
        return ERROR_SEM_TIMEOUT;
    case STATUS_NOT_SUPPORTED:
        return ERROR_NOT_SUPPORTED;
    case STATUS_INTERNAL_ERROR:
        return ERROR_INTERNAL_ERROR;
    case STATUS_CANCELLED:
        return ERROR_OPERATION_ABORTED;
    case STATUS_KEY_DELETED:
        return ERROR_KEY_DELETED;
    case STATUS_INVALID_DEVICE_STATE:
        return ERROR_BAD_COMMAND;
    case STATUS_INVALID_BUFFER_SIZE:
        return ERROR_INVALID_USER_BUFFER;
    case STATUS_DEVICE_REMOVED:
        return ERROR_DEVICE_REMOVED;
    default:
        return ERROR_MR_MID_NOT_FOUND;
    }
}

void SetLastErrorFromStatus(LONG status) {
    SetLastError(ErrorFromStatus(status));
}

} // namespace platform::win32::detail
