#include "tests/soak/walk.h"

#include "tests/soak/settings_writer.h"

#include "drivers/touch/korvex.h"
#include "machine/devices/touchscreen_model.h"
#include "machine/machine_error.h"
#include "platform/kernel/kernel.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace soak {
namespace {

using platform::kernel::Kernel;
using platform::win32::OsKind;

// A step may pause for the reader's stop (100 ms and up to 1.2 s for the
// transfer), a touch of a few reports, and a wait of 1.5 s; far more means
// something waited for a timeout it should not have needed.
// "sser", the HID bridge's pool tag, as Windows stores it.
constexpr ULONG kBridgeTag = 's' | 's' << 8 | 'e' << 16 | 'r' << 24;

constexpr uint64_t kLongestStep = 20'000 * machine::Machine::kMillisecond;

machine::MachineConfig ConfigFor(OsKind os) {
    machine::MachineConfig config;
    config.os = os;
    return config;
}

} // namespace

Walk::Walk(OsKind os) : oracle_(os != OsKind::Windows98, 1024, 768), machine_(ConfigFor(os)) {
    machine_.KeepTrace(false);
    machine_.SetTraceListener([this](const std::string& line) {
        if (print_)
            std::printf("%s\n", line.c_str());
        oracle_.Line(line, machine_.Kernel().Now());
    });
    // Windows may deliver an interface notification after its unregistration.
    machine_.Kernel().SetLateNotifications(true);
    machine_.Kernel().SetAllocationFilter([this](const platform::kernel::AllocationRequest& r) {
        // A read-report request the HID bridge fails for want of pool stops
        // the HID class's reads for good (known, left as it is): spared, so
        // that the rest of a 98 walk still moves the pointer.
        if (r.kind == platform::kernel::AllocationRequest::Kind::Pool && r.tag == kBridgeTag)
            return false;
        const uint64_t n = allocationsSeen_++;
        if (n >= failFrom_ && n < failUntil_) {
            ++counts_.failedAllocations;
            return true;
        }
        return false;
    });
    WriteSettings(machine_.Kernel().Registry(), 1, 0, 5000);
    machine_.Boot();
    machine_.PlugScreen();
}

void Walk::ArmLowResources(uint16_t pass, uint16_t fail) {
    failFrom_ = allocationsSeen_ + pass;
    failUntil_ = failFrom_ + fail;
}

void Walk::Flap() {
    platform::kernel::DeviceNode* node = machine_.ScreenNode();
    Kernel& kernel = machine_.Kernel();
    if (node == nullptr || kernel.StateOf(node) != Kernel::DeviceState::Started)
        return;
    kernel.StopDevice(node);
    machine_.Settle();
    if (kernel.StateOf(node) == Kernel::DeviceState::Stopped)
        kernel.RestartDevice(node);
    machine_.Settle();
}

bool Walk::ApplyScreen(const Event& event) {
    switch (event.kind) {
    case EventKind::Report:
        if (!machine_.ScreenPlugged())
            return false;
        machine_.SendReport(static_cast<uint8_t>(event.a), event.b, event.c);
        return true;
    case EventKind::Touch: {
        if (!machine_.ScreenPlugged())
            return false;
        const int by = static_cast<int>(event.d) - 32768;
        auto moved = [by](uint16_t from) {
            const int to = static_cast<int>(from) + by;
            return static_cast<uint16_t>(to < 0 ? 0 : to > 0xFFFF ? 0xFFFF : to);
        };
        machine_.Touch(event.a, event.b, event.c, moved(event.a), moved(event.b));
        return true;
    }
    case EventKind::Fault:
        machine_.Fault(static_cast<machine::ScreenFault>(event.a % 6), event.b);
        return true;
    case EventKind::Unplug:
        if (!machine_.ScreenPlugged())
            return false;
        machine_.UnplugScreen();
        return true;
    case EventKind::Plug:
        if (machine_.ScreenPlugged())
            return false;
        try {
            machine_.PlugScreen();
        } catch (const machine::MachineError&) {
            return false; // the port still holds the old screen: a handle is open
        }
        return true;
    case EventKind::Flap:
        Flap();
        return true;
    default:
        return false;
    }
}

