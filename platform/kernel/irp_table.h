// The I/O manager's records of IRPs: who allocated each, where it is, which
// completions and dispatches are running on it, and what the I/O manager
// must do when it reaches the top of its stack.
//
// Freed IRPs stay in a bounded quarantine, poisoned and marked freed, so that
// a later call on one is reported as use after free instead of touching
// memory that may belong to someone else.
#pragma once

#include "platform/kernel/ntddk.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace platform::kernel::detail {

class Findings;

enum class IrpOrigin {
    Driver,   // IoAllocateIrp: its allocator must claim it back
    Threaded, // IoBuildDeviceIoControlRequest: finished and freed by the I/O manager
    System,   // the kernel's own requests (user-mode I/O, opens, Plug and Play)
};

enum class IrpState {
    Idle,       // allocated or reused, not sent
    Dispatched, // sent: some driver holds it
    Completing, // being unwound by IoCompleteRequest
    Claimed,    // a completion routine returned STATUS_MORE_PROCESSING_REQUIRED
    Finished,   // reached the top of its stack
};

// Where the I/O manager reports a system request's outcome.
struct SyncCompletion {
    KEVENT event;
    IO_STATUS_BLOCK iosb;
    std::vector<unsigned char> output; // METHOD_BUFFERED output, Information bytes
    int powerStarts = 0;               // PoStartNextPowerIrp calls on it
};

struct IrpRecord {
    struct Frame { // an active IoCallDriver
        uint64_t id;
        PDEVICE_OBJECT device;
        int location;
        uint32_t generation;
    };
    struct Location {                   // per stack location, for the pending-flag rule
        uint32_t generation = 0;        // bumped by each IoCallDriver to it
        uint32_t unwoundGeneration = 0; // generation when completion passed it
        bool markedAtUnwind = false;    // SL_PENDING_RETURNED seen then
        uint32_t expectPending = 0;     // a dispatch returned STATUS_PENDING for it
    };

    PIRP irp = nullptr;
    IrpOrigin origin = IrpOrigin::Driver;
    IrpState state = IrpState::Idle;
    PDRIVER_OBJECT owner = nullptr; // driver that allocated it, if known
    uint64_t serial = 0;
    bool freed = false;
    bool leakReported = false;
    int routineDepth = 0; // completion routines running on it
    std::thread::id unwinder;
    PDEVICE_OBJECT holder = nullptr; // the device whose driver has it now
    std::vector<Frame> frames;
    std::vector<Location> locations; // index 1 .. StackCount
    std::string what;                // "IRP_MJ_PNP 0x14", for findings
    int powerStarts = 0;             // PoStartNextPowerIrp calls

    // Finishing at the top (Threaded and System).
    PVOID systemBuffer = nullptr;
    bool copyOut = false;
    ULONG outputLength = 0;
    std::shared_ptr<SyncCompletion> sync;
};

class IrpTable {
public:
    static constexpr size_t kQuarantine = 64;

    ~IrpTable();
    std::unique_lock<std::mutex> Lock() { return std::unique_lock(mutex_); }

    // Allocates and initialises an IRP with its stack locations as Windows
    // lays them out (after the IRP, CurrentLocation = StackCount + 1).
    // nullptr when the low-resources switch refuses it.
    // gated: the low-resources switch may refuse it.
    PIRP Allocate(CCHAR stackSize, IrpOrigin origin, bool gated = true);
    static void Initialize(PIRP irp, CCHAR stackSize);

    // With the lock held. The record of a live or quarantined IRP; a call on
    // a freed or unknown IRP is added to findings and gives nullptr. Waits
    // while another thread runs one of the IRP's completion routines, whose
    // outcome decides what this call may do.
    IrpRecord* Admit(std::unique_lock<std::mutex>& lock, PIRP irp, const char* caller,
                     Findings& findings);
    IrpRecord* Find(PIRP irp);
    void RoutineDone(); // wakes callers waiting in Admit

    // With the lock held: poisons the IRP and moves it to the quarantine.
    void Retire(IrpRecord* record);

    size_t Outstanding();
    // Live IRPs whose holder is device and whose holder is not dispatching
    // them right now: requests left with a device being deleted.
    std::vector<std::string> HeldAt(PDEVICE_OBJECT device);
    void ReportLeaks(PDRIVER_OBJECT owner, const std::string& when, Findings& findings);
    void ReleaseAll();

private:
    std::mutex mutex_;
    std::condition_variable routineDone_;
    std::unordered_map<PIRP, std::unique_ptr<IrpRecord>> records_;
    std::deque<PIRP> quarantine_;
    uint64_t nextSerial_ = 1;
};

std::string DescribeRequest(PIRP irp); // from its current stack location

} // namespace platform::kernel::detail
