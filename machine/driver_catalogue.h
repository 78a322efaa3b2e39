// The driver images the machine can load, by service name. On Windows a
// service key names an image file; here each service name stands for the
// host entry point of a driver linked into the program. The setup's INF
// files will decide which services a device gets; the catalogue only says
// which of them exist.
#pragma once

#include "platform/kernel/kernel.h"

#include <map>
#include <string>
#include <vector>

namespace machine {

class DriverCatalogue {
public:
    // korvex and pelmoxp, under their service names.
    static DriverCatalogue Product();

    // imports: the kernel routines the image imports; a system lacking one
    // refuses to load it.
    void Add(const std::string& service, PDRIVER_INITIALIZE entry,
             std::vector<std::string> imports = {});
    // nullptr when no image of that name exists.
    PDRIVER_INITIALIZE Find(const std::string& service) const;
    // The service with its entry; throws MachineError when it is missing.
    platform::kernel::Kernel::DriverService Service(const std::string& service) const;

private:
    std::map<std::string, PDRIVER_INITIALIZE> entries_;
    std::map<std::string, std::vector<std::string>> imports_;
};

} // namespace machine
