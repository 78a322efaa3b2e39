// USBD_CreateConfigurationRequestEx: one select-configuration URB holding an
// interface record per list entry, each record sized for the pipes its
// descriptor announces (a record always has room for one pipe entry).
#include "platform/usb/usbd_pool.h"
#include "platform/usb/usbdi.h"

namespace {

constexpr SIZE_T kRecordsOffset = offsetof(struct _URB_SELECT_CONFIGURATION, Interface);

SIZE_T InterfaceRecordSize(UCHAR endpoints) {
    const SIZE_T extraPipes = endpoints > 1 ? endpoints - 1u : 0u;
    return sizeof(USBD_INTERFACE_INFORMATION) + extraPipes * sizeof(USBD_PIPE_INFORMATION);
}

} // namespace

PURB USBD_CreateConfigurationRequestEx(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                       PUSBD_INTERFACE_LIST_ENTRY InterfaceList) {
    if (ConfigurationDescriptor == NULL || InterfaceList == NULL)
        return NULL;
    SIZE_T size = kRecordsOffset;
    ULONG interfaces = 0;
    for (PUSBD_INTERFACE_LIST_ENTRY entry = InterfaceList; entry->InterfaceDescriptor; ++entry) {
        size += InterfaceRecordSize(entry->InterfaceDescriptor->bNumEndpoints);
        ++interfaces;
    }
    if (interfaces == 0 || size > 0xFFFF)
        return NULL;

    auto* urb =
        static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPool, size, platform::usb::kUsbdPoolTag));
    if (urb == NULL)
        return NULL;
    RtlZeroMemory(urb, size);
    UsbBuildSelectConfigurationRequest(urb, static_cast<USHORT>(size), ConfigurationDescriptor);

    PUCHAR record = reinterpret_cast<PUCHAR>(urb) + kRecordsOffset;
    for (PUSBD_INTERFACE_LIST_ENTRY entry = InterfaceList; entry->InterfaceDescriptor; ++entry) {
        const PUSB_INTERFACE_DESCRIPTOR descriptor = entry->InterfaceDescriptor;
        auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(record);
        const SIZE_T recordSize = InterfaceRecordSize(descriptor->bNumEndpoints);
        info->Length = static_cast<USHORT>(recordSize);
        info->InterfaceNumber = descriptor->bInterfaceNumber;
        info->AlternateSetting = descriptor->bAlternateSetting;
        info->NumberOfPipes = descriptor->bNumEndpoints;
        PUSBD_PIPE_INFORMATION pipes = info->Pipes;
        for (ULONG pipe = 0; pipe < info->NumberOfPipes; ++pipe)
            pipes[pipe].MaximumTransferSize = USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE;
        entry->Interface = info;
        record += recordSize;
    }
    return urb;
}
