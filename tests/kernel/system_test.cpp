// What differs per system: the loader refusing an image that imports a
// routine the system lacks, and Windows 98's pull-out without a surprise
// removal ("Differences in WDM Versions", learn.microsoft.com: 98 is WDM 1.0;
// IRP_MN_SURPRISE_REMOVAL exists from WDM 1.10, Windows 2000, on).
#include "platform/trace/trace.h"
#include "tests/kernel/pnp_drivers.h"

namespace pnp_test {
namespace {

using platform::kernel::Kernel;
using System = Kernel::System;
using Strings = std::vector<std::string>;

class SystemTest : public PnpFixture {
protected:
    SystemTest() {
        platform::trace::SetSink([this](const std::string& line) { trace.push_back(line); });
    }
    ~SystemTest() override { platform::trace::SetSink(nullptr); }
    Strings trace;
};

struct LoadCase {
    System system;
    Strings imports;
    NTSTATUS status;
    const char* refusedRoutine; // nullptr: loads
};

TEST_F(SystemTest, LoaderRefusesAnImageImportingWhatTheSystemLacks) {
    const LoadCase cases[] = {
        // IoAllocateWorkItem's page: "not available in Windows 98".
        {System::Windows98,
         {"IoAllocateWorkItem"},
         STATUS_DRIVER_ENTRYPOINT_NOT_FOUND,
         "IoAllocateWorkItem"},
        {System::Windows2000, {"IoAllocateWorkItem"}, STATUS_SUCCESS, nullptr},
        // "Reusing IRPs": 98 re-initialises with IoInitializeIrp instead.
        {System::Windows98,
         {"IoInitializeIrp", "IoReuseIrp"},
         STATUS_DRIVER_ENTRYPOINT_NOT_FOUND,
         "IoReuseIrp"},
        // Nothing settles ExFreePoolWithTag on 98: treated as absent.
        {System::Windows98,
         {"ExFreePoolWithTag"},
         STATUS_DRIVER_ENTRYPOINT_NOT_FOUND,
         "ExFreePoolWithTag"},
        {System::WindowsXP, {"ExFreePoolWithTag", "IoReuseIrp"}, STATUS_SUCCESS, nullptr},
        {System::Windows98,
         {"ExQueueWorkItem", "IoInitializeIrp", "ExFreePool"},
         STATUS_SUCCESS,
         nullptr},
        // Routines the table does not list are not judged.
        {System::Windows98, {"IoCallDriver"}, STATUS_SUCCESS, nullptr},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.imports.back());
        kernel.SetSystem(c.system);
        trace.clear();
        gLog.clear();
        platform::kernel::DeviceNode* node = nullptr;
        Kernel::DriverService service{"testfdo", FdoEntry, c.imports};
        EXPECT_EQ(kernel.PlugInDevice(CreatePdo(), "ROOT\\TEST\\0000", service, {}, &node),
                  c.status);
        if (c.refusedRoutine) {
            EXPECT_TRUE(gLog.empty()); // the entry never ran
            ASSERT_EQ(trace.size(), 1u);
            EXPECT_NE(trace[0].find(std::string("driver refused service=testfdo routine=") +
                                    c.refusedRoutine),
                      std::string::npos);
        } else {
            EXPECT_EQ(kernel.RemoveDevice(node), STATUS_SUCCESS);
        }
    }
}

TEST_F(SystemTest, PullOutOn98IsOnlyARemoval) {
    const struct {
        System system;
        Strings requests;
    } cases[] = {
        {System::Windows98, {"fdo 02", "bus 02", "fdo unload"}},
        {System::WindowsXP, {"fdo 17", "bus 17", "fdo 02", "bus 02", "fdo unload"}},
    };
    for (const auto& c : cases) {
        kernel.SetSystem(c.system);
        platform::kernel::DeviceNode* node = PlugIn();
        gLog.clear();
        kernel.SurpriseRemoveDevice(node);
        kernel.RunDueEvents();
        EXPECT_EQ(gLog, c.requests);
    }
}

} // namespace
} // namespace pnp_test
