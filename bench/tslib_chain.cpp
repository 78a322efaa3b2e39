#include "bench/tslib_chain.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace bench {
namespace {

int g_openAs = -1;
decltype(ts_open_restricted) g_previousOpen;
decltype(ts_close_restricted) g_previousClose;

int OpenDevice(const char*, int, void*) {
    return g_openAs;
}

// The descriptor belongs to the EvdevFile.
void KeepDevice(int, void*) {}

} // namespace

TslibChain::TslibChain(EvdevFile& device) : device_(device) {
    char name[] = "/tmp/tslib-bench-XXXXXX";
    if (mkdtemp(name) == nullptr)
        throw std::runtime_error("no folder for the tslib configuration");
    folder_ = name;
    // delta: the squared distance beyond which dejitter stops smoothing, as
    // tslib's own example configuration has it.
    std::ofstream(folder_ + "/ts.conf") << "module_raw input\n"
                                           "module dejitter delta=100\n"
                                           "module linear\n";
    // x' = (a x + b y + c) / s, y' = (d x + e y + f) / s, in int: raw 0..3999
    // to 0..65535, the touch driver's tables exactly (a larger s overflows).
    std::ofstream(folder_ + "/pointercal") << "65535 0 0 0 65535 0 4000\n";
    setenv("TSLIB_CONFFILE", (folder_ + "/ts.conf").c_str(), 1);
    setenv("TSLIB_CALIBFILE", (folder_ + "/pointercal").c_str(), 1);
    g_openAs = device_.Descriptor();
    g_previousOpen = ts_open_restricted;
    g_previousClose = ts_close_restricted;
    ts_open_restricted = OpenDevice;
    ts_close_restricted = KeepDevice;
    ts_ = ts_open("/dev/input/touchscreen", 0);
    if (ts_ == nullptr || ts_config(ts_) != 0)
        throw std::runtime_error("tslib did not take the event device");
}

TslibChain::~TslibChain() {
    if (ts_ != nullptr)
        ts_close(ts_);
    ts_open_restricted = g_previousOpen;
    ts_close_restricted = g_previousClose;
    std::filesystem::remove_all(folder_);
}

size_t TslibChain::ReadAll(int batch, std::vector<ts_sample>* out) {
    device_.Rewind();
    ts_sample samples[256];
    size_t total = 0;
    for (int got; (got = ts_read(ts_, samples, std::min(batch, 256))) > 0;) {
        total += static_cast<size_t>(got);
        if (out != nullptr)
            out->insert(out->end(), samples, samples + got);
    }
    return total;
}

} // namespace bench
