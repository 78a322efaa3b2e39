#include "platform/win32/system_info.h"

#include <atomic>
#include <mutex>
#include <set>
#include <cctype>

namespace platform::win32 {

struct System::State {
    mutable std::mutex mutex;
    OsVersion version = VersionOf(OsKind::WindowsXP);
    bool limitedUser = false;
    std::set<std::string> denied;                       // lower case
    std::set<std::pair<uint32_t, std::string>> enabled; // process, lower-case name
    std::optional<UINT> exitRequest;
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

namespace {

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

void System::SetPrivilegeHeld(const std::string& name, bool held) {
    std::lock_guard lock(state_->mutex);
    if (held)
        state_->denied.erase(Lower(name));
    else
        state_->denied.insert(Lower(name));
}

bool System::PrivilegeHeld(const std::string& name) const {
    std::lock_guard lock(state_->mutex);
    return state_->denied.count(Lower(name)) == 0;
}

void System::SetPrivilegeEnabled(uint32_t processId, const std::string& name, bool enabled) {
    std::lock_guard lock(state_->mutex);
    if (enabled)
        state_->enabled.emplace(processId, Lower(name));
    else
        state_->enabled.erase({processId, Lower(name)});
}

bool System::PrivilegeEnabled(uint32_t processId, const std::string& name) const {
    std::lock_guard lock(state_->mutex);
    return state_->enabled.count({processId, Lower(name)}) != 0;
}

void System::RequestExitWindows(UINT flags) {
    std::lock_guard lock(state_->mutex);
    state_->exitRequest = flags;
}

std::optional<UINT> System::TakeExitWindowsRequest() {
    std::lock_guard lock(state_->mutex);
    std::optional<UINT> request = state_->exitRequest;
    state_->exitRequest.reset();
    return request;
}

} // namespace platform::win32
