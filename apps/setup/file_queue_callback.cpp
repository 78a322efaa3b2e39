#include "apps/setup/install_drivers.h"

UINT CALLBACK FileQueueCallback(PVOID context, UINT notification, UINT_PTR param1,
                                UINT_PTR param2) {
    // A file that cannot be deleted must not stop the installation.
    if (notification == SPFILENOTIFY_DELETEERROR)
        return FILEOP_SKIP;
    return SetupDefaultQueueCallbackA(context, notification, param1, param2);
}
