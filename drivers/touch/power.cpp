// Power requests: the reader stops before the device leaves D0 and starts
// again once the device below is back at full power. Set-power requests
// arrive at passive level (the device object is power-pageable). Every power
// request has the next one started exactly once, before it goes down.
#include "drivers/touch/korvex.h"

VOID SetDevicePower(PTOUCH_DEVICE_EXTENSION Extension, DEVICE_POWER_STATE State) {
    Extension->DevicePowerState = State;
    if (KeGetCurrentIrql() == DISPATCH_LEVEL && State != PowerDeviceD0) {
        return;
    }
    POWER_STATE powerState;
    powerState.DeviceState = State;
    PoSetPowerState(Extension->DeviceObject, DevicePowerState, powerState);
}

static NTSTATUS PassPowerToLower(PTOUCH_DEVICE_EXTENSION Extension, PIRP Irp) {
    PoStartNextPowerIrp(Irp);
    return PassPowerDown(Extension->LowerDeviceObject, Irp);
}

static NTSTATUS PowerDown(PTOUCH_DEVICE_EXTENSION Extension, PIRP Irp, DEVICE_POWER_STATE Target) {
    StopReader(Extension);
    SetDevicePower(Extension, Target);
    return PassPowerToLower(Extension, Irp);
}

// The lower drivers may finish at dispatch level, where the reader cannot
// start (it waits for the bus and reads the registry), so the request is
// waited for here and the reader started at passive level before it is
// completed. A failed request is returned unchanged, reader still stopped.
static NTSTATUS PowerUp(PTOUCH_DEVICE_EXTENSION Extension, PIRP Irp, DEVICE_POWER_STATE Target) {
    PoStartNextPowerIrp(Irp);
    const NTSTATUS status = ForwardPowerAndWait(Extension->LowerDeviceObject, Irp);
    if (NT_SUCCESS(status)) {
        if (Target <= Extension->DevicePowerState) {
            SetDevicePower(Extension, Target);
        }
        StartReader(Extension);
    }
    return CompleteWithStatus(Irp, status);
}

// Working or unspecified: D0; every sleeping, hibernate or shutdown state: D3.
static DEVICE_POWER_STATE DeviceStateFor(SYSTEM_POWER_STATE State) {
    return State <= PowerSystemWorking ? PowerDeviceD0 : PowerDeviceD3;
}

NTSTATUS NTAPI TouchPower(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    EXPECT_PASSIVE_LEVEL();
    PTOUCH_DEVICE_EXTENSION extension = (PTOUCH_DEVICE_EXTENSION)DeviceObject->DeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
    if (stack->MinorFunction != IRP_MN_SET_POWER) {
        return PassPowerToLower(extension, Irp);
    }
    DEVICE_POWER_STATE target;
    if (stack->Parameters.Power.Type == SystemPowerState) {
        target = DeviceStateFor(stack->Parameters.Power.State.SystemState);
    } else if (stack->Parameters.Power.Type == DevicePowerState) {
        target = stack->Parameters.Power.State.DeviceState;
    } else {
        return PassPowerToLower(extension, Irp);
    }
    if (target > extension->DevicePowerState) {
        return PowerDown(extension, Irp, target);
    }
    return PowerUp(extension, Irp, target);
}
