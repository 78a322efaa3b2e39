// Power requests pass through; the device keeps no power state. Passive
// level (DO_POWER_PAGABLE).
#include "drivers/hid/pelmo98.h"

NTSTATUS NTAPI BridgeDispatchPower(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    PBRIDGE_DEVICE_EXTENSION extension = BridgeExtension(DeviceObject);
    PoStartNextPowerIrp(Irp);
    return PassPowerDown(extension->NextDeviceObject, Irp);
}
