// The touch driver's control device as a user-mode program uses it: an open
// of "\\.\vududode", the two 16-byte exchanges, a close. Each call leaves
// one trace line:
//   ctl open ok                 ctl open error=0xC0000034
//   ctl command 4 ok            ctl command 4 error=0xC000000D
//   ctl getpoint x=111 y=111 status=111
//   ctl close                   ctl close error=0xC0000008
// Without an open handle every call but the open fails with
// STATUS_INVALID_HANDLE.
#pragma once

#include "platform/kernel/kernel.h"

#include <cstdint>

namespace machine {

struct ControlPoint {
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t status = 0;
};

class ControlClient {
public:
    ControlClient() = default;
    ~ControlClient(); // closes an open handle
    ControlClient(const ControlClient&) = delete;
    ControlClient& operator=(const ControlClient&) = delete;

    NTSTATUS Open();
    NTSTATUS Command(uint8_t command);
    NTSTATUS GetPoint(ControlPoint* point);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

private:
    platform::kernel::UserFile* file_ = nullptr;
};

} // namespace machine
