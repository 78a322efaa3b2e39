#include "apps/setup/install_drivers.h"
#include "apps/setup/nt_routines.h"
#include "apps/setup/setup_files.h"

BOOL TouchDriverPresent(void) {
    if (ClassifyPlatform() == PLATFORM_9598) {
        HANDLE device = CreateFileA("\\\\.\\vududode", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                    OPEN_EXISTING, 0, NULL);
        if (device == INVALID_HANDLE_VALUE)
            return FALSE;
        CloseHandle(device);
        return TRUE;
    }
    char target[100];
    return CallQueryDosDeviceA("vududode", target, sizeof target) != 0;
}
