// The Program Manager's groups as a small text file and back:
//   [Orvan Infrared Touch Screen]
//   shown=1
//   show=1
//   item=Usb control panel
//   command=C:\Program Files\Touch\tpanel.exe
//   icon=C:\Program Files\Touch\tpanel.exe
//   index=0
// One section per group in order; "item=" starts the next item.
#pragma once

#include "platform/win32/program_manager.h"

#include <optional>
#include <string>
#include <vector>

namespace machine {

std::string ExportGroups(const std::vector<platform::win32::ProgmanGroup>& groups);
// nullopt when a line is neither a section, a known field, blank nor "; ...".
std::optional<std::vector<platform::win32::ProgmanGroup>> ImportGroups(const std::string& text);

} // namespace machine
