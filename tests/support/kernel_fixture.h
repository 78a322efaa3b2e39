// A kernel stand-in per test, for any suite that runs driver code.
//
//   class MyTest : public kernel_testing::KernelFixture { ... };
//   TEST_F(MyTest, Something) {
//       ExpectViolation("pool-leak");   // this rule is the point of the test
//       ...
//   }
//
// Every verifier finding fails the running test unless its rule was named
// with ExpectViolation; a rule so named must have been reported by the end.
// TearDown runs the leak check (pool, IRPs, device objects) first, so a
// derived fixture that owns drivers unloads them in its own TearDown and then
// calls KernelFixture::TearDown().
#pragma once

#include "platform/kernel/kernel.h"
#include "platform/kernel/verifier_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <string>

namespace kernel_testing {

class KernelFixture : public ::testing::Test {
protected:
    KernelFixture() {
        kernel.SetViolationHandler([this](const platform::kernel::Violation& violation) {
            std::lock_guard lock(mutex_);
            if (!expected_.count(violation.rule))
                ADD_FAILURE() << "kernel verifier: " << violation.rule << ": " << violation.detail;
        });
    }

    void TearDown() override {
        kernel.CheckForLeaks();
        std::lock_guard lock(mutex_);
        for (const std::string& rule : expected_)
            EXPECT_GT(CountLocked(rule), 0u) << "expected a \"" << rule << "\" violation";
    }

    // Allows violations of this rule in the running test and requires one.
    void ExpectViolation(const std::string& rule) {
        EXPECT_TRUE(platform::kernel::IsVerifierRule(rule))
            << "no verifier rule \"" << rule << "\"";
        std::lock_guard lock(mutex_);
        expected_.insert(rule);
    }

    // How often the rule has been reported so far.
    size_t CountViolations(const std::string& rule) {
        std::lock_guard lock(mutex_);
        return CountLocked(rule);
    }

private:
    // Declared before the kernel, which may still report while it goes away.
    std::mutex mutex_;
    std::set<std::string> expected_;

protected:
    platform::kernel::Kernel kernel;

private:
    size_t CountLocked(const std::string& rule) const {
        const auto& all = kernel.Violations();
        return static_cast<size_t>(std::count_if(
            all.begin(), all.end(), [&](const auto& violation) { return violation.rule == rule; }));
    }
};

} // namespace kernel_testing
