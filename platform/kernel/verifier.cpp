#include "platform/kernel/verifier.h"

#include "platform/kernel/kernel_state.h"
#include "platform/kernel/verifier_rules.h"

#include <cstdio>
#include <cstdlib>

namespace platform::kernel::detail {

namespace {
void AbortOnViolation(const Violation& violation) {
    std::fprintf(stderr, "kernel verifier: %s: %s\n", violation.rule.c_str(),
                 violation.detail.c_str());
    std::abort();
}
} // namespace

Verifier::Verifier() : handler_(AbortOnViolation) {}

void Verifier::SetHandler(Kernel::ViolationHandler handler) {
    std::lock_guard lock(mutex_);
    handler_ = handler ? std::move(handler) : Kernel::ViolationHandler(AbortOnViolation);
}

void Verifier::Report(std::string rule, std::string detail) {
    if (!IsVerifierRule(rule)) {
        detail = rule + ": " + detail;
        rule = "verifier-unknown-rule";
    }
    Violation violation{std::move(rule), std::move(detail)};
    Kernel::ViolationHandler handler;
    {
        std::lock_guard lock(mutex_);
        list_.push_back(violation);
        handler = handler_;
    }
    handler(violation);
}

Findings::~Findings() {
    for (auto& finding : list_)
        K().verifier.Report(std::move(finding.rule), std::move(finding.detail));
}

void Findings::Add(std::string rule, std::string detail) {
    list_.push_back(Violation{std::move(rule), std::move(detail)});
}

std::string Hex(const void* pointer) {
    return Hex(reinterpret_cast<uintptr_t>(pointer));
}

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string TagText(ULONG tag) {
    std::string text = "'";
    for (int i = 0; i < 4; ++i) {
        char c = static_cast<char>((tag >> (8 * i)) & 0x7f);
        text += (c >= 0x20 && c < 0x7f) ? c : '.';
    }
    return text + "'";
}

} // namespace platform::kernel::detail
