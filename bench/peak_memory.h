// The process's peak resident memory so far (getrusage's ru_maxrss), which
// every benchmark reports as a counter and the run prints at its end.
#pragma once

namespace bench {

double PeakResidentMiB();

} // namespace bench