bool Walk::ApplyControl(const Event& event) {
    machine::ControlClient& control = machine_.Control();
    switch (event.kind) {
    case EventKind::CtlOpen:
        control.Open();
        break;
    case EventKind::CtlClose:
        control.Close();
        break;
    case EventKind::CtlCommand:
        control.Command(static_cast<uint8_t>(event.a));
        break;
    case EventKind::CtlGetPoint: {
        machine::ControlPoint point;
        control.GetPoint(&point);
        break;
    }
    default:
        return false;
    }
    machine_.Settle();
    return true;
}

bool Walk::Apply(const Event& event) {
    // A sleeping machine runs no program and its bus carries nothing.
    const bool awakeOnly = event.kind != EventKind::Resume && event.kind != EventKind::Wait &&
                           event.kind != EventKind::Settings &&
                           event.kind != EventKind::BrokenValue && event.kind != EventKind::Fault &&
                           event.kind != EventKind::LowResources;
    if (standby_ && awakeOnly)
        return false;
    switch (event.kind) {
    case EventKind::Settings:
        WriteSettings(machine_.Kernel().Registry(), event.a, event.b, event.c);
        return true;
    case EventKind::BrokenValue:
        if (event.a >= static_cast<uint16_t>(BrokenSetting::Count))
            return false;
        WriteBroken(machine_.Kernel().Registry(), static_cast<BrokenSetting>(event.a));
        return true;
    case EventKind::Wait:
        machine_.Wait(event.a);
        return true;
    case EventKind::Standby:
        machine_.Standby();
        standby_ = true;
        return true;
    case EventKind::Resume:
        if (!standby_)
            return false;
        machine_.Resume();
        standby_ = false;
        return true;
    case EventKind::LowResources:
        ArmLowResources(event.a, event.b);
        return true;
    case EventKind::CtlOpen:
    case EventKind::CtlClose:
    case EventKind::CtlCommand:
    case EventKind::CtlGetPoint:
        return ApplyControl(event);
    default:
        return ApplyScreen(event);
    }
}

std::optional<Finding> Walk::Check(uint64_t started) {
    oracle_.Settle(machine_.Screen().QueuedReports() + machine_.Screen().DroppedReports(),
                   machine_.Kernel().Now());
    const std::vector<platform::kernel::Violation> violations = machine_.Violations();
    if (!violations.empty())
        return Finding{violations.front().rule, violations.front().detail};
    const std::string wrongPoint = oracle_.Finding();
    if (!wrongPoint.empty())
        return Finding{"pointer-unexplained", wrongPoint};
    const uint64_t now = machine_.Kernel().Now();
    if (now - started > kLongestStep)
        return Finding{"step-too-long",
                       std::to_string((now - started) / machine::Machine::kMillisecond) + " ms"};
    counts_.virtualMs = now / machine::Machine::kMillisecond;
    if (PDEVICE_OBJECT touch = machine_.Kernel().FindDevice(TOUCH_DEVICE_NAME_TEXT)) {
        const auto* extension = static_cast<const TOUCH_DEVICE_EXTENSION*>(touch->DeviceExtension);
        const uint32_t queued = extension->TouchPointQueue.Count;
        if (queued > TOUCH_QUEUE_ENTRIES)
            return Finding{"queue-overflow", std::to_string(queued) + " points queued"};
        if (queued > counts_.deepestQueue)
            counts_.deepestQueue = queued;
    }
    ++counts_.checks;
    return std::nullopt;
}

std::optional<Finding> Walk::Step(const Event& event) {
    ++counts_.events;
    const uint64_t started = machine_.Kernel().Now();
    if (print_)
        std::printf("soak event %s\n", EventText(event).c_str());
    try {
        if (!Apply(event)) {
            ++counts_.skipped;
            if (print_)
                std::printf("soak skipped\n");
        }
    } catch (const std::exception& error) {
        return Finding{"exception", error.what()};
    }
    // The switch holds for the one event after it, so that what fails is
    // what that event does.
    if (event.kind != EventKind::LowResources)
        failFrom_ = failUntil_ = 0;
    return Check(started);
}

std::optional<Finding> Walk::Finish() {
    failFrom_ = failUntil_ = 0;
    try {
        machine_.Shutdown();
    } catch (const std::exception& error) {
        return Finding{"exception", error.what()};
    }
    return Check(machine_.Kernel().Now());
}

} // namespace soak
