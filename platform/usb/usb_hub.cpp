// The hub's driver object and dispatch entry points; the per-port work is in
// usb_port*.cpp.
#include "platform/usb/usb_hub.h"

#include "platform/kernel/kernel.h"
#include "platform/usb/usb_pdo.h"

#include <stdexcept>

namespace platform::usb {

struct HubDispatch {
    static NTSTATUS InternalDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
        if (IsLeftBehind(device))
            return UsbPort::LeftBehindRequest(irp);
        return PortOfPdo(device)->InternalDeviceControl(irp);
    }
    static NTSTATUS Pnp(PDEVICE_OBJECT device, PIRP irp) {
        if (IsLeftBehind(device))
            return PortOfPdo(device)->LeftBehindPnp(device, irp);
        return PortOfPdo(device)->Pnp(irp);
    }
    static NTSTATUS Power(PDEVICE_OBJECT device, PIRP irp) { return PortOfPdo(device)->Power(irp); }
    static VOID Cancel(PDEVICE_OBJECT device, PIRP irp) {
        IoReleaseCancelSpinLock(irp->CancelIrql);
        PortOfPdo(device)->CancelHeld(irp);
    }
};

namespace {

VOID HubUnload(PDRIVER_OBJECT driver) {
    UNREFERENCED_PARAMETER(driver);
}

NTSTATUS HubDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    UNREFERENCED_PARAMETER(registryPath);
    driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = HubDispatch::InternalDeviceControl;
    driver->MajorFunction[IRP_MJ_PNP] = HubDispatch::Pnp;
    driver->MajorFunction[IRP_MJ_POWER] = HubDispatch::Power;
    driver->DriverUnload = HubUnload;
    return STATUS_SUCCESS;
}

} // namespace

PDRIVER_CANCEL HeldRequestCancelRoutine() {
    return HubDispatch::Cancel;
}

UsbHub::UsbHub(size_t ports) {
    NTSTATUS status = STATUS_SUCCESS;
    driver_ = kernel::Kernel::Current().LoadDriver("usbhub", HubDriverEntry, &status);
    if (driver_ == nullptr)
        throw std::runtime_error("usbhub: driver entry failed");
    for (size_t i = 0; i < ports; ++i)
        ports_.push_back(std::unique_ptr<UsbPort>(new UsbPort(*this, static_cast<unsigned>(i))));
}

UsbHub::~UsbHub() {
    for (auto& port : ports_)
        port->Shutdown();
    kernel::Kernel::Current().UnloadDriver(driver_);
}

UsbPort& UsbHub::Port(size_t index) {
    return *ports_.at(index);
}

} // namespace platform::usb
