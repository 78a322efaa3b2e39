// The 8-byte report stream through the decoding core, with any settings.
//
// Input: doneMode (4 bytes), moveSlider (4), flags (1: bit 0 raw mode, bit 1
// calibration loaded), table seed (4), tick length choice (1); then records
// of a time step in milliseconds (1), a pop count (1) and one report (8).
//
// Checked after every report: the queue holds at most 10 points; a decoded
// (not raw) point carries button state 0 or 1 and, with calibration, an X and
// Y taken from the tables.
#include "fuzz/support/byte_reader.h"
#include "fuzz/support/touch_device.h"

#include <cstdio>
#include <cstdlib>
#include <bitset>

namespace {

void Fail(const char* what) {
    std::fprintf(stderr, "decode invariant broken: %s\n", what);
    std::abort();
}

// Any table the seed picks: a slope, an offset, and a few spikes.
void FillTables(PTOUCH_DEVICE_EXTENSION ext, uint32_t seed) {
    for (ULONG i = 0; i < TOUCH_TABLE_ENTRIES; ++i) {
        ext->XArray[i] = static_cast<USHORT>(i * (seed & 0xFF) + (seed >> 8));
        ext->YArray[i] = static_cast<USHORT>(i * ((seed >> 16) & 0xFF) + (seed >> 24) * 257);
    }
    ext->XArray[seed % TOUCH_TABLE_ENTRIES] = 0xFFFF;
    ext->YArray[(seed >> 3) % TOUCH_TABLE_ENTRIES] = 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::ByteReader in(data, size);
    fuzzing::TouchDevice device;
    PTOUCH_DEVICE_EXTENSION ext = device.Extension();
    ext->doneMode = static_cast<LONG>(in.U32());
    ext->moveSlider = static_cast<LONG>(in.U32());
    const uint8_t flags = in.U8();
    ext->RawMode = (flags & 1) != 0;
    ext->CalibrationLoaded = (flags & 2) != 0;
    FillTables(ext, in.U32());
    static const ULONG kTickLengths[] = {156250, 100144, 10000, 1};
    device.Kernel().SetTickLength(kTickLengths[in.U8() & 3]);

    std::bitset<65536> xs;
    std::bitset<65536> ys;
    for (ULONG i = 0; i < TOUCH_TABLE_ENTRIES; ++i) {
        xs.set(ext->XArray[i]);
        ys.set(ext->YArray[i]);
    }
    while (in.Left() >= 10) {
        device.Kernel().AdvanceTime(uint64_t{in.U8()} * 10'000);
        const uint8_t pops = in.U8() & 15;
        std::vector<uint8_t> report = in.Bytes(TOUCH_REPORT_LENGTH);
        device.Decode(report.data());
        if (ext->TouchPointQueue.Count > TOUCH_QUEUE_ENTRIES)
            Fail("queue over 10");
        TOUCH_POINT point;
        for (uint8_t i = 0; i < pops && device.Pop(&point); ++i) {
            if (ext->RawMode)
                continue;
            if (point.Status > 1)
                Fail("button state");
            // The record is packed: copy the fields before taking references.
            const USHORT x = point.X;
            const USHORT y = point.Y;
            if (ext->CalibrationLoaded && (!xs.test(x) || !ys.test(y)))
                Fail("point not from the tables");
        }
    }
    return 0;
}
