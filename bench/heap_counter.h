// Counts the host heap allocations of the whole benchmark process (the
// global operator new is replaced in heap_counter.cpp), so that a benchmark
// can report how many one operation makes.
#pragma once

#include <cstdint>

namespace bench {

uint64_t HeapAllocations();

} // namespace bench
