// The verifier's plumbing: every finding is kept and handed to the handler.
// The default handler prints the finding and aborts, as a bug check would.
#pragma once

#include "platform/kernel/kernel.h"

#include <mutex>
#include <string>
#include <vector>

namespace platform::kernel::detail {

class Verifier {
public:
    Verifier();
    void SetHandler(Kernel::ViolationHandler handler);
    // Records the finding, then calls the handler with no kernel lock held.
    void Report(std::string rule, std::string detail);
    // Read only while no other thread reports.
    const std::vector<Violation>& All() const { return list_; }

private:
    std::mutex mutex_;
    std::vector<Violation> list_;
    Kernel::ViolationHandler handler_;
};

// Findings gathered while a kernel lock is held, reported when this goes out
// of scope: declare it before the lock so the handler runs unlocked.
class Findings {
public:
    Findings() = default;
    ~Findings();
    Findings(const Findings&) = delete;
    Findings& operator=(const Findings&) = delete;
    void Add(std::string rule, std::string detail);
    bool Empty() const { return list_.empty(); }

private:
    std::vector<Violation> list_;
};

// Formatting for the details of findings.
std::string Hex(const void* pointer);
std::string Hex(uint64_t value);
std::string TagText(ULONG tag); // 'Mser'

} // namespace platform::kernel::detail
