// What each product driver's image imports, for the kernel's loader check.
// On the host the list is read from the driver library's calls at build time
// (scripts/host-imports.sh), so it follows the code as the Windows import
// table does.
#pragma once

#include <string>
#include <vector>

namespace machine {

// The listed kernel routines the service's driver calls; empty for a service
// the build does not know.
std::vector<std::string> HostImportsOf(const std::string& service);

} // namespace machine
