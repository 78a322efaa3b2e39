#include "tests/soak/settings_writer.h"

#include "platform/kernel/ntddk.h"

#include <string>
#include <vector>

namespace soak {
namespace {

const char kGlobalKey[] = "\\REGISTRY\\Machine\\Software\\Touch\\UsbConfig";
const char kBackupKey[] = "\\REGISTRY\\Machine\\System\\ControlSet001\\Services\\korvex\\USBConfig";
constexpr uint16_t kEntries = 5000;

// REG_SZ as the control panel writes it: UTF-16 without a stored NUL.
void SetText(platform::registry::Store& registry, const char* key, const char* name,
             const std::string& text) {
    std::vector<uint8_t> data;
    for (char c : text) {
        data.push_back(static_cast<uint8_t>(c));
        data.push_back(0);
    }
    registry.SetValue(key, name, REG_SZ, data.data(), data.size());
}

// The registry's byte image of a table, one entry longer than a table, so
// that a prefix of it is any valid or too long value.
std::vector<uint8_t> TableImage(uint16_t (*table)(uint16_t)) {
    std::vector<uint8_t> data;
    for (size_t i = 0; i <= kEntries; ++i) {
        uint16_t value = table(static_cast<uint16_t>(i < kEntries ? i : kEntries - 1));
        data.push_back(static_cast<uint8_t>(value));
        data.push_back(static_cast<uint8_t>(value >> 8));
    }
    return data;
}

void SetTable(platform::registry::Store& registry, const char* key, const char* name,
              uint16_t (*table)(uint16_t), size_t entries) {
    static const std::vector<uint8_t> imageX = TableImage(TableX);
    static const std::vector<uint8_t> imageY = TableImage(TableY);
    const std::vector<uint8_t>& image = table == TableX ? imageX : imageY;
    registry.SetValue(key, name, REG_BINARY, image.data(), 2 * entries);
}

} // namespace

// Odd multipliers: every value appears once, so a wrong entry shows.
uint16_t TableX(uint16_t index) {
    return static_cast<uint16_t>(index * 13u + 7u);
}

uint16_t TableY(uint16_t index) {
    return static_cast<uint16_t>(index * 11u + 3u);
}

void WriteSettings(platform::registry::Store& registry, uint16_t doneMode, uint16_t moveSlider,
                   uint16_t entries) {
    const size_t count = entries < kEntries ? entries : kEntries;
    SetTable(registry, kGlobalKey, "XArray", TableX, count);
    SetTable(registry, kGlobalKey, "YArray", TableY, count);
    SetText(registry, kGlobalKey, "doneMode", std::to_string(doneMode));
    SetText(registry, kGlobalKey, "moveSlider", std::to_string(moveSlider));
}

void WriteBroken(platform::registry::Store& registry, BrokenSetting which) {
    switch (which) {
    case BrokenSetting::KeyMissing:
        registry.DeleteTree(kGlobalKey);
        break;
    case BrokenSetting::TableMissing:
        registry.DeleteValue(kGlobalKey, "YArray");
        break;
    case BrokenSetting::TableTooLong:
        SetTable(registry, kGlobalKey, "XArray", TableX, kEntries + 1);
        break;
    case BrokenSetting::ModeAsDword: {
        const uint32_t two = 2;
        registry.SetValue(kGlobalKey, "doneMode", REG_DWORD, &two, sizeof two);
        break;
    }
    case BrokenSetting::ModeNotANumber:
        SetText(registry, kGlobalKey, "doneMode", "fast");
        break;
    case BrokenSetting::SliderNegative:
        SetText(registry, kGlobalKey, "moveSlider", "-3");
        break;
    case BrokenSetting::SliderHuge:
        SetText(registry, kGlobalKey, "moveSlider", "99999999");
        break;
    case BrokenSetting::SliderEmpty:
        registry.SetValue(kGlobalKey, "moveSlider", REG_SZ, nullptr, 0);
        break;
    case BrokenSetting::BackupBroken:
        registry.SetValue(kBackupKey, "XArray", REG_BINARY, nullptr, 0);
        break;
    case BrokenSetting::Count:
        break;
    }
}

} // namespace soak
