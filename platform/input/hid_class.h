// The operating system's HID class driver, as far as a HID minidriver meets
// it. HidRegisterMinidriver (hid_class_driver.cpp) takes over the
// minidriver's driver object; the class's AddDevice creates the device on
// the minidriver's driver object, with HID_DEVICE_EXTENSION (the physical
// device, the next lower device, the minidriver's extension) at the start of
// its extension, attaches it to the stack and calls the minidriver's
// AddDevice. Requests reach the minidriver's own dispatch routines through
// the class.
//
// At each start, after the stack below has started: the HID descriptor, the
// device attributes, the report descriptor (of the length the HID descriptor
// gives), the manufacturer and product strings (language 0x0409; the input
// length field carries the buffer's length), then IOCTL_HID_ACTIVATE_DEVICE.
// The report descriptor is parsed (hid_report_parser.h); a descriptor that
// does not parse, or has no X and Y, fails the start. Then one read-report
// request is kept at the minidriver (it registered as polled: the class
// asks, the minidriver answers), re-sent as each one completes with success.
// Stop, surprise removal and removal cancel that request and wait for it
// before the minidriver hears of them; removal then detaches and deletes
// the device.
//
// Each input report becomes pointer motion and button events by its X, Y
// and button usages (hid_pointer_map.h, pointer.h). Trace lines, timed by
// the kernel's clock:
//   hid device vendor=0x595A product=0x0001 version=0x0100 report=5
//   hid start failed reason="item runs past the end at offset 50"
//   hid report 01 34 12 cd ab
//   pointer move x=62 y=126
//   pointer down left x=62 y=126
//
// One instance per kernel; minidrivers register with the live one. Its
// state is locked: reports may arrive on any thread.
#pragma once

#include "platform/input/hid_pointer_map.h"
#include "platform/input/hidport.h"
#include "platform/input/pointer_sink.h"

#include <string>
#include <vector>

namespace platform::input {

struct HidClassOptions {
    int screenWidth = 1024;
    int screenHeight = 768;
    // Off: the class sends no read-report requests (tests send their own).
    bool keepReading = true;
};

// What the class learnt from one device at its last start.
struct HidDevice {
    PDEVICE_OBJECT device = nullptr; // the device the class created
    NTSTATUS startStatus = STATUS_PENDING;
    std::string failure; // why the start failed, if it did
    std::vector<uint8_t> hidDescriptor;
    HID_DEVICE_ATTRIBUTES attributes{};
    std::vector<uint8_t> reportDescriptor;
    std::vector<uint8_t> manufacturer; // raw answers to IOCTL_HID_GET_STRING
    std::vector<uint8_t> product;
    size_t reportLength = 0; // of the pointer's input report
};

class HidClass : public PointerSink {
public:
    explicit HidClass(HidClassOptions options = {});
    ~HidClass();
    HidClass(const HidClass&) = delete;
    HidClass& operator=(const HidClass&) = delete;

    // The live instance, or nullptr.
    static HidClass* Current();

    const HidClassOptions& Options() const { return options_; }
    std::vector<HidDevice> Devices() const;
    size_t Reports() const; // input reports received so far

    // For the class's driver routines.
    void OnStarted(const HidDevice& device);
    void OnReport(const hid::PointerMap* map, const uint8_t* report, size_t length, UCHAR& buttons);

private:
    HidClassOptions options_;
    std::vector<HidDevice> devices_;
    size_t reports_ = 0;
};

} // namespace platform::input
