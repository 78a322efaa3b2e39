// Host-side control of the kernel stand-in: the clock and its timed events,
// the verifier, the low-resources switch, driver loading, user-mode I/O and
// inspection. Used by tests, the machine and later the Win32 stand-in; never
// by driver code.
#pragma once

#include "platform/kernel/ntddk.h"
#include "platform/registry/store.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::kernel {

// One finding of the verifier: which rule was broken and by what call.
// After reporting, the kernel skips the offending operation where it can do
// so safely (a second completion does nothing) so that tests can go on.
//
// The rules and what breaks each: verifier_rules.h.
struct Violation {
    std::string rule;   // e.g. "irp-double-completion", "pool-leak", "wait-at-dispatch",
                        // "pool-tag-mismatch", "irp-leak", "irp-use-after-free", ...
    std::string detail; // the offending call and what it was given
};

// What an allocation asks for; the low-resources switch decides from it.
struct AllocationRequest {
    enum class Kind { Pool, Irp, WorkItem, DeviceObject };
    Kind kind;
    ULONG tag;      // pool tag, 0 for non-pool allocations
    POOL_TYPE pool; // for pool allocations
    SIZE_T bytes;
    uint64_t serial; // 1 for the first allocation of this kind made since boot, 2 ...
};

// A record of every IoSetDeviceInterfaceState call.
struct InterfaceStateChange {
    uint64_t time;        // 100-ns units
    std::string linkName; // the symbolic link name as registered
    bool enable;
    NTSTATUS status;
};

class UserFile;   // a user-mode open of a device (opaque)
class DeviceNode; // a device the Plug and Play manager knows (opaque)

class Kernel {
public:
    Kernel();
    // Runs the teardown checks (outstanding pool, IRPs, devices) and reports
    // each as a violation before the kernel goes away.
    ~Kernel();
    Kernel(const Kernel&) = delete;
    Kernel& operator=(const Kernel&) = delete;

    // The kernel that the free Windows functions act on. Exactly one exists
    // at a time.
    static Kernel& Current();
    // The current kernel, or nullptr when there is none (stand-in code that
    // also serves tests without a kernel).
    static Kernel* Active();

    // --- Clock: 100-ns units since boot. The tick count is Now() / TickLength().
    uint64_t Now() const;
    ULONG TickLength() const; // default 156,250
    void SetTickLength(ULONG units);
    // Runs the timed events due up to Now()+units in order, then sets the clock.
    void AdvanceTime(uint64_t units);

    // Timed events (device models, timers, deferred completions). Run in due
    // order, equal times in scheduling order, at the given IRQL.
    using EventId = uint64_t;
    EventId Schedule(uint64_t dueTime, std::function<void()> fn, KIRQL irql = DISPATCH_LEVEL);
    void Cancel(EventId id);
    // Runs the earliest event if it is due at or before deadline (advancing
    // the clock to it). False when there is none.
    bool RunNextEvent(uint64_t deadline);
    // Runs every event that is due now (without advancing the clock).
    void RunDueEvents();

    // Off by default: a wait that nothing scheduled can satisfy is a
    // deadlock. Stress tests that signal kernel objects from several host
    // threads turn this on: such a wait then blocks until another thread
    // signals it, reporting "deadlock" after cap of real time.
    void SetRealThreadWaits(bool enable,
                            std::chrono::milliseconds cap = std::chrono::milliseconds(30000));
    // Another processor may run the moment a spin lock is dropped. When set,
    // hook runs right after each KeReleaseSpinLock, at PASSIVE_LEVEL as such
    // code would, never inside itself; it lets a test meet the window between
    // a driver's lock and what follows it. nullptr turns it off.
    void SetLockReleaseHook(std::function<void(PKSPIN_LOCK)> hook);

    // --- Verifier
    using ViolationHandler = std::function<void(const Violation&)>;
    // The default handler prints the violation and aborts the process.
    void SetViolationHandler(ViolationHandler handler);
    void ReportViolation(std::string rule, std::string detail);
    const std::vector<Violation>& Violations() const;
    // Reports leaks now (pool, IRPs, work items, live device objects, open
    // registry key handles) as violations.
    void CheckForLeaks();

