// The power manager: PoCallDriver, PoStartNextPowerIrp, PoSetPowerState and
// the system and device set-power requests it sends.
#include "platform/kernel/io_manager.h"
#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

#include <algorithm>

namespace platform::kernel {

using namespace detail;

namespace detail {
namespace {
thread_local bool tPoCall = false;
}

void MarkPoCallDriver() {
    tPoCall = true;
}

bool TakePoCallDriverMark() {
    bool marked = tPoCall;
    tPoCall = false;
    return marked;
}
} // namespace detail

namespace {

// One IRP_MN_SET_POWER to the top of the node's stack, waited for.
NTSTATUS SendSetPower(DeviceNode* node, POWER_STATE_TYPE type, POWER_STATE state) {
    auto& k = K();
    IrqlScope passive(PASSIVE_LEVEL, "IRP_MN_SET_POWER");
    PDEVICE_OBJECT top;
    std::shared_ptr<SyncCompletion> sync;
    PIRP irp = AllocateStackRequest(node->pdo, IRP_MJ_POWER, IRP_MN_SET_POWER, &top, &sync);
    if (!irp)
        return STATUS_INSUFFICIENT_RESOURCES;
    PIO_STACK_LOCATION sp = IoGetNextIrpStackLocation(irp);
    sp->Parameters.Power.Type = type;
    sp->Parameters.Power.State = state;
    sp->Parameters.Power.ShutdownType = type == SystemPowerState &&
                                                state.SystemState > PowerSystemWorking &&
                                                state.SystemState < PowerSystemShutdown
                                            ? PowerActionSleep
                                            : PowerActionNone;
    MarkPoCallDriver();
    NTSTATUS status = SendAndWait(top, irp, sync);
    if (k.dispatcher.Read(&sync->event) && sync->powerStarts == 0)
        k.verifier.Report("power-irp-next-not-started",
                          "no driver of " + DescribeDevice(top) +
                              "'s stack called PoStartNextPowerIrp for IRP_MN_SET_POWER");
    return status;
}

} // namespace

NTSTATUS Kernel::SetSystemPower(SYSTEM_POWER_STATE state) {
    State& k = *state_;
    std::vector<DeviceNode*> started;
    {
        std::lock_guard lock(k.pnp.mutex);
        for (auto& node : k.pnp.nodes)
            if (node->state == DeviceState::Started)
                started.push_back(node.get());
        k.pnp.systemPower = state;
    }
    if (state != PowerSystemWorking) // children before parents: last arrived first
        std::reverse(started.begin(), started.end());
    NTSTATUS result = STATUS_SUCCESS;
    POWER_STATE power;
    power.SystemState = state;
    for (DeviceNode* node : started) {
        NTSTATUS status = SendSetPower(node, SystemPowerState, power);
        if (!NT_SUCCESS(status) && NT_SUCCESS(result))
            result = status;
    }
    return result;
}

NTSTATUS Kernel::SetDevicePower(DeviceNode* node, DEVICE_POWER_STATE state) {
    if (!node || node->state != DeviceState::Started)
        return STATUS_INVALID_DEVICE_STATE;
    POWER_STATE power;
    power.DeviceState = state;
    return SendSetPower(node, DevicePowerState, power);
}

SYSTEM_POWER_STATE Kernel::SystemPower() const {
    std::lock_guard lock(state_->pnp.mutex);
    return state_->pnp.systemPower;
}

DEVICE_POWER_STATE Kernel::DevicePower(PDEVICE_OBJECT device) const {
    std::lock_guard lock(state_->objects.mutex);
    DeviceInfo* info = state_->objects.FindDevice(device);
    return info ? info->devicePower : PowerDeviceUnspecified;
}

} // namespace platform::kernel

using namespace platform::kernel::detail;

VOID PoStartNextPowerIrp(PIRP Irp) {
    auto& k = K();
    if (ThreadIrql() > DISPATCH_LEVEL)
        k.verifier.Report("irql-invalid",
                          "PoStartNextPowerIrp at IRQL " + std::to_string(ThreadIrql()));
    Findings findings;
    auto lock = k.irps.Lock();
    IrpRecord* record = k.irps.Admit(lock, Irp, "PoStartNextPowerIrp", findings);
    if (!record)
        return;
    record->powerStarts++;
    if (record->sync)
        record->sync->powerStarts++;
}

NTSTATUS PoCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    MarkPoCallDriver();
    return IoCallDriver(DeviceObject, Irp);
}

POWER_STATE PoSetPowerState(PDEVICE_OBJECT DeviceObject, POWER_STATE_TYPE Type, POWER_STATE State) {
    auto& k = K();
    POWER_STATE previous;
    previous.DeviceState = PowerDeviceUnspecified;
    if (ThreadIrql() > DISPATCH_LEVEL)
        k.verifier.Report("irql-invalid",
                          "PoSetPowerState at IRQL " + std::to_string(ThreadIrql()));
    Findings findings;
    std::lock_guard lock(k.objects.mutex);
    DeviceInfo* info = k.objects.FindDevice(DeviceObject);
    if (!info) {
        findings.Add("device-invalid", "PoSetPowerState(" + Hex(DeviceObject) +
                                           "): not a device object of this kernel");
        return previous;
    }
    if (Type == DevicePowerState) {
        previous.DeviceState = info->devicePower;
        info->devicePower = State.DeviceState;
    } else {
        previous.SystemState = info->systemPower;
        info->systemPower = State.SystemState;
    }
    return previous;
}
