// IoCallDriver: hands an IRP to the next lower stack location's device.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

#include <algorithm>
#include <atomic>

using namespace platform::kernel::detail;

namespace {

std::atomic<uint64_t> gNextFrame{1};

// Stands in for the dispatch routine of a driver that is gone.
NTSTATUS FailForUnloadedDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    UNREFERENCED_PARAMETER(DeviceObject);
    Irp->IoStatus.Status = STATUS_NO_SUCH_DEVICE;
    Irp->IoStatus.Information = 0;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return STATUS_NO_SUCH_DEVICE;
}

} // namespace

NTSTATUS IoCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    auto& k = K();
    bool viaPoCallDriver = TakePoCallDriverMark();
    if (ThreadIrql() > DISPATCH_LEVEL)
        k.verifier.Report("irql-invalid", "IoCallDriver at IRQL " + std::to_string(ThreadIrql()));

    PDRIVER_OBJECT driver = nullptr;
    bool driverGone = false;
    {
        Findings findings;
        std::lock_guard lock(k.objects.mutex);
        DeviceInfo* device = k.objects.FindDevice(DeviceObject);
        if (!device) {
            findings.Add("device-invalid", "IoCallDriver(" + Hex(DeviceObject) +
                                               "): not a device object of this kernel");
            return STATUS_INVALID_PARAMETER;
        }
        driverGone = device->driver->unloaded;
        if (driverGone)
            findings.Add("driver-unloaded-call", "IoCallDriver(" +
                                                     k.objects.Describe(DeviceObject) +
                                                     "): its driver has been unloaded");
        else
            driver = device->driver->object.get();
    }

    uint64_t frame = gNextFrame.fetch_add(1);
    int location;
    uint32_t generation;
    PDRIVER_DISPATCH routine;
    // Described now: once dispatched, another thread may be completing the request.
    std::string what;
    {
        Findings findings;
        auto lock = k.irps.Lock();
        IrpRecord* record = k.irps.Admit(lock, Irp, "IoCallDriver", findings);
        if (!record)
            return STATUS_INVALID_PARAMETER;
        if (record->state == IrpState::Finished) {
            findings.Add("irp-use-after-completion", "IoCallDriver(" + DescribeRequest(Irp) +
                                                         "): the request has been "
                                                         "completed to the top");
            return STATUS_INVALID_PARAMETER;
        }
        if (Irp->CurrentLocation <= 1) {
            findings.Add("irp-no-stack-location", "IoCallDriver(" + Hex(DeviceObject) + ", IRP " +
                                                      Hex(Irp) +
                                                      "): no stack location left (StackCount " +
                                                      std::to_string(Irp->StackCount) + ")");
            return STATUS_INVALID_PARAMETER;
        }
        IoSetNextIrpStackLocation(Irp);
        PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(Irp);
        sp->DeviceObject = DeviceObject;
        location = Irp->CurrentLocation;
        record->state = IrpState::Dispatched;
        record->holder = DeviceObject;
        generation = ++record->locations[static_cast<size_t>(location)].generation;
        record->frames.push_back({frame, DeviceObject, location, generation});
        what = DescribeRequest(Irp);
        if (sp->MajorFunction == IRP_MJ_POWER && !viaPoCallDriver)
            findings.Add("power-irp-sent-with-iocalldriver",
                         "IoCallDriver(" + DescribeRequest(Irp) +
                             "): power requests go down with PoCallDriver");
        if (driverGone)
            routine = FailForUnloadedDriver;
        else if (sp->MajorFunction > IRP_MJ_MAXIMUM_FUNCTION)
            routine = DefaultDispatch;
        else
            routine = driver->MajorFunction[sp->MajorFunction];
    }

    NTSTATUS status;
    {
        DriverCall call(driver, "dispatch routine");
        status = routine(DeviceObject, Irp);
    }

    bool unmarked = false;
    {
        auto lock = k.irps.Lock();
        IrpRecord* record = k.irps.Find(Irp);
        if (record) {
            auto& frames = record->frames;
            frames.erase(std::remove_if(frames.begin(), frames.end(),
                                        [&](const IrpRecord::Frame& f) { return f.id == frame; }),
                         frames.end());
            if (status == STATUS_PENDING) {
                auto& trace = record->locations[static_cast<size_t>(location)];
                if (trace.unwoundGeneration == generation)
                    unmarked = !trace.markedAtUnwind;
                else if (!record->freed && trace.generation == generation)
                    trace.expectPending = generation;
            }
        }
    }
    if (unmarked)
        k.verifier.Report("irp-pending-not-marked",
                          "dispatch routine of " + DescribeDevice(DeviceObject) +
                              " returned STATUS_PENDING for " + what + " without IoMarkIrpPending");
    return status;
}
