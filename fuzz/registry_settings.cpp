// The touch driver's registry value readers: values of any type and any
// length under the global settings key and the backup key, read by the load
// at start and by the fallback to the backup; then a few reports are decoded
// through whatever was loaded.
//
// Input: records of key (1: bit 0 backup key), name (1: one of the four
// settings or a stranger), type (4), length (2) and data.
#include "fuzz/support/byte_reader.h"
#include "fuzz/support/touch_device.h"

#include <cstdio>
#include <cstdlib>

namespace {

const char* const kNames[] = {"XArray", "YArray", "doneMode", "moveSlider", "xarray", "Other"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::ByteReader in(data, size);
    fuzzing::TouchDevice device;
    auto& registry = device.Kernel().Registry();
    registry.Create(fuzzing::kGlobalSettingsKey);
    registry.Create(device.BackupKey());
    for (int record = 0; record < 12 && !in.Empty(); ++record) {
        const bool backup = (in.U8() & 1) != 0;
        const char* name = kNames[in.U8() % std::size(kNames)];
        const ULONG type = in.U32();
        std::vector<uint8_t> value = in.Bytes(in.U16());
        registry.SetValue(backup ? device.BackupKey() : fuzzing::kGlobalSettingsKey, name, type,
                          value.data(), value.size());
    }

    PTOUCH_DEVICE_EXTENSION ext = device.Extension();
    LoadSettings(ext);
    if (!ext->CalibrationLoaded)
        LoadBackupSettings(ext);
    const UCHAR reports[][TOUCH_REPORT_LENGTH] = {
        {0, 0x81, 0xFF, 0xFF, 0x00, 0x00, 0, 0},
        {0, 0x82, 0x87, 0x13, 0x88, 0x13, 0, 0},
        {0, 0x84, 0x00, 0x00, 0xFF, 0xFF, 0, 0},
    };
    for (const auto& report : reports) {
        device.Kernel().AdvanceTime(100'000);
        device.Decode(report);
    }
    TOUCH_POINT point;
    while (device.Pop(&point)) {
    }
    return 0;
}
