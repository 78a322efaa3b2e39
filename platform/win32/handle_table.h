// The handles of the calling programs: registry keys, device files and
// events share one table, numbered as Windows numbers handles (multiples of
// 4 from 4). Private to the Win32 stand-in.
//
// The table belongs to the current kernel: when a new kernel (a new
// machine or test) is current, the handles of the old one are forgotten, so
// a stale handle fails as invalid instead of reaching a dead kernel.
#pragma once

#include "platform/win32/win_types.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace platform::win32::detail {

class HandleObject {
public:
    virtual ~HandleObject() = default;
};

// Thread-safe. Objects stay alive while a caller holds them, even after
// their handle is closed.
uintptr_t InsertHandle(std::shared_ptr<HandleObject> object);
std::shared_ptr<HandleObject> FindHandle(uintptr_t handle);
// The object, or nullptr when no handle has that value.
std::shared_ptr<HandleObject> RemoveHandle(uintptr_t handle);
// Every handle the program with that process id opened, each removed from
// the table, in opening order (the host's handles have id 0).
std::vector<std::shared_ptr<HandleObject>> RemoveHandlesOf(uint32_t processId);

// Closes what a program left open when it ends, as Windows does.
void CloseProcessHandles(uint32_t processId);

template <class T> std::shared_ptr<T> FindHandleAs(uintptr_t handle) {
    return std::dynamic_pointer_cast<T>(FindHandle(handle));
}

} // namespace platform::win32::detail
