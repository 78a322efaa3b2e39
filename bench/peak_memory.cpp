#include "bench/peak_memory.h"

#include <sys/resource.h>

namespace bench {

double PeakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // Linux gives KiB
}

} // namespace bench
