#include "machine/driver_catalogue.h"

#include "drivers/hid/pelmo98.h"
#include "drivers/mouse/pelmoxp.h"
#include "drivers/touch/korvex.h"
#include "machine/driver_imports.h"
#include "machine/machine_error.h"
#include "platform/input/mouse_class.h"

namespace machine {

DriverCatalogue DriverCatalogue::Product() {
    DriverCatalogue catalogue;
    catalogue.Add("korvex", TouchDriverEntry, HostImportsOf("korvex"));
    catalogue.Add("pelmoxp", MouseDriverEntry, HostImportsOf("pelmoxp"));
    catalogue.Add("pelmo98", HidDriverEntry, HostImportsOf("pelmo98"));
    // The system's own class filter, whose image every 2000/XP has.
    catalogue.Add("mouclass", platform::input::mouse_class_driver::Entry);
    return catalogue;
}

void DriverCatalogue::Add(const std::string& service, PDRIVER_INITIALIZE entry,
                          std::vector<std::string> imports) {
    entries_[service] = entry;
    imports_[service] = std::move(imports);
}

PDRIVER_INITIALIZE DriverCatalogue::Find(const std::string& service) const {
    auto found = entries_.find(service);
    return found == entries_.end() ? nullptr : found->second;
}

platform::kernel::Kernel::DriverService DriverCatalogue::Service(const std::string& service) const {
    PDRIVER_INITIALIZE entry = Find(service);
    if (entry == nullptr)
        throw MachineError("no driver image for service \"" + service + "\"");
    return {service, entry, imports_.at(service)};
}

std::string DriverImageText(const std::string& name) {
    return "driver " + name + "\n";
}

std::optional<std::string> DriverImageName(const std::vector<uint8_t>& bytes) {
    const std::string text(bytes.begin(), bytes.end());
    const std::string prefix = "driver ";
    if (text.rfind(prefix, 0) != 0 || text.empty() || text.back() != '\n')
        return std::nullopt;
    std::string name = text.substr(prefix.size(), text.size() - prefix.size() - 1);
    if (name.empty() || name.find_first_of(" \r\n") != std::string::npos)
        return std::nullopt;
    return name;
}

} // namespace machine
