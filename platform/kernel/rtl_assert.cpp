// RtlAssert: where a checked build's failed ASSERT (and PAGED_CODE) goes.
#include "platform/kernel/kernel_state.h"

using platform::kernel::detail::K;

VOID RtlAssert(PVOID FailedAssertion, PVOID FileName, ULONG LineNumber, PCHAR Message) {
    std::string detail = std::string(static_cast<const char*>(FailedAssertion)) + " at " +
                         static_cast<const char*>(FileName) + ":" + std::to_string(LineNumber);
    if (Message != NULL)
        detail += ": " + std::string(Message);
    K().verifier.Report("assertion-failed", detail);
}
