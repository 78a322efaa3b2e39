#include "platform/kernel/irp_table.h"

#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace platform::kernel::detail {

namespace {
constexpr unsigned char kFreedIrpPattern = 0xdd;

const char* MajorName(UCHAR major) {
    switch (major) {
    case IRP_MJ_CREATE:
        return "IRP_MJ_CREATE";
    case IRP_MJ_CLOSE:
        return "IRP_MJ_CLOSE";
    case IRP_MJ_READ:
        return "IRP_MJ_READ";
    case IRP_MJ_WRITE:
        return "IRP_MJ_WRITE";
    case IRP_MJ_DEVICE_CONTROL:
        return "IRP_MJ_DEVICE_CONTROL";
    case IRP_MJ_INTERNAL_DEVICE_CONTROL:
        return "IRP_MJ_INTERNAL_DEVICE_CONTROL";
    case IRP_MJ_CLEANUP:
        return "IRP_MJ_CLEANUP";
    case IRP_MJ_POWER:
        return "IRP_MJ_POWER";
    case IRP_MJ_PNP:
        return "IRP_MJ_PNP";
    default:
        return "IRP_MJ_?";
    }
}
} // namespace

std::string DescribeRequest(PIRP irp) {
    if (irp->CurrentLocation < 1 || irp->CurrentLocation > irp->StackCount)
        return "IRP " + Hex(irp);
    PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
    std::string text = std::string(MajorName(sp->MajorFunction)) + " IRP " + Hex(irp);
    if (sp->MajorFunction == IRP_MJ_DEVICE_CONTROL ||
        sp->MajorFunction == IRP_MJ_INTERNAL_DEVICE_CONTROL)
        text += " code " + Hex(sp->Parameters.DeviceIoControl.IoControlCode);
    else if (sp->MajorFunction == IRP_MJ_PNP || sp->MajorFunction == IRP_MJ_POWER)
        text += " minor " + Hex(sp->MinorFunction);
    return text;
}

IrpTable::~IrpTable() {
    ReleaseAll();
}

void IrpTable::Initialize(PIRP irp, CCHAR stackSize) {
    std::memset(irp, 0, IoSizeOfIrp(stackSize));
    irp->Type = kTypeIrp;
    irp->Size = static_cast<USHORT>(IoSizeOfIrp(stackSize));
    irp->StackCount = stackSize;
    irp->CurrentLocation = static_cast<CHAR>(stackSize + 1);
    InitializeListHead(&irp->ThreadListEntry);
    irp->Tail.Overlay.CurrentStackLocation =
        reinterpret_cast<PIO_STACK_LOCATION>(irp + 1) + stackSize;
}

PIRP IrpTable::Allocate(CCHAR stackSize, IrpOrigin origin, bool gated) {
    if (stackSize < 1)
        return nullptr;
    if (gated &&
        !K().gate.Grant(AllocationRequest::Kind::Irp, 0, NonPagedPool, IoSizeOfIrp(stackSize)))
        return nullptr;
    auto irp = static_cast<PIRP>(::operator new(IoSizeOfIrp(stackSize)));
    Initialize(irp, stackSize);
    auto record = std::make_unique<IrpRecord>();
    record->irp = irp;
    record->origin = origin;
    record->owner = origin == IrpOrigin::Driver ? ThreadDriver() : nullptr;
    record->locations.resize(static_cast<size_t>(stackSize) + 2);
    std::lock_guard lock(mutex_);
    record->serial = nextSerial_++;
    records_[irp] = std::move(record);
    return irp;
}

IrpRecord* IrpTable::Find(PIRP irp) {
    auto found = records_.find(irp);
    return found == records_.end() ? nullptr : found->second.get();
}

IrpRecord* IrpTable::Admit(std::unique_lock<std::mutex>& lock, PIRP irp, const char* caller,
                           Findings& findings) {
    for (;;) {
        IrpRecord* record = Find(irp);
        if (!record) {
            findings.Add("irp-invalid",
                         std::string(caller) + "(" + Hex(irp) + "): not an IRP of this kernel");
            return nullptr;
        }
        if (record->freed) {
            findings.Add("irp-use-after-free", std::string(caller) + "(" + Hex(irp) +
                                                   "): the IRP was freed (" + record->what + ")");
            return nullptr;
        }
        if (record->routineDepth == 0 || record->unwinder == std::this_thread::get_id())
            return record;
        routineDone_.wait(lock);
    }
}

void IrpTable::RoutineDone() {
    routineDone_.notify_all();
}

void IrpTable::Retire(IrpRecord* record) {
    if (record->what.empty())
        record->what = DescribeRequest(record->irp);
    std::memset(static_cast<void*>(record->irp), kFreedIrpPattern, record->irp->Size);
    record->freed = true;
    record->holder = nullptr;
    record->sync.reset();
    quarantine_.push_back(record->irp);
    while (quarantine_.size() > kQuarantine) {
        auto victim = std::find_if(quarantine_.begin(), quarantine_.end(), [&](PIRP irp) {
            return records_[irp]->routineDepth == 0 && records_[irp]->frames.empty();
        });
        if (victim == quarantine_.end())
            break;
        ::operator delete(static_cast<void*>(*victim));
        records_.erase(*victim);
        quarantine_.erase(victim);
    }
}

size_t IrpTable::Outstanding() {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(std::count_if(
        records_.begin(), records_.end(), [](const auto& entry) { return !entry.second->freed; }));
}

std::vector<std::string> IrpTable::HeldAt(PDEVICE_OBJECT device) {
    std::vector<std::string> held;
    std::lock_guard lock(mutex_);
    for (auto& [irp, record] : records_) {
        if (record->freed || record->holder != device)
            continue;
        if (record->state != IrpState::Dispatched && record->state != IrpState::Claimed)
            continue;
        bool dispatching =
            std::any_of(record->frames.begin(), record->frames.end(),
                        [&](const IrpRecord::Frame& f) { return f.device == device; });
        if (!dispatching)
            held.push_back(DescribeRequest(irp));
    }
    return held;
}

void IrpTable::ReportLeaks(PDRIVER_OBJECT owner, const std::string& when, Findings& findings) {
    std::vector<IrpRecord*> leaked;
    std::lock_guard lock(mutex_);
    for (auto& [irp, record] : records_)
        if (!record->freed && !record->leakReported && (!owner || record->owner == owner))
            leaked.push_back(record.get());
    std::sort(leaked.begin(), leaked.end(),
              [](IrpRecord* a, IrpRecord* b) { return a->serial < b->serial; });
    static const char* const kOrigins[] = {"IoAllocateIrp", "IoBuildDeviceIoControlRequest",
                                           "system"};
    for (IrpRecord* record : leaked) {
        record->leakReported = true;
        findings.Add("irp-leak", DescribeRequest(record->irp) + " (" +
                                     kOrigins[static_cast<int>(record->origin)] +
                                     ") still outstanding " + when);
    }
}

void IrpTable::ReleaseAll() {
    std::lock_guard lock(mutex_);
    for (auto& [irp, record] : records_)
        ::operator delete(static_cast<void*>(irp));
    records_.clear();
    quarantine_.clear();
}

} // namespace platform::kernel::detail
