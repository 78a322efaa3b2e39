#include "bench/heap_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<uint64_t> g_allocations{0};

void* Allocate(std::size_t bytes) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(bytes == 0 ? 1 : bytes))
        return block;
    throw std::bad_alloc();
}

} // namespace

namespace bench {

uint64_t HeapAllocations() {
    return g_allocations.load(std::memory_order_relaxed);
}

} // namespace bench

void* operator new(std::size_t bytes) {
    return Allocate(bytes);
}

void* operator new[](std::size_t bytes) {
    return Allocate(bytes);
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete[](void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
