// The mouse service driver on its root device, with the mouse class stand-in
// above it, brought up and down by the Plug and Play manager. The Plug and
// Play manager of the stand-in knows no upper filters yet, so the stack's
// entry adds the mouse class device right after the driver's own AddDevice,
// where the class filter of the Mouse setup class would go.
#pragma once

#include "drivers/mouse/pelmoxp.h"
#include "platform/input/mouse_class.h"
#include "tests/support/root_stack_fixture.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mouse_testing {

using input_testing::Answer;
using input_testing::DeviceState;
using input_testing::kMs;
using input_testing::SendInternal;
using input_testing::SendPnp;
using platform::input::MouseClass;

// --- The stack's entry: pelmoxp with the mouse class above it.

inline platform::input::MouseClass* gMouseClass = nullptr;
// Runs right after pelmoxp's own AddDevice, before the start.
inline std::function<void()> gAfterAddDevice;

inline NTSTATUS StackAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    NTSTATUS status = MouseAddDevice(driver, pdo);
    if (NT_SUCCESS(status) && gAfterAddDevice)
        gAfterAddDevice();
    if (NT_SUCCESS(status) && gMouseClass != nullptr)
        status = gMouseClass->AddDevice(pdo);
    return status;
}

inline NTSTATUS MouseStackEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    NTSTATUS status = MouseDriverEntry(driver, registryPath);
    driver->DriverExtension->AddDevice = StackAddDevice;
    return status;
}

class MouseStackTest : public input_testing::RootStackTest {
protected:
    MouseStackTest()
        : RootStackTest({"ROOT\\TOUCHSCREEN\\0000", "pelmoxp", MouseStackEntry, "mouse "}) {}

    void CreateClass() override {
        mouseClass.emplace();
        gMouseClass = &*mouseClass;
    }
    void DropClass() override {
        mouseClass.reset();
        gMouseClass = nullptr;
        gAfterAddDevice = nullptr;
    }

    NTSTATUS PlugMouse() { return Plug(); }

    // pelmoxp's device: right above the PDO.
    PDEVICE_OBJECT MouseDevice() const { return rootPdo->AttachedDevice; }
    PMOUSE_DEVICE_EXTENSION Mouse() const {
        return static_cast<PMOUSE_DEVICE_EXTENSION>(MouseDevice()->DeviceExtension);
    }
    PTOUCH_LINK Link() const { return &Mouse()->Link; }

    // Packet lines only: "flags=... buttons=... raw=... x=... y=...".
    std::vector<std::string> Packets() {
        std::vector<std::string> packets;
        for (const std::string& line : InputTrace()) {
            if (line.rfind("mouse packet ", 0) == 0)
                packets.push_back(line.substr(13));
        }
        return packets;
    }

    std::optional<MouseClass> mouseClass;
};

} // namespace mouse_testing
