// A kernel (and its registry) with the Win32 base side on top: the system
// settings, the trace lines the calls emit, and helpers that look at the
// registry store directly, as the native side sees it.
#pragma once

#include "platform/kernel/kernel.h"
#include "platform/trace/trace.h"
#include "platform/win32/system_info.h"
#include "platform/win32/windows.h"
#include "tests/support/kernel_fixture.h"

#include <mutex>
#include <string>
#include <vector>

namespace win32_testing {

// Output poison: a call that should not write an output leaves these.
constexpr DWORD kPoison = 0xDEADBEEF;
constexpr BYTE kPoisonByte = 0xBD;
inline HKEY const kKeyPoison = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x5A5A5A5A));

inline const std::string kMachine = "\\REGISTRY\\Machine";
inline const std::string kSettingsPath = kMachine + "\\Software\\Touch\\usbConfig";
inline const std::string kRunPath =
    kMachine + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class Win32Test : public kernel_testing::KernelFixture {
protected:
    // The registry holds what every installed Windows has: HKLM\SOFTWARE.
    Win32Test() {
        Store().Create(kMachine + "\\Software");
        platform::trace::SetSink([this](const std::string& line) {
            std::lock_guard lock(traceMutex_);
            traceLines_.push_back(line);
        });
    }
    ~Win32Test() override { platform::trace::SetSink({}); }

    std::vector<std::string> Trace() {
        std::lock_guard lock(traceMutex_);
        return traceLines_;
    }

    platform::registry::Store& Store() { return kernel.Registry(); }

    // The UTF-16LE bytes of ASCII text, as the native side stores REG_SZ.
    static std::vector<uint8_t> Utf16(const std::string& text, bool withNul) {
        std::vector<uint8_t> bytes;
        for (char c : text) {
            bytes.push_back(static_cast<uint8_t>(c));
            bytes.push_back(0);
        }
        if (withNul)
            bytes.insert(bytes.end(), {0, 0});
        return bytes;
    }

    void SetStored(const std::string& path, const std::string& name, uint32_t type,
                   const std::vector<uint8_t>& data) {
        Store().SetValue(path, name, type, data.data(), data.size());
    }

    std::vector<uint8_t> Stored(const std::string& path, const std::string& name) {
        auto value = Store().GetValue(path, name);
        return value ? value->data : std::vector<uint8_t>{};
    }

    platform::win32::System system;

private:
    std::mutex traceMutex_;
    std::vector<std::string> traceLines_;
};

} // namespace win32_testing
