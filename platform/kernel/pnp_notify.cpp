// Plug and Play notifications of device interface arrival and removal. They
// are delivered at PASSIVE_LEVEL from the scheduler, as a system worker
// thread delivers them, never nested in the call that changed the state.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

#include <cstring>

namespace platform::kernel::detail {

namespace {

bool SameGuid(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// With the interfaces' mutex held: may the change of that post reach it?
bool Reaches(const DeviceInterfaces& interfaces, const NotificationRegistration& registration,
             uint64_t post) {
    return registration.active || (interfaces.lateDelivery && post < registration.unregisteredAt);
}

void Deliver(NotificationRegistration* registration, const std::string& link, const GUID& classGuid,
             bool arrival, uint64_t post) {
    auto& k = K();
    PDRIVER_NOTIFICATION_CALLBACK_ROUTINE callback;
    PVOID context;
    PDRIVER_OBJECT driver;
    {
        std::lock_guard lock(k.interfaces.mutex);
        if (!Reaches(k.interfaces, *registration, post))
            return;
        callback = registration->callback;
        context = registration->context;
        driver = registration->driver;
    }
    std::u16string text = Widen(link);
    UNICODE_STRING name{static_cast<USHORT>(text.size() * sizeof(WCHAR)),
                        static_cast<USHORT>(text.size() * sizeof(WCHAR)), text.data()};
    DEVICE_INTERFACE_CHANGE_NOTIFICATION notification{};
    notification.Version = 1;
    notification.Size = sizeof notification;
    notification.Event = arrival ? GUID_DEVICE_INTERFACE_ARRIVAL : GUID_DEVICE_INTERFACE_REMOVAL;
    notification.InterfaceClassGuid = classGuid;
    notification.SymbolicLinkName = &name;
    DriverCall call(driver, "notification callback");
    callback(&notification, context);
}

} // namespace

bool DeviceInterfaces::LateDeliveryPending(PDRIVER_OBJECT driver) const {
    if (!lateDelivery || pendingPosts.empty())
        return false;
    const uint64_t oldest = *pendingPosts.begin();
    for (const auto& registration : registrations)
        if (registration->driver == driver && !registration->active &&
            oldest < registration->unregisteredAt)
            return true;
    return false;
}

void PostInterfaceChange(const InterfaceEntry& entry, bool arrival, uint64_t serial,
                         NotificationRegistration* target) {
    auto& k = K();
    std::string link = entry.link;
    GUID classGuid = entry.classGuid;
    // Called with the interfaces' mutex held.
    const uint64_t post = k.interfaces.nextPost++;
    k.interfaces.pendingPosts.insert(post);
    k.clock.Schedule(
        k.clock.Now(),
        [link, classGuid, arrival, serial, target, post] {
            auto& kernel = K();
            std::vector<NotificationRegistration*> listeners;
            if (target) {
                listeners.push_back(target);
            } else {
                std::lock_guard lock(kernel.interfaces.mutex);
                for (auto& registration : kernel.interfaces.registrations)
                    if (registration->serial < serial &&
                        SameGuid(registration->classGuid, classGuid))
                        listeners.push_back(registration.get());
            }
            for (NotificationRegistration* listener : listeners)
                Deliver(listener, link, classGuid, arrival, post);
            bool late;
            {
                std::lock_guard lock(kernel.interfaces.mutex);
                kernel.interfaces.pendingPosts.erase(kernel.interfaces.pendingPosts.find(post));
                late = kernel.interfaces.lateDelivery;
            }
            // A driver kept loaded for this delivery may go now.
            if (late)
                kernel.pnp.RunPendingWork();
        },
        PASSIVE_LEVEL);
}

} // namespace platform::kernel::detail

using namespace platform::kernel::detail;

namespace platform::kernel {

void Kernel::SetLateNotifications(bool enable) {
    std::lock_guard lock(state_->interfaces.mutex);
    state_->interfaces.lateDelivery = enable;
}

} // namespace platform::kernel

NTSTATUS IoRegisterPlugPlayNotification(IO_NOTIFICATION_EVENT_CATEGORY EventCategory,
                                        ULONG EventCategoryFlags, PVOID EventCategoryData,
                                        PDRIVER_OBJECT DriverObject,
                                        PDRIVER_NOTIFICATION_CALLBACK_ROUTINE CallbackRoutine,
                                        PVOID Context, PVOID* NotificationEntry) {
    auto& k = K();
    if (ThreadIrql() != PASSIVE_LEVEL)
        k.verifier.Report("irql-invalid",
                          "IoRegisterPlugPlayNotification at IRQL " + std::to_string(ThreadIrql()));
    if (EventCategory != EventCategoryDeviceInterfaceChange) {
        k.verifier.Report("stand-in-unsupported",
                          "IoRegisterPlugPlayNotification: only device interface changes");
        return STATUS_NOT_SUPPORTED;
    }
    if (!EventCategoryData || !CallbackRoutine)
        return STATUS_INVALID_PARAMETER;
    auto registration = std::make_unique<NotificationRegistration>();
    registration->classGuid = *static_cast<const GUID*>(EventCategoryData);
    registration->driver = DriverObject;
    registration->callback = CallbackRoutine;
    registration->context = Context;
    NotificationRegistration* handle = registration.get();
    std::lock_guard lock(k.interfaces.mutex);
    registration->serial = k.interfaces.nextSerial++;
    k.interfaces.registrations.push_back(std::move(registration));
    if (EventCategoryFlags & PNPNOTIFY_DEVICE_INTERFACE_INCLUDE_EXISTING_INTERFACES)
        for (auto& [key, entry] : k.interfaces.entries)
            if (entry.enabled &&
                std::memcmp(&entry.classGuid, &handle->classGuid, sizeof(GUID)) == 0)
                PostInterfaceChange(entry, true, handle->serial, handle);
    *NotificationEntry = handle;
    return STATUS_SUCCESS;
}

NTSTATUS IoUnregisterPlugPlayNotification(PVOID NotificationEntry) {
    auto& k = K();
    Findings findings;
    std::lock_guard lock(k.interfaces.mutex);
    for (auto& registration : k.interfaces.registrations) {
        if (registration.get() != NotificationEntry)
            continue;
        if (!registration->active)
            break;
        registration->active = false; // pending deliveries dropped unless late delivery is on
        registration->unregisteredAt = k.interfaces.nextPost;
        return STATUS_SUCCESS;
    }
    findings.Add("pnp-notification-invalid", "IoUnregisterPlugPlayNotification(" +
                                                 Hex(NotificationEntry) +
                                                 "): not an active registration");
    return STATUS_INVALID_PARAMETER;
}
