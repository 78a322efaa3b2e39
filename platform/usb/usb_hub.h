// The USB hub stand-in: a bus driver ("\Driver\usbhub") whose ports carry
// device models. Each occupied port has a physical device object (PDO) that
// answers what a client driver sends the real hub's PDO:
//
// - IRP_MJ_INTERNAL_DEVICE_CONTROL
//   - IOCTL_INTERNAL_USB_SUBMIT_URB: get descriptor, select configuration
//     (NULL descriptor unconfigures), class/vendor requests, and bulk or
//     interrupt IN transfers. Control URBs complete inside IoCallDriver.
//     Transfers are held (pending, cancellable) until the device has data and
//     then complete at DISPATCH_LEVEL from the clock's scheduler. The URB's
//     status and the request's status follow usb_status.h.
//   - IOCTL_INTERNAL_USB_GET_PORT_STATUS (Argument1: PULONG),
//     IOCTL_INTERNAL_USB_ENABLE_PORT, IOCTL_INTERNAL_USB_RESET_PORT. A reset
//     sent at PASSIVE_LEVEL completes inside IoCallDriver; one sent above it
//     is held and served at PASSIVE_LEVEL from the scheduler, as the real hub
//     serves it from a worker.
// - IRP_MJ_PNP: completes the state changes with success and answers
//   IRP_MN_QUERY_ID (device, hardware and instance IDs from the device
//   descriptor: "USB\VID_xxxx&PID_xxxx"). After the device was pulled out,
//   IRP_MN_REMOVE_DEVICE deletes the PDO once the stack above has unwound.
// - IRP_MJ_POWER: completes with success.
//
// Pulling the device out completes every held transfer with
// STATUS_DEVICE_NOT_CONNECTED (URB USBD_STATUS_DEVICE_GONE), which is what a
// real stack reports for a device that left the bus, and every later request
// fails the same way. Arrival and removal are announced through the port's
// callbacks; the Plug and Play side is the caller's.
//
// OUT transfers are not supported (no client writes to an endpoint);
// transfer buffers are plain pointers (no MDLs).
#pragma once

#include "platform/usb/usb_device_model.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform::usb {

struct UsbPortOptions {
    bool connected = true; // false: the PDO exists but the port reports nothing attached
    bool enabled = true;   // false: connected but disabled until enable or reset
};

class UsbHub;

class UsbPort {
public:
    ~UsbPort();
    UsbPort(const UsbPort&) = delete;
    UsbPort& operator=(const UsbPort&) = delete;

    // Puts a device on the port and creates its PDO, then calls onArrival.
    // Returns nullptr while a device is on the port. The PDO of one pulled
    // out whose removal has not come yet (a handle above it is open) is left
    // behind: it fails every request as a gone device until its
    // IRP_MN_REMOVE_DEVICE deletes it.
    PDEVICE_OBJECT Plug(UsbDeviceModel& device, UsbPortOptions options = {});
    // Pulls the device out (held transfers end, later requests fail), then
    // calls onRemoval. The PDO stays until IRP_MN_REMOVE_DEVICE reaches it.
    void PullOut();

    PDEVICE_OBJECT Pdo() const;
    ULONG StatusBits() const;    // USBD_PORT_ENABLED | USBD_PORT_CONNECTED
    UCHAR Configuration() const; // bConfigurationValue selected; 0 unconfigured
    size_t HeldRequests() const;

    struct Counters {
        unsigned statusQueries = 0;
        unsigned enables = 0;
        unsigned resets = 0;
    };
    Counters Stats() const;

    // Set by the machine before Plug; called without any lock held.
    std::function<void(PDEVICE_OBJECT)> onArrival;
    std::function<void(PDEVICE_OBJECT)> onRemoval;

private:
    friend class UsbHub;
    friend struct HubDispatch;

    struct Pipe {
        UCHAR endpointAddress;
        USBD_PIPE_TYPE type;
    };
    struct Interface {
        UCHAR number;
    };
    using IrpList = std::vector<PIRP>;

    UsbPort(UsbHub& hub, unsigned number);

    // Dispatch, at IRQL <= DISPATCH_LEVEL.
    NTSTATUS InternalDeviceControl(PIRP irp);
    NTSTATUS Pnp(PIRP irp);
    NTSTATUS Power(PIRP irp);
    void CancelHeld(PIRP irp);

    // URB functions; called with lock_ held, return the URB status.
    USBD_STATUS GetDescriptor(PURB urb);
    USBD_STATUS SelectConfiguration(PURB urb, IrpList& cancelled);
    USBD_STATUS ClassOrVendorRequest(PURB urb);
    USBD_STATUS CheckReachable() const;
    USBD_STATUS CheckTransfer(PURB urb) const;
    NTSTATUS SubmitUrb(PIRP irp);
    NTSTATUS HoldTransfer(PIRP irp, PURB urb);
    NTSTATUS ResetPort(PIRP irp);
    NTSTATUS ResetNow();
    NTSTATUS QueryId(PIRP irp);

    void ScheduleDelivery();
    void Deliver();
    // Takes every held request whose cancel routine could be cleared.
    IrpList TakeHeld();
    void DeletePdoLater(PDEVICE_OBJECT pdo);
    void Shutdown();
    void Unconfigure(IrpList& cancelled);
    // A PDO left behind (usb_port_left.cpp).
    void LeaveBehindLocked();
    static NTSTATUS LeftBehindRequest(PIRP irp);
    NTSTATUS LeftBehindPnp(PDEVICE_OBJECT pdo, PIRP irp);
    bool ForgetPdoLocked(PDEVICE_OBJECT pdo); // false: not ours any more

    UsbHub& hub_;
    const unsigned number_;
    mutable std::mutex lock_;
    UsbDeviceModel* device_ = nullptr;
    PDEVICE_OBJECT pdo_ = nullptr;
    std::vector<PDEVICE_OBJECT> leftBehind_;
    bool connected_ = false;
    bool enabled_ = false;
    bool gone_ = false;
    UCHAR configuration_ = 0;
    std::vector<std::unique_ptr<Pipe>> pipes_; // a pipe handle is a Pipe*
    std::vector<std::unique_ptr<Interface>> interfaces_;
    std::deque<PIRP> held_;   // transfers, in arrival order; cancellable
    std::deque<PIRP> resets_; // resets sent above PASSIVE_LEVEL, served in order
    Counters stats_;
    std::atomic<bool> deliveryPending_{false};
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true); // guards scheduled events
};

class UsbHub {
public:
    // Loads the hub driver into the current kernel. One hub per kernel.
    explicit UsbHub(size_t ports = 1);
    // Ends everything held, deletes the PDOs and unloads the driver. Client
    // drivers must have left the stacks by then.
    ~UsbHub();
    UsbHub(const UsbHub&) = delete;
    UsbHub& operator=(const UsbHub&) = delete;

    UsbPort& Port(size_t index = 0);
    PDRIVER_OBJECT Driver() const { return driver_; }

private:
    friend class UsbPort;
    PDRIVER_OBJECT driver_ = nullptr;
    std::vector<std::unique_ptr<UsbPort>> ports_;
    unsigned pdoSerial_ = 0;
};

} // namespace platform::usb
