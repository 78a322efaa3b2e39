#include "machine/driver_catalogue.h"

#include "drivers/hid/pelmo98.h"
#include "drivers/mouse/pelmoxp.h"
#include "drivers/touch/korvex.h"
#include "machine/machine_error.h"
#include "platform/input/mouse_class.h"

namespace machine {

DriverCatalogue DriverCatalogue::Product() {
    DriverCatalogue catalogue;
    catalogue.Add("korvex", DriverEntry);
    catalogue.Add("pelmoxp", MouseDriverEntry);
    catalogue.Add("pelmo98", HidDriverEntry);
    // The system's own class filter, whose image every 2000/XP has.
    catalogue.Add("mouclass", platform::input::mouse_class_driver::Entry);
    return catalogue;
}

void DriverCatalogue::Add(const std::string& service, PDRIVER_INITIALIZE entry) {
    entries_[service] = entry;
}

PDRIVER_INITIALIZE DriverCatalogue::Find(const std::string& service) const {
    auto found = entries_.find(service);
    return found == entries_.end() ? nullptr : found->second;
}

platform::kernel::Kernel::DriverService DriverCatalogue::Service(const std::string& service) const {
    PDRIVER_INITIALIZE entry = Find(service);
    if (entry == nullptr)
        throw MachineError("no driver image for service \"" + service + "\"");
    return {service, entry};
}

} // namespace machine
