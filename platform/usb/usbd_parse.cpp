// USBD descriptor parsing. A device may send any bytes, so every walk stays
// inside [buffer, buffer + length): a descriptor is matched only when it lies
// wholly inside the buffer and is at least as long as its structure; a
// bLength below 2 ends the walk (it cannot advance).
#include "platform/usb/usbd_total_length.h"
#include "platform/usb/usbdi.h"

namespace {

ULONG MinimumLength(LONG descriptorType) {
    switch (descriptorType) {
    case USB_DEVICE_DESCRIPTOR_TYPE:
        return sizeof(USB_DEVICE_DESCRIPTOR);
    case USB_CONFIGURATION_DESCRIPTOR_TYPE:
        return sizeof(USB_CONFIGURATION_DESCRIPTOR);
    case USB_INTERFACE_DESCRIPTOR_TYPE:
        return sizeof(USB_INTERFACE_DESCRIPTOR);
    case USB_ENDPOINT_DESCRIPTOR_TYPE:
        return sizeof(USB_ENDPOINT_DESCRIPTOR);
    default:
        return sizeof(USB_COMMON_DESCRIPTOR);
    }
}

bool Matches(LONG wanted, UCHAR actual) {
    return wanted == -1 || wanted == actual;
}

} // namespace

PUSB_COMMON_DESCRIPTOR USBD_ParseDescriptors(PVOID DescriptorBuffer, ULONG TotalLength,
                                             PVOID StartPosition, LONG DescriptorType) {
    if (DescriptorBuffer == NULL || StartPosition == NULL)
        return NULL;
    const PUCHAR begin = static_cast<PUCHAR>(DescriptorBuffer);
    const PUCHAR start = static_cast<PUCHAR>(StartPosition);
    if (start < begin || static_cast<ULONG_PTR>(start - begin) >= TotalLength)
        return NULL;
    ULONG offset = static_cast<ULONG>(start - begin);
    const ULONG minimum = MinimumLength(DescriptorType);
    while (TotalLength - offset >= sizeof(USB_COMMON_DESCRIPTOR)) {
        auto* common = reinterpret_cast<PUSB_COMMON_DESCRIPTOR>(begin + offset);
        const ULONG length = common->bLength;
        if (length < sizeof(USB_COMMON_DESCRIPTOR) || length > TotalLength - offset)
            return NULL;
        if (common->bDescriptorType == DescriptorType && length >= minimum)
            return common;
        offset += length;
    }
    return NULL;
}

PUSB_INTERFACE_DESCRIPTOR
USBD_ParseConfigurationDescriptorEx(PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor,
                                    PVOID StartPosition, LONG InterfaceNumber,
                                    LONG AlternateSetting, LONG InterfaceClass,
                                    LONG InterfaceSubClass, LONG InterfaceProtocol) {
    if (ConfigurationDescriptor == NULL)
        return NULL;
    const ULONG total = platform::usb::WalkedTotalLength(ConfigurationDescriptor,
                                                         "USBD_ParseConfigurationDescriptorEx");
    PVOID position = StartPosition;
    for (;;) {
        auto* found = reinterpret_cast<PUSB_INTERFACE_DESCRIPTOR>(USBD_ParseDescriptors(
            ConfigurationDescriptor, total, position, USB_INTERFACE_DESCRIPTOR_TYPE));
        if (found == NULL)
            return NULL;
        if (Matches(InterfaceNumber, found->bInterfaceNumber) &&
            Matches(AlternateSetting, found->bAlternateSetting) &&
            Matches(InterfaceClass, found->bInterfaceClass) &&
            Matches(InterfaceSubClass, found->bInterfaceSubClass) &&
            Matches(InterfaceProtocol, found->bInterfaceProtocol))
            return found;
        position = reinterpret_cast<PUCHAR>(found) + found->bLength;
    }
}
