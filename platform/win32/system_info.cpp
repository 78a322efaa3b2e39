#include "platform/win32/system_info.h"

#include <atomic>
#include <mutex>

namespace platform::win32 {

struct System::State {
    mutable std::mutex mutex;
    OsVersion version = VersionOf(OsKind::WindowsXP);
    bool limitedUser = false;
};

namespace {

std::atomic<System*> gCurrent{nullptr};

} // namespace

OsVersion VersionOf(OsKind kind) {
    OsVersion version;
    switch (kind) {
    case OsKind::Windows98:
        version.platformId = VER_PLATFORM_WIN32_WINDOWS;
        version.major = 4;
        version.minor = 10;
        version.build = 2222;
        version.csdVersion = " A ";
        break;
    case OsKind::Windows2000:
        version.minor = 0;
        version.build = 2195;
        version.csdVersion = "Service Pack 4";
        version.servicePackMajor = 4;
        break;
    case OsKind::WindowsXP:
        version.csdVersion = "Service Pack 2";
        version.servicePackMajor = 2;
        break;
    }
    return version;
}

System::System() : state_(std::make_unique<State>()) {
    gCurrent.store(this);
}

System::System(Defaults) : state_(std::make_unique<State>()) {}

System::~System() {
    System* self = this;
    gCurrent.compare_exchange_strong(self, nullptr);
}

System& System::Current() {
    if (System* current = gCurrent.load())
        return *current;
    static System defaults{Defaults{}};
    return defaults;
}

void System::SetOs(OsKind kind) {
    SetVersion(VersionOf(kind));
}

void System::SetVersion(const OsVersion& version) {
    std::lock_guard lock(state_->mutex);
    state_->version = version;
}

OsVersion System::Version() const {
    std::lock_guard lock(state_->mutex);
    return state_->version;
}

bool System::IsNt() const {
    return Version().platformId == VER_PLATFORM_WIN32_NT;
}

void System::SetLimitedUser(bool limited) {
    std::lock_guard lock(state_->mutex);
    state_->limitedUser = limited;
}

bool System::LimitedUser() const {
    std::lock_guard lock(state_->mutex);
    return state_->limitedUser;
}

} // namespace platform::win32
