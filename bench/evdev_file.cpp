#include "bench/evdev_file.h"

#include <dlfcn.h>
#include <linux/input.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <stdexcept>

namespace {

std::atomic<int> g_device{-1};

// Sets the bits of a bitmap an EVIOCGBIT or EVIOCGPROP reply carries.
int Bits(void* out, unsigned size, std::initializer_list<int> bits) {
    std::memset(out, 0, size);
    for (int bit : bits)
        if (static_cast<unsigned>(bit / 8) < size)
            static_cast<unsigned char*>(out)[bit / 8] |= static_cast<unsigned char>(1 << (bit % 8));
    return static_cast<int>(size);
}

// The evdev requests (Linux Documentation/input/input.rst and linux/input.h).
int AnswerEvdev(unsigned long request, void* out) {
    const unsigned size = _IOC_SIZE(request);
    if (request == EVIOCGVERSION) {
        *static_cast<int*>(out) = EV_VERSION;
        return 0;
    }
    if (_IOC_TYPE(request) != 'E') {
        errno = ENOTTY;
        return -1;
    }
    const unsigned nr = _IOC_NR(request);
    if (nr == _IOC_NR(EVIOCGBIT(0, 0)))
        return Bits(out, size, {EV_SYN, EV_KEY, EV_ABS});
    if (nr == _IOC_NR(EVIOCGBIT(EV_KEY, 0)))
        return Bits(out, size, {BTN_TOUCH});
    if (nr == _IOC_NR(EVIOCGBIT(EV_ABS, 0)))
        return Bits(out, size, {ABS_X, ABS_Y, ABS_PRESSURE});
    if (nr == _IOC_NR(EVIOCGPROP(0)))
        return Bits(out, size, {INPUT_PROP_DIRECT});
    if (nr >= _IOC_NR(EVIOCGABS(0)) && nr < _IOC_NR(EVIOCGABS(ABS_CNT))) {
        input_absinfo info{};
        info.maximum = nr - _IOC_NR(EVIOCGABS(0)) == ABS_PRESSURE ? 255 : 3999;
        std::memcpy(out, &info, std::min<size_t>(size, sizeof info));
        return 0;
    }
    if (_IOC_DIR(request) & _IOC_READ)
        std::memset(out, 0, size);
    return 0;
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (fd >= 0 && fd == g_device.load())
        return AnswerEvdev(request, argument);
    using Ioctl = int (*)(int, unsigned long, ...);
    static const auto next = reinterpret_cast<Ioctl>(dlsym(RTLD_NEXT, "ioctl"));
    return next(fd, request, argument);
}

namespace bench {
namespace {

void Put(std::vector<input_event>& events, int type, int code, int value) {
    input_event event{};
    event.type = static_cast<__u16>(type);
    event.code = static_cast<__u16>(code);
    event.value = value;
    events.push_back(event);
}

} // namespace

EvdevFile::EvdevFile(const std::vector<Sample>& samples) : fd_(memfd_create("touch-events", 0)) {
    if (fd_ < 0)
        throw std::runtime_error("no memory file for the event stream");
    std::vector<input_event> events;
    for (size_t first = 0; first < samples.size(); first += 65536) {
        events.clear();
        for (size_t i = first; i < samples.size() && i < first + 65536; ++i) {
            const Sample& sample = samples[i];
            // A device reports the position while the finger is on and
            // only the pressure and button when it lifts.
            if (sample.status != 0x84) {
                Put(events, EV_ABS, ABS_X, sample.x);
                Put(events, EV_ABS, ABS_Y, sample.y);
            }
            if (sample.status != 0x82) {
                Put(events, EV_ABS, ABS_PRESSURE, sample.status == 0x81 ? 255 : 0);
                Put(events, EV_KEY, BTN_TOUCH, sample.status == 0x81);
            }
            Put(events, EV_SYN, SYN_REPORT, 0);
        }
        const size_t bytes = events.size() * sizeof(input_event);
        if (write(fd_, events.data(), bytes) != static_cast<ssize_t>(bytes))
            throw std::runtime_error("the event stream was not written whole");
    }
    Rewind();
    g_device.store(fd_);
}

EvdevFile::~EvdevFile() {
    g_device.store(-1);
    close(fd_);
}

void EvdevFile::Rewind() {
    lseek(fd_, 0, SEEK_SET);
}

} // namespace bench
