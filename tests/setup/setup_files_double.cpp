// Stand-ins for the setup's own steps that the driver installation calls
// (owned with the program-files steps): they record what they are asked.
#include "tests/setup/setup_double.h"

SetupDouble gSetupDouble;

INT ClassifyPlatform(void) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info))
        return PLATFORM_UNKNOWN;
    return info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? PLATFORM_9598 : PLATFORM_NT;
}

BOOL RegisterAutostart(LPCSTR command) {
    gSetupDouble.autostart.push_back(command ? command : "");
    return TRUE;
}

void ShowLastError(void) {
    gSetupDouble.lastErrors.push_back(GetLastError());
}
