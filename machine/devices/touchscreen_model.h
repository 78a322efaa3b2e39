// The infrared touch screen as a USB device model.
//
// Reports are 8 bytes: [0, status, rawX lo, rawX hi, rawY lo, rawY hi, 0, 0]
// with status 0x81 when a finger lands, 0x82 every report interval while it
// stays or moves, 0x84 when it lifts; positions are raw panel units. Reports
// are made on the virtual clock and wait in a FIFO of `fifoCapacity` entries
// until the hub takes one for a held transfer; when the FIFO is full the
// oldest report is dropped (the newest, a lift-off among them, survive).
//
// Fault switches, for tests:
// - FailTransfers(kind, n): the next n transfers to end on the interrupt
//   endpoint end with that fault (timeout: USBD_STATUS_TIMEOUT, request
//   STATUS_IO_TIMEOUT; data error: USBD_STATUS_CRC, STATUS_DEVICE_DATA_ERROR),
//   beginning with the one held now, if any. Queued reports stay queued.
// - FailResets(n): the next n port resets end with a data error.
// - StallClassRequests(true): class request 2 is stalled;
//   StallNextClassRequests(n): only the next n of them are.
// - The layout option: a configuration without interface or without pipe.
// Port faults (disabled or not connected at start, pulled out) are switches
// of the port (platform::usb::UsbPortOptions, UsbPort::PullOut).
//
// A port reset empties the FIFO and unconfigures the device (the hub selects
// the configuration again); a finger that stays keeps reporting.
//
// Thread-safe; the hub may call in from any thread.
#pragma once

#include "machine/devices/touchscreen_descriptors.h"
#include "platform/usb/usb_device_model.h"

#include <array>
#include <deque>
#include <memory>
#include <mutex>

namespace machine::devices {

struct TouchScreenOptions {
    uint8_t reportIntervalMs = 10;
    TouchLayout layout = TouchLayout::Normal;
    size_t fifoCapacity = 16;
};

enum class TransferFault { Timeout, DataError };

using TouchReport = std::array<uint8_t, kTouchReportLength>;

inline constexpr uint8_t kTouchStatusDown = 0x81;
inline constexpr uint8_t kTouchStatusHold = 0x82;
inline constexpr uint8_t kTouchStatusUp = 0x84;

TouchReport MakeTouchReport(uint8_t status, uint16_t rawX, uint16_t rawY);

class TouchScreenModel final : public platform::usb::UsbDeviceModel {
public:
    explicit TouchScreenModel(TouchScreenOptions options = {});
    ~TouchScreenModel() override;

    // The finger, from the current time on the virtual clock.
    void Press(uint16_t rawX, uint16_t rawY);
    // Moves a pressed finger in a straight line, reaching the target after
    // duration (100-ns units); the 0x82 reports show the way.
    void MoveTo(uint16_t rawX, uint16_t rawY, uint64_t duration);
    void Lift();
    // Press now, lift after hold (100-ns units).
    void Tap(uint16_t rawX, uint16_t rawY, uint64_t hold);
    // One report of any 8 bytes, queued now.
    void SendReport(const TouchReport& report);

    void FailTransfers(TransferFault fault, unsigned count);
    void FailResets(unsigned count);
    void StallClassRequests(bool stall);
    // Stalls only the next count class requests.
    void StallNextClassRequests(unsigned count);

    size_t QueuedReports() const;
    size_t DroppedReports() const;
    unsigned ClassRequests() const;
    unsigned Resets() const;
    uint8_t Configuration() const;
    bool Touching() const;
    uint64_t ReportInterval() const; // 100-ns units

    // platform::usb::UsbDeviceModel
    std::optional<std::vector<uint8_t>> Descriptor(UCHAR type, UCHAR index,
                                                   USHORT languageId) override;
    USBD_STATUS ControlRequest(const platform::usb::UsbSetupPacket& setup,
                               std::vector<uint8_t>& data) override;
    USBD_STATUS SetConfiguration(UCHAR value) override;
    USBD_STATUS PortReset() override;
    std::optional<platform::usb::UsbInCompletion> TakeIn(UCHAR endpointAddress) override;

private:
    struct Position {
        uint16_t x;
        uint16_t y;
    };
    Position PositionAt(uint64_t now) const; // lock_ held
    void Queue(const TouchReport& report);   // lock_ held
    void ScheduleTick(uint64_t due, uint64_t generation);
    void Tick(uint64_t generation);
    void LiftIf(uint64_t generation);

    const TouchScreenOptions options_;
    mutable std::mutex lock_;
    std::deque<TouchReport> fifo_;
    size_t dropped_ = 0;
    bool touching_ = false;
    uint64_t generation_ = 0; // a new press or a lift ends the old press's timed reports
    Position from_{};
    Position target_{};
    uint64_t moveStart_ = 0;
    uint64_t moveDuration_ = 0;
    TransferFault fault_ = TransferFault::Timeout;
    unsigned faultCount_ = 0;
    unsigned resetFaults_ = 0;
    bool stallClass_ = false;
    unsigned stallCount_ = 0;
    unsigned classRequests_ = 0;
    unsigned resets_ = 0;
    uint8_t configuration_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true); // guards scheduled events
};

} // namespace machine::devices