    // --- Low-resources switch: return true to make that allocation fail.
    using AllocationFilter = std::function<bool(const AllocationRequest&)>;
    void SetAllocationFilter(AllocationFilter filter);

    // --- Inspection
    size_t OutstandingPoolBlocks(ULONG tag = 0) const; // 0: any tag
    // Bytes from address to the end of the live pool block holding it; 0
    // when it is not in pool (a caller's stack or static buffer).
    SIZE_T PoolBytesFrom(const void* address) const;
    size_t OutstandingIrps() const;
    const std::vector<InterfaceStateChange>& InterfaceStateChanges() const;

    // --- Registry shared with the Win32 stand-in
    registry::Store& Registry();

    // --- The system the kernel stands for (Windows XP until set): which
    // routines exist, and how Plug and Play treats a pulled-out device
    // (Windows 98 has no IRP_MN_SURPRISE_REMOVAL).
    enum class System { Windows98, Windows2000, WindowsXP };
    void SetSystem(System system);
    System CurrentSystem() const;
    // Whether the routine, named as an i686 image imports it, exists on the
    // current system (scripts/availability/kernel.tsv; "unsettled" counts as
    // absent). Routines the table does not list are not judged: true.
    bool HasRoutine(const std::string& routine) const;

    // --- Drivers: creates the driver object "\Driver\<name>", calls entry
    // with the service key path
    // "\REGISTRY\MACHINE\SYSTEM\ControlSet001\Services\<name>" (created if missing) and
    // returns the driver object, or nullptr when the entry failed (its status
    // goes to *status).
    PDRIVER_OBJECT LoadDriver(const std::string& name, PDRIVER_INITIALIZE entry,
                              NTSTATUS* status = nullptr);
    // Calls DriverUnload, then checks that the driver left no device objects.
    void UnloadDriver(PDRIVER_OBJECT driver);

    // --- User-mode I/O, as the I/O manager serves a program's calls.
    // path is a Win32 device path ("\\.\name", looked up under \DosDevices)
    // or a native one ("\Device\name"). Sends IRP_MJ_CREATE.
    NTSTATUS OpenFile(const std::string& path, UserFile** file);
    // METHOD_BUFFERED: one system buffer of max(in, out) bytes, input copied in,
    // Information bytes copied back out. Waits (on the virtual clock) when the
    // driver returns STATUS_PENDING.
    NTSTATUS DeviceIoControl(UserFile* file, ULONG code, const void* in, ULONG inLength, void* out,
                             ULONG outLength, ULONG* returned);
    // Sends IRP_MJ_CLEANUP, then IRP_MJ_CLOSE unless a kernel reference to
    // the file object remains, and frees the open.
    NTSTATUS CloseFile(UserFile* file);

    // Looks up a named device object ("\Device\x") or a link ("\DosDevices\x").
    PDEVICE_OBJECT FindDevice(const std::string& name) const;
    // The symbolic links under "\DosDevices" (name without the prefix, target),
    // sorted by name.
    std::vector<std::pair<std::string, std::string>> DosDeviceLinks() const;

