#include "platform/usb/usb_device_model.h"

namespace platform::usb {

void UsbDeviceModel::SetInReadyHandler(std::function<void()> handler) {
    std::lock_guard lock(handlerLock_);
    inReady_ = std::move(handler);
}

void UsbDeviceModel::SignalInReady() {
    std::function<void()> handler;
    {
        std::lock_guard lock(handlerLock_);
        handler = inReady_;
    }
    if (handler)
        handler();
}

} // namespace platform::usb
