// Device interfaces: registrations (PDO, class GUID, reference string) and
// their enabled state, with a record of every state change request.
#pragma once

#include "platform/kernel/kernel.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace platform::kernel::detail {

struct InterfaceEntry {
    PDEVICE_OBJECT pdo = nullptr;
    GUID classGuid{};
    std::string link; // "\??\ROOT#DEVICE#0001#{guid}"
    bool enabled = false;
};

class DeviceInterfaces {
public:
    // Formats a GUID as "{c0cf0648-5f6e-11d2-b677-00c0dfe4c1fb}".
    static std::string GuidText(const GUID& guid);

    std::mutex mutex;
    std::map<std::string, InterfaceEntry> entries; // by ObjectTable::Key(link)
    std::vector<InterfaceStateChange> changes;
    std::map<PDEVICE_OBJECT, int> pdoNumbers; // for PDOs without an instance path
};

} // namespace platform::kernel::detail
