#include "machine/input_stack.h"

#include "machine/machine_error.h"
#include "platform/input/hid_class.h"
#include "platform/input/mouse_class.h"
#include "platform/win32/input.h"

#include <optional>

namespace machine {
namespace {

using DriverService = platform::kernel::Kernel::DriverService;
using platform::input::PointerButton;
using platform::input::PointerEvent;

DWORD ButtonFlags(const PointerEvent& event) {
    if (event.kind == PointerEvent::Kind::Move)
        return 0;
    const bool down = event.kind == PointerEvent::Kind::Down;
    switch (event.button) {
    case PointerButton::Left:
        return down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    case PointerButton::Right:
        return down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
    case PointerButton::Middle:
        return down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP;
    }
    return 0;
}

// pelmoxp under the mouse class; the class's pointer events become the
// system pointer's input, as the raw input thread takes them from mouclass.
class MouseInputStack final : public InputStack {
public:
    MouseInputStack(int screenWidth, int screenHeight)
        : mouseClass_(platform::input::MouseClassOptions{screenWidth, screenHeight}) {
        mouseClass_.SetEventHandler([](const PointerEvent& event) {
            platform::win32::InjectPointerAt(event.x, event.y, ButtonFlags(event));
        });
    }

    NTSTATUS Attach(platform::kernel::Kernel& kernel, PDEVICE_OBJECT rootPdo,
                    const std::string& instance, const DriverService& function,
                    const std::vector<DriverService>& filters,
                    platform::kernel::DeviceNode** node) override {
        return kernel.PlugInDevice(rootPdo, instance, function, filters, node);
    }

    std::string Describe(const std::string& service,
                         const std::vector<std::string>& filters) const override {
        std::string text = "service=" + service;
        for (size_t i = 0; i < filters.size(); ++i)
            text += (i == 0 ? " filters=" : ",") + filters[i];
        return text;
    }

private:
    platform::input::MouseClass mouseClass_;
};

// pelmo98 as the HID class's minidriver; the class's pointer events become
// the system pointer's input.
class HidInputStack final : public InputStack {
public:
    HidInputStack(int screenWidth, int screenHeight)
        : hidClass_(platform::input::HidClassOptions{screenWidth, screenHeight}) {
        hidClass_.SetEventHandler([](const PointerEvent& event) {
            platform::win32::InjectPointerAt(event.x, event.y, ButtonFlags(event));
        });
    }

    // The HID class takes the minidriver's driver object over; 98 puts no
    // filter above it.
    NTSTATUS Attach(platform::kernel::Kernel& kernel, PDEVICE_OBJECT rootPdo,
                    const std::string& instance, const DriverService& function,
                    const std::vector<DriverService>&,
                    platform::kernel::DeviceNode** node) override {
        return kernel.PlugInDevice(rootPdo, instance, function, {}, node);
    }

    std::string Describe(const std::string& service,
                         const std::vector<std::string>&) const override {
        return "service=" + service + " class=hidclass";
    }

private:
    platform::input::HidClass hidClass_;
};

} // namespace

std::unique_ptr<InputStack> InputStack::For(platform::win32::OsKind os, int screenWidth,
                                            int screenHeight) {
    switch (os) {
    case platform::win32::OsKind::Windows2000:
    case platform::win32::OsKind::WindowsXP:
        return std::make_unique<MouseInputStack>(screenWidth, screenHeight);
    case platform::win32::OsKind::Windows98:
        return std::make_unique<HidInputStack>(screenWidth, screenHeight);
    }
    throw MachineError("no input stack for this system");
}

} // namespace machine
