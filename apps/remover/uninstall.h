// The uninstall procedure, run on the dialog's thread when the user
// confirms. The dialog owns the boxes and the device lists.
#pragma once

#include "apps/common/win.h"

enum UninstallProcedure { Procedure98, Procedure2000, ProcedureXP };

// Which procedure fits this system: from GetOsCode and, on 2000, "osflg".
UninstallProcedure ChooseProcedure(INT osCode);

void RunUninstall(HWND dialog);
