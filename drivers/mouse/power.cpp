// Power requests pass through; the device keeps no power state of its own.
// Passive level (DO_POWER_PAGABLE).
#include "drivers/mouse/pelmoxp.h"

NTSTATUS NTAPI MouseDispatchPower(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    EXPECT_PASSIVE_LEVEL();
    PMOUSE_DEVICE_EXTENSION extension = (PMOUSE_DEVICE_EXTENSION)DeviceObject->DeviceExtension;
    NTSTATUS status = IoAcquireRemoveLock(&extension->RemoveLock, Irp);
    PoStartNextPowerIrp(Irp);
    if (!NT_SUCCESS(status)) {
        // The device is being removed.
        return CompleteWithStatus(Irp, status);
    }
    status = PassPowerDown(extension->LowerDeviceObject, Irp);
    IoReleaseRemoveLock(&extension->RemoveLock, Irp);
    return status;
}
