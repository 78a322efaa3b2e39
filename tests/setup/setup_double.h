#pragma once

#include "apps/setup/setup_files.h"

#include <string>
#include <vector>

struct SetupDouble {
    std::vector<std::string> autostart;
    std::vector<DWORD> lastErrors; // one per ShowLastError
};

extern SetupDouble gSetupDouble;
