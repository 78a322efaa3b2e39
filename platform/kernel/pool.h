// Executive pool with a record per block (tag, type, size, owning driver).
// Fresh blocks are filled with kFillPattern so that drivers cannot rely on
// zeroed memory; freed blocks are poisoned and their addresses remembered for
// a while to tell a double free from a bad pointer.
#pragma once

#include "platform/kernel/ntddk.h"

#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace platform::kernel::detail {

// The I/O manager's tag for the buffers of its own requests.
constexpr ULONG kKernelPoolTag = 0x74536f49; // 'IoSt'
// The tag of string buffers that the caller frees with RtlFreeUnicodeString.
constexpr ULONG kStringPoolTag = 0x67727453; // 'Strg'

class Pool {
public:
    static constexpr unsigned char kFillPattern = 0xa5;
    static constexpr unsigned char kFreedPattern = 0xdd;
    static constexpr ULONG kProtectedBit = 0x80000000;
    static constexpr ULONG kUntagged = 0x656e6f4e; // 'None', as ExAllocatePool tags

    ~Pool();
    PVOID Allocate(POOL_TYPE type, SIZE_T bytes, ULONG tag, const char* caller);
    // checkTag: ExFreePoolWithTag; without it, ExFreePool.
    void Free(PVOID block, bool checkTag, ULONG tag, const char* caller);

    size_t Outstanding(ULONG tag) const;
    // Bytes from address to the end of the live block holding it; 0 when no
    // live block holds it.
    SIZE_T BytesFrom(const void* address) const;
    // One "pool-leak" per block not yet reported; owner nullptr means all.
    void ReportLeaks(PDRIVER_OBJECT owner, const std::string& when);
    void ReleaseAll();

private:
    struct Block {
        ULONG tag;
        POOL_TYPE type;
        SIZE_T bytes;
        PDRIVER_OBJECT owner;
        bool reported;
        uint64_t serial; // allocation order, for reporting leaks in order
    };
    static constexpr size_t kFreedMemory = 4096;

    mutable std::mutex mutex_;
    std::unordered_map<void*, Block> blocks_;
    std::unordered_set<void*> recentlyFreed_;
    std::deque<void*> freedOrder_;
    uint64_t nextSerial_ = 1;
};

} // namespace platform::kernel::detail
