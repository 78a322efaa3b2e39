// The driver images the machine can load, by name. On Windows a service
// key names an image file; on the host an image file on the machine's disk
// holds "driver NAME\n" (as a program image holds "program NAME\n"), and
// the catalogue gives the host entry point of the driver linked into the
// program under that name. The registry decides which image a device gets;
// the catalogue only says which drivers exist.
#pragma once

#include "platform/kernel/kernel.h"

#include <cstdint>
#include <map>
#include <optional>
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

// "driver NAME\n": the image file of the catalogue's driver NAME.
std::string DriverImageText(const std::string& name);
// The driver an image file's bytes name; nullopt when they are no driver image.
std::optional<std::string> DriverImageName(const std::vector<uint8_t>& bytes);

} // namespace machine
