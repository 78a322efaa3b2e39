// What the device looks like to the HID class: a three-button absolute
// pointer whose 5-byte input report is the touch driver's TOUCH_POINT.
#include "drivers/hid/pelmo98.h"

const HID_DESCRIPTOR BridgeHidDescriptor = {
    9,      // bLength
    0x21,   // HID
    0x0001, // bcdHID, as the device has always reported it: bytes 01 00
    0,      // bCountry
    1,      // bNumDescriptors
    {{0x22, BRIDGE_REPORT_DESCRIPTOR_LENGTH}}, // one report descriptor
};

static const UCHAR ReportDescriptor[BRIDGE_REPORT_DESCRIPTOR_LENGTH] = {
    0x05, 0x01,       // Usage Page (Generic Desktop)
    0x09, 0x02,       // Usage (Mouse)
    0xA1, 0x01,       // Collection (Application)
    0x09, 0x01,       //   Usage (Pointer)
    0xA1, 0x00,       //   Collection (Physical)
    0x05, 0x09,       //     Usage Page (Button)
    0x19, 0x01,       //     Usage Minimum (1)
    0x29, 0x03,       //     Usage Maximum (3)
    0x15, 0x00,       //     Logical Minimum (0)
    0x25, 0x01,       //     Logical Maximum (1)
    0x95, 0x03,       //     Report Count (3)
    0x75, 0x01,       //     Report Size (1)
    0x81, 0x02,       //     Input (Data, Variable, Absolute): buttons 1 to 3
    0x95, 0x01,       //     Report Count (1)
    0x75, 0x05,       //     Report Size (5)
    0x81, 0x01,       //     Input (Constant): padding
    0x05, 0x01,       //     Usage Page (Generic Desktop)
    0x09, 0x30,       //     Usage (X)
    0x09, 0x31,       //     Usage (Y)
    0x16, 0x01, 0x00, //     Logical Minimum (1)
    0x26, 0xFF, 0xFF, //     Logical Maximum (0xFFFF; 0x7FFF in the second variant)
    0x75, 0x10,       //     Report Size (16)
    0x95, 0x02,       //     Report Count (2)
    0x81, 0x02,       //     Input (Data, Variable, Absolute): X, Y
    0xC0,             //   End Collection
    0xC0,             // End Collection
};

// The high byte of the X/Y logical maximum: the only byte the variants differ in.
#define LOGICAL_MAXIMUM_HIGH_BYTE 43
// From this USBDI version on the logical maximum is 0x7FFF.
#define SIGNED_RANGE_USBDI_VERSION 0x300

VOID CopyReportDescriptor(ULONG UsbdiVersion, PUCHAR Buffer) {
    RtlCopyMemory(Buffer, ReportDescriptor, sizeof(ReportDescriptor));
    if (UsbdiVersion >= SIGNED_RANGE_USBDI_VERSION) {
        Buffer[LOGICAL_MAXIMUM_HIGH_BYTE] = 0x7F;
    }
}

const HID_DEVICE_ATTRIBUTES BridgeAttributes = {
    sizeof(HID_DEVICE_ATTRIBUTES),
    0x595A, // the touch screen's own USB vendor
    0x0001, // and product
    0x0100,
    {0},
};

// USB string descriptors back to back: the language table, the maker, the
// product. UTF-16LE without terminators.
const UCHAR BridgeStringBlock[] = {
    0x04,
    0x03,
    0x09,
    0x00, // languages: 0x0009
    0x26,
    0x03, // "Quessa Corporation"
    'Q',
    0,
    'u',
    0,
    'e',
    0,
    's',
    0,
    's',
    0,
    'a',
    0,
    ' ',
    0,
    'C',
    0,
    'o',
    0,
    'r',
    0,
    'p',
    0,
    'o',
    0,
    'r',
    0,
    'a',
    0,
    't',
    0,
    'i',
    0,
    'o',
    0,
    'n',
    0,
    0x20,
    0x03, // "Infrared
          // Screen"
    'I',
    0,
    'n',
    0,
    'f',
    0,
    'r',
    0,
    'a',
    0,
    'r',
    0,
    'e',
    0,
    'd',
    0,
    ' ',
    0,
    'S',
    0,
    'c',
    0,
    'r',
    0,
    'e',
    0,
    'e',
    0,
    'n',
    0,
};
const ULONG BridgeStringBlockLength = sizeof(BridgeStringBlock);

// One identifier, its NUL and the list's NUL.
const WCHAR BridgeDeviceIdentifier[BRIDGE_DEVICE_IDENTIFIER_LENGTH / sizeof(WCHAR)] =
    KTEXT("HID\\Vid_05E3&Pid_1205\0");

static_assert(sizeof(BridgeHidDescriptor) == 9, "hid_descriptor_size");
static_assert(sizeof(BridgeAttributes) == 32, "attributes_size");
static_assert(sizeof(BridgeStringBlock) == 4 + 0x26 + 0x20, "string_block_size");
static_assert(sizeof(BridgeDeviceIdentifier) == BRIDGE_DEVICE_IDENTIFIER_LENGTH, "identifier");
