#include "machine/control_client.h"

#include "drivers/common/touch_protocol.h"
#include "platform/trace/trace.h"

#include <cstdio>
#include <string>

namespace machine {
namespace {

using platform::kernel::Kernel;

void Trace(const std::string& text) {
    platform::trace::Emit(Kernel::Current().Now(), "ctl " + text);
}

std::string Outcome(NTSTATUS status) {
    if (NT_SUCCESS(status))
        return "ok";
    char text[32];
    std::snprintf(text, sizeof text, "error=0x%08X", static_cast<unsigned>(status));
    return text;
}

} // namespace

ControlClient::~ControlClient() {
    if (file_ != nullptr)
        Kernel::Current().CloseFile(file_);
}

NTSTATUS ControlClient::Open() {
    if (file_ != nullptr)
        Close();
    NTSTATUS status = Kernel::Current().OpenFile(TOUCH_USER_NAME, &file_);
    if (!NT_SUCCESS(status))
        file_ = nullptr;
    Trace("open " + Outcome(status));
    return status;
}

NTSTATUS ControlClient::Command(uint8_t command) {
    NTSTATUS status = STATUS_INVALID_HANDLE;
    if (file_ != nullptr) {
        TOUCH_COMMAND_FRAME frame{};
        frame.Command = command;
        ULONG returned = 0;
        status = Kernel::Current().DeviceIoControl(file_, IOCTL_TOUCH_COMMAND, &frame, sizeof frame,
                                                   nullptr, 0, &returned);
    }
    Trace("command " + std::to_string(command) + " " + Outcome(status));
    return status;
}

NTSTATUS ControlClient::GetPoint(ControlPoint* point) {
    NTSTATUS status = STATUS_INVALID_HANDLE;
    TOUCH_POINT_FRAME frame{};
    if (file_ != nullptr) {
        ULONG returned = 0;
        status = Kernel::Current().DeviceIoControl(file_, IOCTL_TOUCH_GET_POINT, nullptr, 0, &frame,
                                                   sizeof frame, &returned);
    }
    if (!NT_SUCCESS(status)) {
        Trace("getpoint " + Outcome(status));
        return status;
    }
    *point = ControlPoint{frame.X, frame.Y, frame.Status};
    Trace("getpoint x=" + std::to_string(frame.X) + " y=" + std::to_string(frame.Y) +
          " status=" + std::to_string(frame.Status));
    return status;
}

void ControlClient::Close() {
    if (file_ == nullptr) {
        Trace("close " + Outcome(STATUS_INVALID_HANDLE));
        return;
    }
    Kernel::Current().CloseFile(file_);
    file_ = nullptr;
    Trace("close");
}

} // namespace machine
