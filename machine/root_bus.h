// The root bus: the bus driver of root-enumerated devices (such as
// "ROOT\TOUCHSCREEN\0000"). Its PDOs complete the Plug and Play state
// changes and every power request with success at once and leave any other
// request with the status it came with, so that the function driver above
// answers identifier queries itself. The PDOs live as long as the bus, as a
// root device lives as long as it is installed.
#pragma once

#include "platform/kernel/kernel.h"

#include <vector>

namespace machine {

class RootBus {
public:
    // Loads the bus driver ("\Driver\root") into the current kernel.
    RootBus();
    // Deletes the PDOs and unloads the driver; the stacks above must be gone.
    ~RootBus();
    RootBus(const RootBus&) = delete;
    RootBus& operator=(const RootBus&) = delete;

    PDEVICE_OBJECT CreatePdo();

private:
    PDRIVER_OBJECT driver_ = nullptr;
    std::vector<PDEVICE_OBJECT> pdos_;
};

} // namespace machine
