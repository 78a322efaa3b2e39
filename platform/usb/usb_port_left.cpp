// A PDO left behind: its device was pulled out, a new one is on the port, and
// the stack above has not been removed yet (a handle to it is still open).
#include "platform/usb/usb_pdo.h"
#include "platform/usb/usb_status.h"

#include <algorithm>

namespace platform::usb {

// Port lock held; the current PDO is gone.
void UsbPort::LeaveBehindLocked() {
    static_cast<PdoExtension*>(pdo_->DeviceExtension)->leftBehind = true;
    leftBehind_.push_back(pdo_);
    pdo_ = nullptr;
}

bool UsbPort::ForgetPdoLocked(PDEVICE_OBJECT pdo) {
    if (pdo_ == pdo) {
        pdo_ = nullptr;
        return true;
    }
    const auto it = std::find(leftBehind_.begin(), leftBehind_.end(), pdo);
    if (it == leftBehind_.end())
        return false;
    leftBehind_.erase(it);
    return true;
}

// Its device is gone: what a gone device's PDO answers.
NTSTATUS UsbPort::LeftBehindRequest(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    if (stack->Parameters.DeviceIoControl.IoControlCode == IOCTL_INTERNAL_USB_SUBMIT_URB)
        return CompleteUrb(irp, USBD_STATUS_DEVICE_GONE);
    return CompleteRequest(irp, STATUS_DEVICE_NOT_CONNECTED);
}

// Its removal deletes it and leaves the port's new device alone; it no
// longer has IDs; the rest as for any PDO.
NTSTATUS UsbPort::LeftBehindPnp(PDEVICE_OBJECT pdo, PIRP irp) {
    switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
    case IRP_MN_REMOVE_DEVICE:
        CompleteRequest(irp, STATUS_SUCCESS);
        DeletePdoLater(pdo);
        return STATUS_SUCCESS;
    case IRP_MN_QUERY_ID: {
        const NTSTATUS unchanged = irp->IoStatus.Status;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return unchanged;
    }
    default:
        return Pnp(irp);
    }
}

} // namespace platform::usb
