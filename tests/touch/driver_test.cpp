// Load and AddDevice: entry points, the service key copy, the one device.
#include "tests/touch/touch_harness.h"

namespace touch_testing {
namespace {

using DriverTest = TouchTest;

TEST_F(DriverTest, EntryInstallsHandlersAndCopiesServiceKey) {
    EXPECT_EQ(driver->MajorFunction[IRP_MJ_CREATE], TouchCreateClose);
    EXPECT_EQ(driver->MajorFunction[IRP_MJ_CLOSE], TouchCreateClose);
    EXPECT_EQ(driver->MajorFunction[IRP_MJ_DEVICE_CONTROL], TouchDeviceControl);
    EXPECT_EQ(driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL], TouchInternalDeviceControl);
    EXPECT_EQ(driver->DriverExtension->AddDevice, TouchAddDevice);

    auto* copy =
        static_cast<PUNICODE_STRING>(IoGetDriverObjectExtension(driver, TOUCH_REGISTRY_PATH_ID));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(platform::kernel::Narrow(*copy), kServicesKey + ServiceName());
    EXPECT_EQ(copy->MaximumLength, copy->Length + 2);
    EXPECT_EQ(copy->Buffer[copy->Length / 2], 0);
}

TEST_F(DriverTest, DeviceStartsStoppedWithDefaults) {
    EXPECT_EQ(kernel.FindDevice("\\DosDevices\\vududode"), ext->DeviceObject);
    EXPECT_EQ(ext->LowerDeviceObject, pdo);
    EXPECT_EQ(ext->PhysicalDeviceObject, pdo);
    EXPECT_TRUE(ext->Stopped);
    EXPECT_EQ(ext->doneMode, 1);
    EXPECT_EQ(ext->DevicePowerState, PowerDeviceD0);
    EXPECT_NE(ext->ReadUrb, nullptr);
    EXPECT_GT(ext->InterfaceName.Length, 0);
    EXPECT_EQ(ext->DeviceObject->Flags &
                  (DO_BUFFERED_IO | DO_POWER_PAGABLE | DO_DEVICE_INITIALIZING),
              ULONG(DO_BUFFERED_IO | DO_POWER_PAGABLE));
}

TEST_F(DriverTest, SecondScreenFailsFirstKeepsWorking) {
    PDEVICE_OBJECT second;
    ASSERT_EQ(NewPdo(&second), STATUS_SUCCESS);
    EXPECT_EQ(TouchAddDevice(driver, second), STATUS_OBJECT_NAME_COLLISION);
    IoDeleteDevice(second);
    EXPECT_EQ(kernel.FindDevice("\\DosDevices\\vududode"), ext->DeviceObject);
}

TEST_F(DriverTest, FailedAddDeviceLeavesNothingBehind) {
    DeleteTouchDevice(ext);
    ext = nullptr;
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, KTEXT(TOUCH_DOS_NAME_TEXT));
    IoDeleteSymbolicLink(&link);

    kernel.SetAllocationFilter([](const platform::kernel::AllocationRequest& request) {
        return request.tag == TOUCH_POOL_TAG; // the read URB
    });
    EXPECT_EQ(TouchAddDevice(driver, pdo), STATUS_INSUFFICIENT_RESOURCES);
    kernel.SetAllocationFilter(nullptr);
    EXPECT_EQ(kernel.FindDevice("\\Device\\vududo"), nullptr);
    EXPECT_EQ(kernel.FindDevice("\\DosDevices\\vududode"), nullptr);
    EXPECT_EQ(pdo->AttachedDevice, nullptr);

    ASSERT_EQ(TouchAddDevice(driver, pdo), STATUS_SUCCESS);
    FindExtension();
}

} // namespace
} // namespace touch_testing
