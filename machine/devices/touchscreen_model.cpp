#include "machine/devices/touchscreen_model.h"

#include "platform/kernel/kernel.h"

#include <algorithm>

namespace machine::devices {

namespace {

using platform::usb::UsbInCompletion;
using platform::usb::UsbSetupPacket;

constexpr uint64_t kUnitsPerMs = 10'000;
constexpr UCHAR kClassInterfaceIn = 0xA1;
constexpr UCHAR kRequestGetIdle = 0x02;

platform::kernel::Kernel& TheKernel() {
    return platform::kernel::Kernel::Current();
}

uint16_t Between(uint16_t from, uint16_t to, uint64_t done, uint64_t total) {
    const int64_t delta = static_cast<int64_t>(to) - static_cast<int64_t>(from);
    return static_cast<uint16_t>(from +
                                 delta * static_cast<int64_t>(done) / static_cast<int64_t>(total));
}

} // namespace

TouchReport MakeTouchReport(uint8_t status, uint16_t rawX, uint16_t rawY) {
    return {0,
            status,
            static_cast<uint8_t>(rawX),
            static_cast<uint8_t>(rawX >> 8),
            static_cast<uint8_t>(rawY),
            static_cast<uint8_t>(rawY >> 8),
            0,
            0};
}

TouchScreenModel::TouchScreenModel(TouchScreenOptions options) : options_(options) {}

TouchScreenModel::~TouchScreenModel() {
    std::lock_guard lock(lock_);
    alive_.reset();
}

uint64_t TouchScreenModel::ReportInterval() const {
    return options_.reportIntervalMs * kUnitsPerMs;
}

TouchScreenModel::Position TouchScreenModel::PositionAt(uint64_t now) const {
    if (moveDuration_ == 0 || now >= moveStart_ + moveDuration_)
        return target_;
    const uint64_t done = now - moveStart_;
    return {Between(from_.x, target_.x, done, moveDuration_),
            Between(from_.y, target_.y, done, moveDuration_)};
}

void TouchScreenModel::Queue(const TouchReport& report) {
    if (options_.fifoCapacity == 0) {
        ++dropped_;
        return;
    }
    if (fifo_.size() >= options_.fifoCapacity) {
        fifo_.pop_front();
        ++dropped_;
    }
    fifo_.push_back(report);
}

void TouchScreenModel::Press(uint16_t rawX, uint16_t rawY) {
    const uint64_t now = TheKernel().Now();
    uint64_t generation;
    {
        std::lock_guard lock(lock_);
        generation = ++generation_;
        touching_ = true;
        from_ = target_ = {rawX, rawY};
        moveStart_ = now;
        moveDuration_ = 0;
        Queue(MakeTouchReport(kTouchStatusDown, rawX, rawY));
    }
    SignalInReady();
    ScheduleTick(now + ReportInterval(), generation);
}

void TouchScreenModel::MoveTo(uint16_t rawX, uint16_t rawY, uint64_t duration) {
    const uint64_t now = TheKernel().Now();
    std::lock_guard lock(lock_);
    if (!touching_)
        return;
    from_ = PositionAt(now);
    target_ = {rawX, rawY};
    moveStart_ = now;
    moveDuration_ = duration;
}

void TouchScreenModel::Lift() {
    const uint64_t now = TheKernel().Now();
    {
        std::lock_guard lock(lock_);
        if (!touching_)
            return;
        touching_ = false;
        ++generation_;
        const Position at = PositionAt(now);
        Queue(MakeTouchReport(kTouchStatusUp, at.x, at.y));
    }
    SignalInReady();
}

void TouchScreenModel::LiftIf(uint64_t generation) {
    {
        std::lock_guard lock(lock_);
        if (generation != generation_)
            return;
    }
    Lift();
}

void TouchScreenModel::Tap(uint16_t rawX, uint16_t rawY, uint64_t hold) {
    Press(rawX, rawY);
    uint64_t generation;
    std::weak_ptr<bool> alive;
    {
        std::lock_guard lock(lock_);
        generation = generation_;
        alive = alive_;
    }
    TheKernel().Schedule(TheKernel().Now() + hold, [this, alive, generation] {
        if (!alive.expired())
            LiftIf(generation);
    });
}

void TouchScreenModel::ScheduleTick(uint64_t due, uint64_t generation) {
    std::weak_ptr<bool> alive;
    {
        std::lock_guard lock(lock_);
        alive = alive_;
    }
    TheKernel().Schedule(due, [this, alive, generation] {
        if (!alive.expired())
            Tick(generation);
    });
}

void TouchScreenModel::Tick(uint64_t generation) {
    const uint64_t now = TheKernel().Now();
    {
        std::lock_guard lock(lock_);
        if (!touching_ || generation != generation_)
            return;
        const Position at = PositionAt(now);
        Queue(MakeTouchReport(kTouchStatusHold, at.x, at.y));
    }
    SignalInReady();
    ScheduleTick(now + ReportInterval(), generation);
}

void TouchScreenModel::SendReport(const TouchReport& report) {
    {
        std::lock_guard lock(lock_);
        Queue(report);
    }
    SignalInReady();
}

void TouchScreenModel::FailTransfers(TransferFault fault, unsigned count) {
    {
        std::lock_guard lock(lock_);
        fault_ = fault;
        faultCount_ = count;
    }
    SignalInReady();
}

void TouchScreenModel::FailResets(unsigned count) {
    std::lock_guard lock(lock_);
    resetFaults_ = count;
}

void TouchScreenModel::StallClassRequests(bool stall) {
    std::lock_guard lock(lock_);
    stallClass_ = stall;
}

void TouchScreenModel::StallNextClassRequests(unsigned count) {
    std::lock_guard lock(lock_);
    stallCount_ = count;
}

size_t TouchScreenModel::QueuedReports() const {
    std::lock_guard lock(lock_);
    return fifo_.size();
}

size_t TouchScreenModel::DroppedReports() const {
    std::lock_guard lock(lock_);
    return dropped_;
}

unsigned TouchScreenModel::ClassRequests() const {
    std::lock_guard lock(lock_);
    return classRequests_;
}

unsigned TouchScreenModel::Resets() const {
    std::lock_guard lock(lock_);
    return resets_;
}

uint8_t TouchScreenModel::Configuration() const {
    std::lock_guard lock(lock_);
    return configuration_;
}

bool TouchScreenModel::Touching() const {
    std::lock_guard lock(lock_);
    return touching_;
}

std::optional<std::vector<uint8_t>> TouchScreenModel::Descriptor(UCHAR type, UCHAR index,
                                                                 USHORT languageId) {
    (void)languageId;
    if (type == USB_DEVICE_DESCRIPTOR_TYPE && index == 0)
        return TouchDeviceDescriptor();
    if (type == USB_CONFIGURATION_DESCRIPTOR_TYPE && index == 0)
        return TouchConfigurationDescriptor(options_.layout, options_.reportIntervalMs);
    return std::nullopt;
}

USBD_STATUS TouchScreenModel::ControlRequest(const UsbSetupPacket& setup,
                                             std::vector<uint8_t>& data) {
    std::lock_guard lock(lock_);
    if (setup.bmRequestType != kClassInterfaceIn || setup.bRequest != kRequestGetIdle ||
        stallClass_)
        return USBD_STATUS_STALL_PID;
    if (stallCount_ != 0) {
        --stallCount_;
        return USBD_STATUS_STALL_PID;
    }
    ++classRequests_;
    data.assign(std::min<size_t>(1, setup.wLength), 0); // idle rate 0: report on change only
    return USBD_STATUS_SUCCESS;
}

USBD_STATUS TouchScreenModel::SetConfiguration(UCHAR value) {
    std::lock_guard lock(lock_);
    if (value != 0 && value != kTouchConfigurationValue)
        return USBD_STATUS_STALL_PID;
    configuration_ = value;
    return USBD_STATUS_SUCCESS;
}

USBD_STATUS TouchScreenModel::PortReset() {
    std::lock_guard lock(lock_);
    ++resets_;
    if (resetFaults_ != 0) {
        --resetFaults_;
        return USBD_STATUS_CRC;
    }
    fifo_.clear();
    configuration_ = 0;
    return USBD_STATUS_SUCCESS;
}

std::optional<UsbInCompletion> TouchScreenModel::TakeIn(UCHAR endpointAddress) {
    std::lock_guard lock(lock_);
    if (endpointAddress != kTouchEndpoint || configuration_ == 0)
        return std::nullopt;
    if (faultCount_ != 0) {
        --faultCount_;
        return UsbInCompletion{
            fault_ == TransferFault::Timeout ? USBD_STATUS_TIMEOUT : USBD_STATUS_CRC, {}};
    }
    if (fifo_.empty())
        return std::nullopt;
    UsbInCompletion completion{USBD_STATUS_SUCCESS,
                               std::vector<uint8_t>(fifo_.front().begin(), fifo_.front().end())};
    fifo_.pop_front();
    return completion;
}

} // namespace machine::devices
