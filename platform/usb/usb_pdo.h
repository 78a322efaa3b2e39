// Private to the hub: the PDO's extension and the cancel routine of held
// requests.
#pragma once

#include "platform/usb/usb_hub.h"

namespace platform::usb {

struct PdoExtension {
    UsbPort* port;
    // Its device was pulled out and another plugged into the port while the
    // stack above still held it: the PDO answers as a gone device until its
    // removal deletes it.
    bool leftBehind;
};

inline bool IsLeftBehind(PDEVICE_OBJECT pdo) {
    return static_cast<PdoExtension*>(pdo->DeviceExtension)->leftBehind;
}

inline UsbPort* PortOfPdo(PDEVICE_OBJECT pdo) {
    return static_cast<PdoExtension*>(pdo->DeviceExtension)->port;
}

PDRIVER_CANCEL HeldRequestCancelRoutine();

// Completion of requests the PDO owns: Information 0, no priority boost.
NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status);
// Sets the URB's status and completes with the matching request status.
NTSTATUS CompleteUrb(PIRP irp, USBD_STATUS status);
// Ends a held transfer: data copied up to TransferBufferLength, which is set
// to the bytes copied (0 on error).
void CompleteTransfer(PIRP irp, const UsbInCompletion& completion);
void CompleteTransfers(const std::vector<PIRP>& irps, USBD_STATUS status);

inline PURB UrbOf(PIRP irp) {
    return static_cast<PURB>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1);
}

} // namespace platform::usb