    // --- Plug and Play and power managers, for devices a bus driver reports.
    // The bus driver (a test, the USB hub) creates the PDO with IoCreateDevice
    // and answers the requests that reach it. Each call runs at PASSIVE_LEVEL,
    // sends its requests to the top of the device's stack and waits for each
    // on the virtual clock. Device interface notifications that result are
    // delivered later, from the scheduler (RunDueEvents, waits).
    enum class DeviceState { Started, Stopped, SurpriseRemoved, Removed, Failed };
    // Makes a device node for pdo: loads the function driver service (with
    // entry) unless it is loaded, calls its AddDevice, then sends
    // IRP_MN_START_DEVICE and IRP_MN_QUERY_PNP_DEVICE_STATE. A failed start is
    // followed by IRP_MN_REMOVE_DEVICE. instancePath, such as
    // "USB\VID_1234&PID_5678\5&1f&0&1", names the device in its interface
    // links. The node stays valid until the kernel goes away.
    NTSTATUS PlugInDevice(PDEVICE_OBJECT pdo, const std::string& instancePath,
                          const std::string& service, PDRIVER_INITIALIZE entry,
                          DeviceNode** node = nullptr);
    // A driver the Plug and Play manager loads for a device: its service
    // name ("\Driver\<service>") and the entry point its image stands for.
    struct DriverService {
        std::string service;
        PDRIVER_INITIALIZE entry = nullptr;
        // The routines the image imports. A system lacking one refuses to
        // load it, traced as `driver refused service=<name> routine=<routine>`
        // (STATUS_DRIVER_ENTRYPOINT_NOT_FOUND).
        std::vector<std::string> imports = {};
    };
    // As above, with upper filters (the class filters of the device's setup
    // class). The function driver and then each filter are loaded (a loaded
    // driver is reused); the function driver's AddDevice runs first, then
    // each filter's in list order, each attaching above the last. A filter
    // whose load or AddDevice fails fails the device: the stack built so far
    // gets IRP_MN_REMOVE_DEVICE. A filter the manager loaded itself is
    // unloaded with its last device, as the function driver is; one loaded
    // before stays with whoever loaded it.
    NTSTATUS PlugInDevice(PDEVICE_OBJECT pdo, const std::string& instancePath,
                          const DriverService& function,
                          const std::vector<DriverService>& upperFilters,
                          DeviceNode** node = nullptr);
    // IRP_MN_QUERY_STOP_DEVICE, then IRP_MN_STOP_DEVICE; a failed query is
    // followed by IRP_MN_CANCEL_STOP_DEVICE and returned.
    NTSTATUS StopDevice(DeviceNode* node);
    // A stopped device: IRP_MN_START_DEVICE, IRP_MN_QUERY_PNP_DEVICE_STATE.
    NTSTATUS RestartDevice(DeviceNode* node);
    // IRP_MN_QUERY_PNP_DEVICE_STATE, as after IoInvalidateDeviceState.
    NTSTATUS InvalidateDeviceState(DeviceNode* node);
    // Orderly removal: vetoed with STATUS_DEVICE_BUSY while a file object is
    // open on the stack; else IRP_MN_QUERY_REMOVE_DEVICE, then
    // IRP_MN_REMOVE_DEVICE (IRP_MN_CANCEL_REMOVE_DEVICE when the query fails).
    NTSTATUS RemoveDevice(DeviceNode* node);
    // IRP_MN_SURPRISE_REMOVAL now; IRP_MN_REMOVE_DEVICE as soon as no file
    // object is open on the stack (at once, or when the last one closes).
    // On Windows 98 no surprise removal is sent: the pull-out is a removal.
    // A failed device (no driver, or a failed start) has only its PDO left,
    // which gets IRP_MN_REMOVE_DEVICE.
    void SurpriseRemoveDevice(DeviceNode* node);
    DeviceState StateOf(const DeviceNode* node) const;
    // Windows does not wait for a notification already on its way when a
    // driver unregisters (IoUnregisterPlugPlayNotification gives no such
    // guarantee). Off by default; on, an interface change posted while a
    // registration was active still reaches its callback after the
    // unregistration, and the registration's reference keeps the driver
    // loaded until it has.
    void SetLateNotifications(bool enable);
    // After a removal, interfaces the device left enabled are disabled, and a
    // function driver with no device objects left is unloaded once nothing
    // references its deleted ones (a later PlugInDevice loads it afresh).

    // IRP_MN_SET_POWER for a system state (S1..S5, or back to S0) to every
    // started device, the last arrived first when going to sleep.
    NTSTATUS SetSystemPower(SYSTEM_POWER_STATE state);
    // IRP_MN_SET_POWER for a device state to one device.
    NTSTATUS SetDevicePower(DeviceNode* node, DEVICE_POWER_STATE state);
    SYSTEM_POWER_STATE SystemPower() const;
    // What the device last told PoSetPowerState; D0 until then.
    DEVICE_POWER_STATE DevicePower(PDEVICE_OBJECT device) const;
    size_t QueuedWorkItems() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// Converts between the stand-in's UTF-16 and plain strings (ASCII in practice).
std::string Narrow(const WCHAR* text, size_t chars);
std::string Narrow(const UNICODE_STRING& text);
std::u16string Widen(const std::string& text);

} // namespace platform::kernel
