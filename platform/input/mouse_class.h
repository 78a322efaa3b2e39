// The operating system's mouse class driver, as far as the mouse stacks of
// the deliverables meet it. Its AddDevice puts a class device on top of a
// device's stack (after the function driver's AddDevice, as the Plug and Play
// manager adds an upper filter); when the stack has started it connects to
// the port below with IOCTL_INTERNAL_MOUSE_CONNECT and asks for the port's
// attributes. Its service callback, which the port calls at DISPATCH_LEVEL,
// turns each MOUSE_INPUT_DATA into pointer motion and button events (see
// pointer.h for the mapping) and reports all packets as consumed.
//
// Trace lines, timed by the kernel's clock:
//   mouse packet flags=0x0001 buttons=0x0001 raw=0x01 x=4000 y=10800
//   pointer move x=62 y=126
//   pointer down left x=62 y=126
//   pointer up left x=62 y=126
//
// One instance per kernel; it loads its driver ("mouclass") into the current
// kernel and unloads it when it goes, which needs its devices removed first.
// The service callback may run on any thread; the state is locked.
#pragma once

#include "platform/input/kbdmou.h"
#include "platform/input/pointer_sink.h"

#include <vector>

namespace platform::input {

struct MouseClassOptions {
    int screenWidth = 1024;
    int screenHeight = 768;
};

// What the class learnt from one port it connected to.
struct MousePort {
    PDEVICE_OBJECT classDevice;
    NTSTATUS connectStatus;    // of IOCTL_INTERNAL_MOUSE_CONNECT
    NTSTATUS attributesStatus; // of IOCTL_MOUSE_QUERY_ATTRIBUTES
    MOUSE_ATTRIBUTES attributes;
};

class MouseClass : public PointerSink {
public:
    explicit MouseClass(MouseClassOptions options = {});
    ~MouseClass();
    MouseClass(const MouseClass&) = delete;
    MouseClass& operator=(const MouseClass&) = delete;

    PDRIVER_OBJECT Driver() const { return driver_; }
    // The class driver's AddDevice for the device whose stack ends in pdo.
    NTSTATUS AddDevice(PDEVICE_OBJECT pdo);

    std::vector<MousePort> Ports() const;
    size_t Packets() const; // delivered through the service callback so far

    // For the driver routines.
    void OnConnected(const MousePort& port);
    void OnPackets(const MOUSE_INPUT_DATA* first, const MOUSE_INPUT_DATA* end);

private:
    PDRIVER_OBJECT driver_ = nullptr;
    std::vector<MousePort> ports_;
    size_t packets_ = 0;
};

// The driver routines, for the entry that LoadDriver calls.
namespace mouse_class_driver {
NTSTATUS Entry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
// The instance that Entry binds the driver object to.
void SetLoading(MouseClass* owner);
MouseClass* OwnerOf(PDRIVER_OBJECT driver);
} // namespace mouse_class_driver

} // namespace platform::input
