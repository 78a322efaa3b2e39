// The touch stream every side-by-side benchmark reads: strokes of a finger
// landing, wandering with a few units of jitter, and lifting, from a fixed
// seed so that every run and every side sees the same samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

struct Sample {
    uint8_t status; // 0x81 lands, 0x82 stays or moves, 0x84 lifts
    uint16_t x;     // raw panel units, 0 to 3999
    uint16_t y;
};

inline constexpr size_t kStreamSamples = 1'000'000;

// The same samples on every call.
const std::vector<Sample>& SampleStream();

// The 8-byte report the screen sends for a sample.
void ToReport(const Sample& sample, uint8_t report[8]);

} // namespace bench
