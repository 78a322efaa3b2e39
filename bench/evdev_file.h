// A touch screen's input event device as tslib's raw "input" module reads
// it: the events of a sample stream in a memory file, and the evdev ioctl
// answers of a single-touch absolute device for that file. The answers come
// from this executable's own ioctl, which the plugin binds to because the
// executable exports it (ENABLE_EXPORTS); every other descriptor goes to the
// C library's.
#pragma once

#include "bench/sample_stream.h"

#include <vector>

namespace bench {

class EvdevFile {
public:
    explicit EvdevFile(const std::vector<Sample>& samples);
    ~EvdevFile();
    EvdevFile(const EvdevFile&) = delete;
    EvdevFile& operator=(const EvdevFile&) = delete;

    int Descriptor() const { return fd_; }
    // Back to the first event.
    void Rewind();

private:
    int fd_;
};

} // namespace bench
