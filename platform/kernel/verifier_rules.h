// Every rule the verifier reports, in one table: the name a finding carries
// and what breaks it. A finding under a name missing here is itself reported
// (verifier-unknown-rule), so a misspelt rule cannot go unnoticed.
#pragma once

#include <string_view>

namespace platform::kernel {

struct VerifierRule {
    std::string_view name;
    std::string_view meaning;
};

inline constexpr VerifierRule kVerifierRules[] = {
    // IRPs
    {"irp-double-completion", "a request completed twice"},
    {"irp-use-after-free", "any call on a freed request"},
    {"irp-invalid", "not a request, or one that does not fit"},
    {"irp-leak", "a request still allocated at unload or shutdown"},
    {"irp-no-stack-location", "a call past the request's last stack location"},
    {"irp-pending-not-marked", "STATUS_PENDING returned, location never marked pending"},
    {"irp-unwound-past-originator", "an IoAllocateIrp request nobody claimed back"},
    {"irp-complete-with-cancel-routine", "completed with its cancel routine still set"},
    {"irp-complete-pending-status", "completed with STATUS_PENDING"},
    {"irp-complete-unsent", "completed before it was sent"},
    {"irp-information-overrun", "METHOD_BUFFERED Information above the output length"},
    {"irp-free-outstanding", "freed while a driver still holds it"},
    {"irp-free-not-owner", "freed by someone other than its allocator"},
    {"irp-use-after-completion", "touched after its completion went past its owner"},
    {"cancel-lock-not-released", "a cancel routine returned holding the cancel lock"},
    // pool
    {"pool-leak", "a block still allocated at unload or shutdown"},
    {"pool-tag-mismatch", "freed with another tag"},
    {"pool-double-free", "freed twice"},
    {"pool-bad-free", "not a pool block"},
    {"pool-paged-at-dispatch", "paged pool at DISPATCH_LEVEL"},
    // objects
    {"device-leak", "a device object never deleted"},
    {"device-delete-with-irps", "deleted while it holds requests"},
    {"device-delete-attached", "deleted while still attached to a lower device"},
    {"device-invalid", "not a live device object"},
    {"device-touched-after-delete",
     "an event or spin lock in a deleted device nothing references any more"},
    {"driver-unload-with-devices", "unloaded with device objects left"},
    {"driver-invalid", "not a driver object"},
    {"driver-unloaded-call", "a call into an unloaded driver"},
    {"object-invalid", "not an object of this kernel"},
    // threads
    {"wait-at-dispatch", "a wait at DISPATCH_LEVEL"},
    {"deadlock", "a wait nothing can end, or a lock held for too long"},
    {"irql-invalid", "a call at an IRQL it does not allow"},
    {"irql-not-restored", "driver code returned at another IRQL than it entered"},
    {"spinlock-recursive", "a spin lock taken by the thread that holds it"},
    {"spinlock-not-owner", "a spin lock released by a thread that does not hold it"},
    // Plug and Play
    {"device-initializing", "AddDevice left DO_DEVICE_INITIALIZING set"},
    {"pnp-remove-left-device", "a device still attached after IRP_MN_REMOVE_DEVICE"},
    {"pnp-notification-at-unload", "a notification still registered at unload"},
    {"pnp-notification-invalid", "not a registered notification"},
    {"remove-lock-underflow", "a remove lock released more often than acquired"},
    // power
    {"power-irp-next-not-started", "no PoStartNextPowerIrp"},
    {"power-irp-sent-with-iocalldriver", "a power request sent with IoCallDriver"},
    {"power-irp-completed-above-passive", "Windows 98: completed above PASSIVE_LEVEL"},
    // work items
    {"workitem-queued-at-unload", "a work item still queued at unload"},
    {"workitem-double-queue", "queued again before it ran"},
    {"workitem-free-queued", "freed while queued"},
    {"workitem-leak", "a work item never freed"},
    {"workitem-invalid", "not a work item"},
    // registry
    {"registry-at-dispatch", "a registry call above PASSIVE_LEVEL"},
    {"registry-handle-leak", "a key handle still open at unload or shutdown"},
    {"invalid-handle", "not an open handle"},
    // USB
    {"usbd-descriptor-overrun", "a wTotalLength past the pool block holding it"},
    // other
    {"assertion-failed", "a driver's ASSERT, PAGED_CODE or IRQL expectation"},
    {"stand-in-unsupported", "a call the stand-in cannot model"},
    {"verifier-unknown-rule", "a finding under a name this table lacks"},
};

constexpr bool IsVerifierRule(std::string_view name) {
    for (const VerifierRule& rule : kVerifierRules)
        if (rule.name == name)
            return true;
    return false;
}

} // namespace platform::kernel
