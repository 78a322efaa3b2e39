// Device interfaces: registrations (PDO, class GUID, reference string), their
// enabled state with a record of every state change request, and the Plug and
// Play notification registrations that hear of arrivals and removals.
#pragma once

#include "platform/kernel/kernel.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace platform::kernel::detail {

struct InterfaceEntry {
    PDEVICE_OBJECT pdo = nullptr;
    GUID classGuid{};
    std::string link; // "\??\ROOT#DEVICE#0001#{guid}"
    bool enabled = false;
};

// One IoRegisterPlugPlayNotification. Kept (inactive) after unregistering,
// so that the entry handle stays a valid address for the kernel's lifetime.
struct NotificationRegistration {
    GUID classGuid{};
    PDRIVER_OBJECT driver = nullptr;
    PDRIVER_NOTIFICATION_CALLBACK_ROUTINE callback = nullptr;
    PVOID context = nullptr;
    uint64_t serial = 0; // hears only of changes posted after it registered
    bool active = true;
    uint64_t unregisteredAt = 0; // the post count when it was unregistered
};

class DeviceInterfaces {
public:
    // Formats a GUID as "{c0cf0648-5f6e-11d2-b677-00c0dfe4c1fb}".
    static std::string GuidText(const GUID& guid);

    // With mutex held: enables or disables the interface, keeps its link in
    // the namespace, and posts the arrival or removal to the registrations.
    void SetEnabled(InterfaceEntry& entry, bool enable);
    // The PnP manager's own disabling of what a removed device left enabled.
    void DisableAllOf(PDEVICE_OBJECT pdo);
    // Active registrations of the driver, for the check at unload.
    std::vector<std::string> RegistrationsOf(PDRIVER_OBJECT driver);

    std::mutex mutex;
    std::map<std::string, InterfaceEntry> entries; // by ObjectTable::Key(link)
    std::vector<InterfaceStateChange> changes;
    std::map<PDEVICE_OBJECT, int> pdoNumbers; // for PDOs without an instance path
    std::vector<std::unique_ptr<NotificationRegistration>> registrations;
    uint64_t nextSerial = 1;
    // Interface changes posted and not yet delivered, by post number.
    uint64_t nextPost = 1;
    std::multiset<uint64_t> pendingPosts;
    bool lateDelivery = false;

    // With mutex held: whether a change posted while the driver's now
    // inactive registration was active may still reach it.
    bool LateDeliveryPending(PDRIVER_OBJECT driver) const;
};

// Schedules delivery of an interface change to the matching registrations
// (all posted before, or only target) at PASSIVE_LEVEL, as soon as the
// scheduler runs.
void PostInterfaceChange(const InterfaceEntry& entry, bool arrival, uint64_t serial,
                         NotificationRegistration* target);

} // namespace platform::kernel::detail
