// The I/O manager's own invariants: stack locations, IoCallDriver, the
// bottom-up completion walk with its pending and claim rules.
#include "tests/kernel/test_driver.h"

namespace kernel_test {
namespace {

using Strings = std::vector<std::string>;

class IoRequestTest : public IoFixture {};

TEST_F(IoRequestTest, AllocatedIrpHasItsStackLocationsAfterIt) {
    PIRP irp = IoAllocateIrp(3, FALSE);
    ASSERT_NE(irp, nullptr);
    EXPECT_EQ(irp->StackCount, 3);
    EXPECT_EQ(irp->CurrentLocation, 4);
    EXPECT_EQ(irp->Size, IoSizeOfIrp(3));
    auto first = reinterpret_cast<PIO_STACK_LOCATION>(irp + 1);
    EXPECT_EQ(IoGetNextIrpStackLocation(irp), first + 2);
    EXPECT_EQ(IoGetCurrentIrpStackLocation(irp), first + 3);
    IoFreeIrp(irp);
}

TEST_F(IoRequestTest, StackSizeGrowsByOneForEachAttachedDevice) {
    PDEVICE_OBJECT top = CreateStack({CompleteRequest, PassDown, PassDown});
    EXPECT_EQ(top->StackSize, 3);
    EXPECT_EQ(LayerOf(top)->lower->StackSize, 2);
    EXPECT_EQ(LayerOf(LayerOf(top)->lower)->lower->AttachedDevice, LayerOf(top)->lower);
}

TEST_F(IoRequestTest, CallDriverGivesEachDeviceTheNextLocation) {
    PDEVICE_OBJECT top = CreateStack({HoldRequest, ForwardWithRoutine});
    PIRP irp = BuildRequest(top);
    ASSERT_EQ(IoCallDriver(top, irp), STATUS_PENDING);
    ASSERT_EQ(gHeld.size(), 1u);
    EXPECT_EQ(irp->CurrentLocation, 1);
    EXPECT_EQ(IoGetCurrentIrpStackLocation(irp)->DeviceObject, LayerOf(top)->lower);
    EXPECT_EQ((IoGetCurrentIrpStackLocation(irp) + 1)->DeviceObject, top);
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    IoFreeIrp(irp);
}

TEST_F(IoRequestTest, CompletionRoutinesRunBottomUpWithTheUpperDevice) {
    PDEVICE_OBJECT top = CreateStack({CompleteRequest, ForwardWithRoutine, ForwardWithRoutine});
    PIRP irp = BuildRequest(top);
    gLog.clear();
    EXPECT_EQ(IoCallDriver(top, irp), STATUS_SUCCESS);
    EXPECT_EQ(gLog, (Strings{"forward c", "forward b", "dispatch a", "completion b", "completion c",
                             "claim top"}));
    IoFreeIrp(irp);
}

NTSTATUS CopyDown(PDEVICE_OBJECT device, PIRP irp) {
    gLog.push_back(std::string("copy ") + LayerOf(device)->name);
    IoCopyCurrentIrpStackLocationToNext(irp);
    return IoCallDriver(LayerOf(device)->lower, irp);
}

TEST_F(IoRequestTest, PendingFlagPropagatesThroughLocationsWithoutRoutines) {
    // c forwards with a routine, b copies its location down without one, a holds.
    PDEVICE_OBJECT top = CreateStack({HoldRequest, CopyDown, ForwardWithRoutine});
    PIRP irp = BuildRequest(top);
    gLog.clear();
    ASSERT_EQ(IoCallDriver(top, irp), STATUS_PENDING);
    IoCompleteRequest(gHeld.at(0), IO_NO_INCREMENT);
    EXPECT_EQ(gLog, (Strings{"forward c", "copy b", "hold a", "completion c pending",
                             "claim top pending"}));
    IoFreeIrp(irp);
}

TEST_F(IoRequestTest, SynchronousCompletionLeavesPendingReturnedClear) {
    PDEVICE_OBJECT top = CreateStack({CompleteRequest, ForwardWithRoutine});
    PIRP irp = BuildRequest(top);
    gLog.clear();
    EXPECT_EQ(IoCallDriver(top, irp), STATUS_SUCCESS);
    EXPECT_EQ(gLog, (Strings{"forward b", "dispatch a", "completion b", "claim top"}));
    IoFreeIrp(irp);
}

NTSTATUS ClaimAndLog(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
    UNREFERENCED_PARAMETER(context);
    gLog.push_back(std::string("claim ") + LayerOf(device)->name);
    UNREFERENCED_PARAMETER(irp);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

NTSTATUS ForwardAndClaim(PDEVICE_OBJECT device, PIRP irp) {
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, ClaimAndLog, nullptr, TRUE, TRUE, TRUE);
    IoCallDriver(LayerOf(device)->lower, irp);
    return STATUS_SUCCESS;
}

TEST_F(IoRequestTest, MoreProcessingRequiredStopsTheWalkUntilCompletedAgain) {
    PDEVICE_OBJECT top = CreateStack({CompleteRequest, ForwardAndClaim});
    PIRP irp = BuildRequest(top);
    gLog.clear();
    IoCallDriver(top, irp);
    EXPECT_EQ(gLog, (Strings{"dispatch a", "claim b"}));
    // b owns the request again and finishes it later.
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    EXPECT_EQ(gLog.back(), "claim top");
    IoFreeIrp(irp);
}

TEST_F(IoRequestTest, RoutinesRunOnlyForTheMatchingOutcome) {
    PDEVICE_OBJECT top = CreateStack({CompleteRequest});
    PIRP irp = IoAllocateIrp(top->StackSize, FALSE);
    IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    IoSetCompletionRoutine(irp, ClaimCompletion, nullptr, FALSE, TRUE, FALSE); // on error only
    gStatus = STATUS_DEVICE_DATA_ERROR;
    gLog.clear();
    IoCallDriver(top, irp);
    EXPECT_EQ(gLog.back(), "claim top");
    IoReuseIrp(irp, STATUS_SUCCESS);
    EXPECT_EQ(irp->CurrentLocation, irp->StackCount + 1);
    IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    IoSetCompletionRoutine(irp, ClaimCompletion, nullptr, TRUE, FALSE, FALSE); // success only
    gStatus = STATUS_SUCCESS;
    gLog.clear();
    IoCallDriver(top, irp);
    EXPECT_EQ(gLog, (Strings{"dispatch a", "claim top"}));

    // Not invoked on error: nothing claims it at the top.
    ExpectViolation("irp-unwound-past-originator");
    IoReuseIrp(irp, STATUS_SUCCESS);
    IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    IoSetCompletionRoutine(irp, ClaimCompletion, nullptr, TRUE, FALSE, FALSE);
    gStatus = STATUS_DEVICE_DATA_ERROR;
    gLog.clear();
    IoCallDriver(top, irp);
    EXPECT_EQ(gLog, (Strings{"dispatch a"}));
    IoFreeIrp(irp);
}

// IoInitializeIrp, Windows 98's way to reuse an IoAllocateIrp request
// ("Reusing IRPs", learn.microsoft.com): the packet is rebuilt with status 0;
// more stack locations than it was allocated with are refused.
TEST_F(IoRequestTest, InitializeIrpRebuildsTheDriversOwnRequestWithinItsPacket) {
    PIRP irp = IoAllocateIrp(2, FALSE);
    irp->IoStatus.Status = STATUS_CANCELLED;
    IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    IoInitializeIrp(irp, static_cast<USHORT>(IoSizeOfIrp(2)), 2);
    EXPECT_EQ(irp->IoStatus.Status, STATUS_SUCCESS);
    EXPECT_EQ(irp->CurrentLocation, 3);
    EXPECT_EQ(IoGetNextIrpStackLocation(irp)->MajorFunction, 0);

    ExpectViolation("irp-invalid");
    IoInitializeIrp(irp, static_cast<USHORT>(IoSizeOfIrp(3)), 3);
    EXPECT_EQ(irp->StackCount, 2);
    IoFreeIrp(irp);
}

// --- The verifier's rules on requests

TEST_F(IoRequestTest, CompletingTwiceIsReported) {
    ExpectViolation("irp-double-completion");
    PDEVICE_OBJECT top = CreateStack({[](PDEVICE_OBJECT, PIRP irp) {
        irp->IoStatus.Status = STATUS_SUCCESS;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_SUCCESS;
    }});
    PIRP irp = BuildRequest(top);
    gLog.clear();
    IoCallDriver(top, irp);
    EXPECT_EQ(CountViolations("irp-double-completion"), 1u);
    EXPECT_EQ(gLog, (Strings{"claim top"})); // the second completion did nothing
    IoFreeIrp(irp);
}

TEST_F(IoRequestTest, TouchingAFreedIrpIsReportedAndSkipped) {
    ExpectViolation("irp-use-after-free");
    PDEVICE_OBJECT top = CreateStack({CompleteRequest});
    PIRP irp = BuildRequest(top);
    IoCallDriver(top, irp);
    IoFreeIrp(irp);
    EXPECT_EQ(IoCallDriver(top, irp), STATUS_INVALID_PARAMETER);
    IoFreeIrp(irp);
    EXPECT_EQ(CountViolations("irp-use-after-free"), 2u);
}

TEST_F(IoRequestTest, PendingWithoutIoMarkIrpPendingIsReported) {
    ExpectViolation("irp-pending-not-marked");
    PDEVICE_OBJECT top = CreateStack(
        {HoldRequest, [](PDEVICE_OBJECT device, PIRP irp) {
             // Forwards with a routine that does not propagate the pending flag.
             IoCopyCurrentIrpStackLocationToNext(irp);
             IoSetCompletionRoutine(
                 irp, [](PDEVICE_OBJECT, PIRP, PVOID) { return STATUS_CONTINUE_COMPLETION; },
                 nullptr, TRUE, TRUE, TRUE);
             return IoCallDriver(LayerOf(device)->lower, irp);
         }});
    PIRP irp = BuildRequest(top);
    ASSERT_EQ(IoCallDriver(top, irp), STATUS_PENDING);
    EXPECT_EQ(CountViolations("irp-pending-not-marked"), 0u); // not known until completion
    IoCompleteRequest(gHeld.at(0), IO_NO_INCREMENT);
    EXPECT_EQ(CountViolations("irp-pending-not-marked"), 1u);
    IoFreeIrp(irp);
}

TEST_F(IoRequestTest, DriverIrpThatNobodyClaimsIsReported) {
    ExpectViolation("irp-unwound-past-originator");
    PDEVICE_OBJECT top = CreateStack({CompleteRequest});
    PIRP irp = IoAllocateIrp(top->StackSize, FALSE);
    IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    IoCallDriver(top, irp);
    IoFreeIrp(irp);
}

TEST_F(IoRequestTest, RunningOutOfStackLocationsIsReported) {
    ExpectViolation("irp-no-stack-location");
    PDEVICE_OBJECT top = CreateStack({CompleteRequest, [](PDEVICE_OBJECT device, PIRP irp) {
                                          // Sends its own location on: there is none below it.
                                          NTSTATUS status =
                                              IoCallDriver(LayerOf(device)->lower, irp);
                                          irp->IoStatus.Status = status;
                                          IoCompleteRequest(irp, IO_NO_INCREMENT);
                                          return status;
                                      }});
    PIRP irp = IoAllocateIrp(1, FALSE); // one short
    IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    IoSetCompletionRoutine(irp, ClaimCompletion, nullptr, TRUE, TRUE, TRUE);
    gLog.clear();
    EXPECT_EQ(IoCallDriver(top, irp), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(CountViolations("irp-no-stack-location"), 1u);
    EXPECT_EQ(gLog, (Strings{"claim top"}));
    IoFreeIrp(irp);
}

TEST_F(IoRequestTest, FreeingARequestALowerDriverHoldsIsReported) {
    ExpectViolation("irp-free-outstanding");
    PDEVICE_OBJECT top = CreateStack({HoldRequest});
    PIRP irp = BuildRequest(top);
    IoCallDriver(top, irp);
    IoFreeIrp(irp); // refused
    IoCompleteRequest(gHeld.at(0), IO_NO_INCREMENT);
    IoFreeIrp(irp);
}

TEST_F(IoRequestTest, RequestsOutstandingAtTeardownAreLeaks) {
    ExpectViolation("irp-leak");
    PDEVICE_OBJECT top = CreateStack({CompleteRequest});
    PIRP irp = BuildRequest(top);
    IoCallDriver(top, irp);
    EXPECT_EQ(kernel.OutstandingIrps(), 1u);
}

TEST_F(IoRequestTest, DeletingADeviceThatHoldsARequestIsReported) {
    ExpectViolation("device-delete-with-irps");
    PDEVICE_OBJECT top = CreateStack({HoldRequest});
    PIRP irp = BuildRequest(top);
    IoCallDriver(top, irp);
    devices.clear();
    IoDeleteDevice(top);
    EXPECT_EQ(CountViolations("device-delete-with-irps"), 1u);
    IoCompleteRequest(gHeld.at(0), IO_NO_INCREMENT);
    IoFreeIrp(irp);
}

} // namespace
} // namespace kernel_test
