// URB functions of a port's PDO.
#include "platform/kernel/kernel.h"
#include "platform/usb/usb_pdo.h"
#include "platform/usb/usb_status.h"
#include "platform/usb/usbd_total_length.h"

#include <algorithm>
#include <cstring>

namespace platform::usb {

namespace {

constexpr UCHAR kRequestTypeIn = 0x80;
constexpr UCHAR kRequestTypeClass = 0x20;
constexpr UCHAR kRequestTypeVendor = 0x40;
constexpr UCHAR kRecipientInterface = 0x01;
constexpr SIZE_T kInterfaceRecordHeader = offsetof(USBD_INTERFACE_INFORMATION, Pipes);

// One validated interface record of a select-configuration URB.
struct InterfaceChoice {
    PUSBD_INTERFACE_INFORMATION record;
    PUSB_INTERFACE_DESCRIPTOR descriptor;
    std::vector<PUSB_ENDPOINT_DESCRIPTOR> endpoints;
};

// The endpoints that follow an interface descriptor, up to the next interface.
bool FindEndpoints(PUSB_CONFIGURATION_DESCRIPTOR config, InterfaceChoice& choice) {
    const ULONG total = WalkedTotalLength(config, "URB_FUNCTION_SELECT_CONFIGURATION");
    PUCHAR after = reinterpret_cast<PUCHAR>(choice.descriptor) + choice.descriptor->bLength;
    PUCHAR limit = reinterpret_cast<PUCHAR>(
        USBD_ParseDescriptors(config, total, after, USB_INTERFACE_DESCRIPTOR_TYPE));
    PUCHAR position = after;
    while (choice.endpoints.size() < choice.descriptor->bNumEndpoints) {
        auto* endpoint = reinterpret_cast<PUSB_ENDPOINT_DESCRIPTOR>(
            USBD_ParseDescriptors(config, total, position, USB_ENDPOINT_DESCRIPTOR_TYPE));
        if (endpoint == NULL || (limit != NULL && reinterpret_cast<PUCHAR>(endpoint) > limit))
            return false;
        choice.endpoints.push_back(endpoint);
        position = reinterpret_cast<PUCHAR>(endpoint) + endpoint->bLength;
    }
    return true;
}

USBD_STATUS ValidateSelection(PURB urb, std::vector<InterfaceChoice>& choices) {
    PUSB_CONFIGURATION_DESCRIPTOR config = urb->UrbSelectConfiguration.ConfigurationDescriptor;
    if (config->bLength < sizeof(USB_CONFIGURATION_DESCRIPTOR) ||
        config->bDescriptorType != USB_CONFIGURATION_DESCRIPTOR_TYPE ||
        config->wTotalLength < sizeof(USB_CONFIGURATION_DESCRIPTOR) || config->bNumInterfaces == 0)
        return USBD_STATUS_INAVLID_CONFIGURATION_DESCRIPTOR;

    PUCHAR record = reinterpret_cast<PUCHAR>(&urb->UrbSelectConfiguration.Interface);
    const PUCHAR end = reinterpret_cast<PUCHAR>(urb) + urb->UrbHeader.Length;
    for (UCHAR i = 0; i < config->bNumInterfaces; ++i) {
        if (record > end || static_cast<SIZE_T>(end - record) < kInterfaceRecordHeader)
            return USBD_STATUS_INVALID_PARAMETER;
        auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(record);
        if (info->Length < kInterfaceRecordHeader || info->Length > end - record)
            return USBD_STATUS_INVALID_PARAMETER;
        InterfaceChoice choice{info, nullptr, {}};
        choice.descriptor = USBD_ParseConfigurationDescriptorEx(
            config, config, info->InterfaceNumber, info->AlternateSetting, -1, -1, -1);
        if (choice.descriptor == NULL)
            return USBD_STATUS_INTERFACE_NOT_FOUND;
        const SIZE_T room = (info->Length - kInterfaceRecordHeader) / sizeof(USBD_PIPE_INFORMATION);
        if (choice.descriptor->bNumEndpoints > room)
            return USBD_STATUS_BUFFER_TOO_SMALL;
        if (!FindEndpoints(config, choice))
            return USBD_STATUS_INAVLID_CONFIGURATION_DESCRIPTOR;
        choices.push_back(std::move(choice));
        record += info->Length;
    }
    return USBD_STATUS_SUCCESS;
}

} // namespace

NTSTATUS CompleteRequest(PIRP irp, NTSTATUS status) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS CompleteUrb(PIRP irp, USBD_STATUS status) {
    UrbOf(irp)->UrbHeader.Status = status;
    return CompleteRequest(irp, NtStatusFromUsbd(status));
}

void CompleteTransfer(PIRP irp, const UsbInCompletion& completion) {
    auto& transfer = UrbOf(irp)->UrbBulkOrInterruptTransfer;
    ULONG copied = 0;
    if (USBD_SUCCESS(completion.status)) {
        copied = static_cast<ULONG>(
            std::min<size_t>(completion.data.size(), transfer.TransferBufferLength));
        if (copied != 0)
            std::memcpy(transfer.TransferBuffer, completion.data.data(), copied);
    }
    transfer.TransferBufferLength = copied;
    CompleteUrb(irp, completion.status);
}

void CompleteTransfers(const std::vector<PIRP>& irps, USBD_STATUS status) {
    for (PIRP irp : irps)
        CompleteTransfer(irp, UsbInCompletion{status, {}});
}

USBD_STATUS UsbPort::CheckReachable() const {
    if (device_ == nullptr || gone_ || !connected_)
        return USBD_STATUS_DEVICE_GONE;
    if (!enabled_)
        return USBD_STATUS_DEV_NOT_RESPONDING;
    return USBD_STATUS_SUCCESS;
}

NTSTATUS UsbPort::SubmitUrb(PIRP irp) {
    PURB urb = UrbOf(irp);
    if (urb == NULL)
        return CompleteRequest(irp, STATUS_INVALID_PARAMETER);
    if (urb->UrbHeader.Function == URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER)
        return HoldTransfer(irp, urb);

    IrpList cancelled;
    USBD_STATUS status;
    {
        std::lock_guard lock(lock_);
        status = CheckReachable();
        if (USBD_SUCCESS(status)) {
            switch (urb->UrbHeader.Function) {
            case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE:
                status = GetDescriptor(urb);
                break;
            case URB_FUNCTION_SELECT_CONFIGURATION:
                status = SelectConfiguration(urb, cancelled);
                break;
            case URB_FUNCTION_CLASS_DEVICE:
            case URB_FUNCTION_CLASS_INTERFACE:
            case URB_FUNCTION_VENDOR_DEVICE:
            case URB_FUNCTION_VENDOR_INTERFACE:
                status = ClassOrVendorRequest(urb);
                break;
            default:
                status = USBD_STATUS_INVALID_URB_FUNCTION;
                break;
            }
        }
    }
    CompleteTransfers(cancelled, USBD_STATUS_CANCELED);
    return CompleteUrb(irp, status);
}

USBD_STATUS UsbPort::GetDescriptor(PURB urb) {
    auto& request = urb->UrbControlDescriptorRequest;
    if (urb->UrbHeader.Length < sizeof(request) ||
        (request.TransferBuffer == NULL && request.TransferBufferLength != 0))
        return USBD_STATUS_INVALID_PARAMETER;
    auto descriptor =
        device_->Descriptor(request.DescriptorType, request.Index, request.LanguageId);
    if (!descriptor) {
        request.TransferBufferLength = 0;
        return USBD_STATUS_STALL_PID;
    }
    // The setup packet's wLength is 16 bits; the device sends at most that.
    const size_t asked = std::min<ULONG>(request.TransferBufferLength, 0xFFFF);
    const size_t copied = std::min(asked, descriptor->size());
    if (copied != 0)
        std::memcpy(request.TransferBuffer, descriptor->data(), copied);
    request.TransferBufferLength = static_cast<ULONG>(copied);
    return USBD_STATUS_SUCCESS;
}

USBD_STATUS UsbPort::SelectConfiguration(PURB urb, IrpList& cancelled) {
    auto& select = urb->UrbSelectConfiguration;
    if (urb->UrbHeader.Length < offsetof(struct _URB_SELECT_CONFIGURATION, Interface))
        return USBD_STATUS_INVALID_PARAMETER;
    if (select.ConfigurationDescriptor == NULL) {
        device_->SetConfiguration(0);
        Unconfigure(cancelled);
        select.ConfigurationHandle = NULL;
        return USBD_STATUS_SUCCESS;
    }

    std::vector<InterfaceChoice> choices;
    USBD_STATUS status = ValidateSelection(urb, choices);
    if (!USBD_SUCCESS(status))
        return status;
    const UCHAR value = select.ConfigurationDescriptor->bConfigurationValue;
    if (!USBD_SUCCESS(device_->SetConfiguration(value)))
        return USBD_STATUS_SET_CONFIG_FAILED;

    Unconfigure(cancelled);
    configuration_ = value;
    for (InterfaceChoice& choice : choices) {
        PUSBD_INTERFACE_INFORMATION info = choice.record;
        interfaces_.push_back(std::make_unique<Interface>(Interface{info->InterfaceNumber}));
        info->Class = choice.descriptor->bInterfaceClass;
        info->SubClass = choice.descriptor->bInterfaceSubClass;
        info->Protocol = choice.descriptor->bInterfaceProtocol;
        info->Reserved = 0;
        info->InterfaceHandle = interfaces_.back().get();
        info->NumberOfPipes = static_cast<ULONG>(choice.endpoints.size());
        PUSBD_PIPE_INFORMATION pipes = info->Pipes;
        for (size_t i = 0; i < choice.endpoints.size(); ++i) {
            const PUSB_ENDPOINT_DESCRIPTOR endpoint = choice.endpoints[i];
            const auto type =
                static_cast<USBD_PIPE_TYPE>(endpoint->bmAttributes & USB_ENDPOINT_TYPE_MASK);
            pipes_.push_back(std::make_unique<Pipe>(Pipe{endpoint->bEndpointAddress, type}));
            pipes[i].MaximumPacketSize = endpoint->wMaxPacketSize;
            pipes[i].EndpointAddress = endpoint->bEndpointAddress;
            pipes[i].Interval = endpoint->bInterval;
            pipes[i].PipeType = type;
            pipes[i].PipeHandle = pipes_.back().get();
        }
    }
    select.ConfigurationHandle = this;
    return USBD_STATUS_SUCCESS;
}

USBD_STATUS UsbPort::ClassOrVendorRequest(PURB urb) {
    auto& request = urb->UrbControlVendorClassRequest;
    if (urb->UrbHeader.Length < sizeof(request) || request.TransferBufferLength > 0xFFFF ||
        (request.TransferBuffer == NULL && request.TransferBufferLength != 0))
        return USBD_STATUS_INVALID_PARAMETER;
    const USHORT function = urb->UrbHeader.Function;
    const bool in = (request.TransferFlags & USBD_TRANSFER_DIRECTION_IN) != 0;
    const bool vendor =
        function == URB_FUNCTION_VENDOR_DEVICE || function == URB_FUNCTION_VENDOR_INTERFACE;
    const bool toInterface =
        function == URB_FUNCTION_CLASS_INTERFACE || function == URB_FUNCTION_VENDOR_INTERFACE;
    UsbSetupPacket setup{};
    setup.bmRequestType = static_cast<UCHAR>(
        (in ? kRequestTypeIn : 0) | (vendor ? kRequestTypeVendor : kRequestTypeClass) |
        (toInterface ? kRecipientInterface : 0) | request.RequestTypeReservedBits);
    setup.bRequest = request.Request;
    setup.wValue = request.Value;
    setup.wIndex = request.Index;
    setup.wLength = static_cast<USHORT>(request.TransferBufferLength);

    auto* buffer = static_cast<uint8_t*>(request.TransferBuffer);
    std::vector<uint8_t> data(setup.wLength);
    if (!in && setup.wLength != 0)
        std::memcpy(data.data(), buffer, setup.wLength);
    const USBD_STATUS status = device_->ControlRequest(setup, data);
    if (!USBD_SUCCESS(status)) {
        request.TransferBufferLength = 0;
        return status;
    }
    if (in) {
        const size_t copied = std::min<size_t>(data.size(), setup.wLength);
        if (copied != 0)
            std::memcpy(buffer, data.data(), copied);
        request.TransferBufferLength = static_cast<ULONG>(copied);
    }
    return USBD_STATUS_SUCCESS;
}

USBD_STATUS UsbPort::CheckTransfer(PURB urb) const {
    const auto& transfer = urb->UrbBulkOrInterruptTransfer;
    if (urb->UrbHeader.Length < sizeof(transfer) ||
        (transfer.TransferBuffer == NULL && transfer.TransferBufferLength != 0))
        return USBD_STATUS_INVALID_PARAMETER;
    const auto pipe = std::find_if(pipes_.begin(), pipes_.end(),
                                   [&](const auto& p) { return p.get() == transfer.PipeHandle; });
    if (pipe == pipes_.end())
        return USBD_STATUS_INVALID_PIPE_HANDLE;
    if ((*pipe)->type != UsbdPipeTypeBulk && (*pipe)->type != UsbdPipeTypeInterrupt)
        return USBD_STATUS_INVALID_PARAMETER;
    if (((*pipe)->endpointAddress & USB_ENDPOINT_DIRECTION_MASK) == 0)
        return USBD_STATUS_NOT_SUPPORTED;
    return USBD_STATUS_SUCCESS;
}

NTSTATUS UsbPort::HoldTransfer(PIRP irp, PURB urb) {
    USBD_STATUS status;
    bool cancelledAlready = false;
    {
        std::lock_guard lock(lock_);
        status = CheckReachable();
        if (USBD_SUCCESS(status))
            status = CheckTransfer(urb);
        if (USBD_SUCCESS(status)) {
            IoMarkIrpPending(irp);
            urb->UrbHeader.Status = USBD_STATUS_PENDING;
            IoSetCancelRoutine(irp, HeldRequestCancelRoutine());
            if (irp->Cancel && IoSetCancelRoutine(irp, NULL) != NULL)
                cancelledAlready = true;
            else
                held_.push_back(irp);
        }
    }
    if (!USBD_SUCCESS(status)) {
        urb->UrbBulkOrInterruptTransfer.TransferBufferLength = 0;
        return CompleteUrb(irp, status);
    }
    if (cancelledAlready)
        CompleteTransfer(irp, UsbInCompletion{USBD_STATUS_CANCELED, {}});
    else
        ScheduleDelivery();
    return STATUS_PENDING;
}

} // namespace platform::usb
