#include "platform/kernel/pool.h"

#include "platform/kernel/kernel_state.h"
#include "platform/kernel/thread_context.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform::kernel::detail {

namespace {
const char* PoolName(POOL_TYPE type) {
    return type == PagedPool ? "PagedPool" : "NonPagedPool";
}
} // namespace

Pool::~Pool() {
    ReleaseAll();
}

PVOID Pool::Allocate(POOL_TYPE type, SIZE_T bytes, ULONG tag, const char* caller) {
    Kernel::State& k = K();
    if (type == PagedPool && ThreadIrql() >= DISPATCH_LEVEL) {
        k.verifier.Report("pool-paged-at-dispatch",
                          std::string(caller) + "(PagedPool, " + std::to_string(bytes) + ", " +
                              TagText(tag) + ") at IRQL " + std::to_string(ThreadIrql()));
        return nullptr;
    }
    if (!k.gate.Grant(AllocationRequest::Kind::Pool, tag, type, bytes))
        return nullptr;
    void* block = std::malloc(bytes ? bytes : 1);
    if (!block)
        return nullptr;
    std::memset(block, kFillPattern, bytes);
    std::lock_guard lock(mutex_);
    blocks_[block] = Block{tag, type, bytes, ThreadDriver(), false, nextSerial_++};
    recentlyFreed_.erase(block);
    return block;
}

void Pool::Free(PVOID block, bool checkTag, ULONG tag, const char* caller) {
    Kernel::State& k = K();
    std::string problem;
    std::string rule;
    {
        std::lock_guard lock(mutex_);
        auto found = blocks_.find(block);
        if (found == blocks_.end()) {
            rule = recentlyFreed_.count(block) ? "pool-double-free" : "pool-bad-free";
            problem = std::string(caller) + "(" + Hex(block) + ")" +
                      (rule == "pool-double-free" ? ": block already freed" : ": not a pool block");
        } else {
            Block record = found->second;
            if (checkTag && (record.tag & ~kProtectedBit) != (tag & ~kProtectedBit)) {
                rule = "pool-tag-mismatch";
                problem = std::string(caller) + "(" + Hex(block) + ", " + TagText(tag) +
                          "): allocated with " + TagText(record.tag) + ", " +
                          std::to_string(record.bytes) + " bytes";
            }
            // A mismatched tag is reported, but the block is still freed as meant.
            blocks_.erase(found);
            // Remembered before the free: the address is only a key from then on.
            recentlyFreed_.insert(block);
            freedOrder_.push_back(block);
            std::memset(block, kFreedPattern, record.bytes);
            std::free(block);
            if (freedOrder_.size() > kFreedMemory) {
                recentlyFreed_.erase(freedOrder_.front());
                freedOrder_.pop_front();
            }
        }
    }
    if (!rule.empty())
        k.verifier.Report(rule, problem);
}

size_t Pool::Outstanding(ULONG tag) const {
    std::lock_guard lock(mutex_);
    if (tag == 0)
        return blocks_.size();
    size_t count = 0;
    for (const auto& [address, block] : blocks_)
        if ((block.tag & ~kProtectedBit) == (tag & ~kProtectedBit))
            ++count;
    return count;
}

void Pool::ReportLeaks(PDRIVER_OBJECT owner, const std::string& when) {
    std::vector<std::pair<uint64_t, std::string>> leaks;
    {
        std::lock_guard lock(mutex_);
        for (auto& [address, block] : blocks_) {
            if (block.reported || (owner && block.owner != owner))
                continue;
            block.reported = true;
            leaks.emplace_back(block.serial, TagText(block.tag) + " " + PoolName(block.type) + " " +
                                                 std::to_string(block.bytes) + " bytes at " +
                                                 Hex(address) + " " + when);
        }
    }
    std::sort(leaks.begin(), leaks.end());
    for (auto& leak : leaks)
        K().verifier.Report("pool-leak", std::move(leak.second));
}

void Pool::ReleaseAll() {
    std::lock_guard lock(mutex_);
    for (auto& [address, block] : blocks_)
        std::free(address);
    blocks_.clear();
    recentlyFreed_.clear();
    freedOrder_.clear();
}

SIZE_T Pool::BytesFrom(const void* address) const {
    auto* at = static_cast<const unsigned char*>(address);
    std::lock_guard lock(mutex_);
    for (const auto& [start, block] : blocks_) {
        auto* first = static_cast<const unsigned char*>(start);
        if (at >= first && at < first + block.bytes)
            return static_cast<SIZE_T>(first + block.bytes - at);
    }
    return 0;
}

} // namespace platform::kernel::detail
