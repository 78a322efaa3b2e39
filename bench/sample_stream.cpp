#include "bench/sample_stream.h"

#include <algorithm>
#include <random>

namespace bench {
namespace {

std::vector<Sample> MakeStream() {
    std::mt19937 random(20260);
    std::uniform_int_distribution<int> place(200, 3800), length(2, 60), step(-30, 30),
        jitter(-3, 3);
    std::vector<Sample> samples;
    samples.reserve(kStreamSamples);
    while (samples.size() < kStreamSamples) {
        int x = place(random), y = place(random);
        const int holds = length(random);
        const int dx = step(random), dy = step(random);
        auto clamp = [](int v) { return static_cast<uint16_t>(std::clamp(v, 0, 3999)); };
        samples.push_back({0x81, clamp(x), clamp(y)});
        for (int i = 0; i < holds && samples.size() < kStreamSamples - 1; ++i) {
            x += dx;
            y += dy;
            samples.push_back({0x82, clamp(x + jitter(random)), clamp(y + jitter(random))});
        }
        samples.push_back({0x84, clamp(x), clamp(y)});
    }
    samples.resize(kStreamSamples);
    return samples;
}

} // namespace

const std::vector<Sample>& SampleStream() {
    static const std::vector<Sample> stream = MakeStream();
    return stream;
}

void ToReport(const Sample& sample, uint8_t report[8]) {
    report[0] = 0;
    report[1] = sample.status;
    report[2] = static_cast<uint8_t>(sample.x);
    report[3] = static_cast<uint8_t>(sample.x >> 8);
    report[4] = static_cast<uint8_t>(sample.y);
    report[5] = static_cast<uint8_t>(sample.y >> 8);
    report[6] = report[7] = 0;
}

} // namespace bench
