// tslib as a Linux user configures it for a single-touch screen: the raw
// "input" module on the screen's event device, then the dejitter and linear
// filters, read with ts_read. Configured from files of its own in a fresh
// temporary folder (TSLIB_CONFFILE, TSLIB_CALIBFILE), the device opened
// through the ts_open_restricted hook.
#pragma once

#include "bench/evdev_file.h"

#include <tslib.h>

#include <string>
#include <vector>

namespace bench {

class TslibChain {
public:
    explicit TslibChain(EvdevFile& device);
    ~TslibChain();
    TslibChain(const TslibChain&) = delete;
    TslibChain& operator=(const TslibChain&) = delete;

    // Reads the device's whole stream from its start through the filters,
    // batch samples per ts_read (at most 256); returns how many samples came
    // out. With out, also what came out. tslib drops a batch it cannot fill
    // before the end of the device's stream.
    size_t ReadAll(int batch, std::vector<ts_sample>* out = nullptr);

private:
    EvdevFile& device_;
    std::string folder_;
    tsdev* ts_ = nullptr;
};

} // namespace bench
