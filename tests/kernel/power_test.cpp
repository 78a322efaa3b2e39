// The power manager: system and device set-power requests and the rules for
// passing power requests on.
#include "tests/kernel/pnp_drivers.h"

namespace pnp_test {
namespace {

using Strings = std::vector<std::string>;

class PowerTest : public PnpFixture {};

TEST_F(PowerTest, SleepAndWakeReachTheStackAtPassiveLevel) {
    platform::kernel::DeviceNode* node = PlugIn();
    PDEVICE_OBJECT fdo = pdos.at(0)->AttachedDevice;
    gLog.clear();
    EXPECT_EQ(kernel.SetSystemPower(PowerSystemSleeping3), STATUS_SUCCESS);
    EXPECT_EQ(kernel.SystemPower(), PowerSystemSleeping3);
    EXPECT_EQ(kernel.DevicePower(fdo), PowerDeviceD3);
    EXPECT_EQ(kernel.SetSystemPower(PowerSystemWorking), STATUS_SUCCESS);
    EXPECT_EQ(kernel.DevicePower(fdo), PowerDeviceD0);
    EXPECT_EQ(gLog, (Strings{"fdo a power S3 at 0", "fdo a power S0 at 0"}));
    kernel.RemoveDevice(node);
}

TEST_F(PowerTest, SleepSkipsStoppedDevicesAndGoesToTheLastArrivedFirst) {
    platform::kernel::DeviceNode* first = PlugIn("ROOT\\TEST\\0000");
    platform::kernel::DeviceNode* second = PlugIn("ROOT\\TEST\\0001");
    kernel.StopDevice(first);
    gLog.clear();
    kernel.SetSystemPower(PowerSystemHibernate);
    kernel.RestartDevice(first);
    kernel.SetSystemPower(PowerSystemWorking);
    kernel.SetSystemPower(PowerSystemSleeping1);
    EXPECT_EQ(gLog, (Strings{"fdo b power S4 at 0", "fdo 00", "bus 00", "fdo 14", "bus 14",
                             "fdo a power S0 at 0", "fdo b power S0 at 0", "fdo b power S1 at 0",
                             "fdo a power S1 at 0"}));
    kernel.SetSystemPower(PowerSystemWorking);
    kernel.RemoveDevice(first);
    kernel.RemoveDevice(second);
}

TEST_F(PowerTest, DevicePowerRequestGoesToOneDevice) {
    platform::kernel::DeviceNode* node = PlugIn();
    gLog.clear();
    EXPECT_EQ(kernel.SetDevicePower(node, PowerDeviceD2), STATUS_SUCCESS);
    EXPECT_EQ(gLog, (Strings{"fdo a power D2 at 0"}));
    EXPECT_EQ(kernel.DevicePower(pdos.at(0)->AttachedDevice), PowerDeviceD2);
    kernel.RemoveDevice(node);
}

TEST_F(PowerTest, PowerRequestWithoutPoStartNextPowerIrpIsReported) {
    ExpectViolation("power-irp-next-not-started");
    platform::kernel::DeviceNode* node = PlugIn();
    gSwitches.skipStartNextPowerIrp = true;
    // The bus forgets it too.
    bus->MajorFunction[IRP_MJ_POWER] = [](PDEVICE_OBJECT, PIRP irp) {
        return Finish(irp, STATUS_SUCCESS);
    };
    kernel.SetSystemPower(PowerSystemSleeping1);
    EXPECT_EQ(CountViolations("power-irp-next-not-started"), 1u);
    kernel.RemoveDevice(node);
}

TEST_F(PowerTest, PowerRequestPassedWithIoCallDriverIsReported) {
    ExpectViolation("power-irp-sent-with-iocalldriver");
    platform::kernel::DeviceNode* node = PlugIn();
    gSwitches.powerWithIoCallDriver = true;
    EXPECT_EQ(kernel.SetSystemPower(PowerSystemSleeping1), STATUS_SUCCESS);
    kernel.RemoveDevice(node);
}

// A function driver without a power dispatch routine.
NTSTATUS PlainPnp(PDEVICE_OBJECT device, PIRP irp) {
    auto lower = *static_cast<PDEVICE_OBJECT*>(device->DeviceExtension);
    bool remove = IoGetCurrentIrpStackLocation(irp)->MinorFunction == IRP_MN_REMOVE_DEVICE;
    IoSkipCurrentIrpStackLocation(irp);
    NTSTATUS status = IoCallDriver(lower, irp);
    if (remove) {
        IoDetachDevice(lower);
        IoDeleteDevice(device);
    }
    return status;
}

NTSTATUS PlainAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    PDEVICE_OBJECT device = nullptr;
    IoCreateDevice(driver, sizeof(PDEVICE_OBJECT), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    *static_cast<PDEVICE_OBJECT*>(device->DeviceExtension) =
        IoAttachDeviceToDeviceStack(device, pdo);
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

TEST_F(PowerTest, DefaultDispatchFailsPowerRequestsAndStartsTheNextOne) {
    platform::kernel::DeviceNode* node = nullptr;
    ASSERT_EQ(kernel.PlugInDevice(
                  CreatePdo(), "ROOT\\PLAIN\\0000", "plain",
                  [](PDRIVER_OBJECT driver, PUNICODE_STRING) {
                      driver->DriverExtension->AddDevice = PlainAddDevice;
                      driver->MajorFunction[IRP_MJ_PNP] = PlainPnp;
                      return STATUS_SUCCESS;
                  },
                  &node),
              STATUS_SUCCESS);
    EXPECT_EQ(kernel.SetSystemPower(PowerSystemSleeping2), STATUS_INVALID_DEVICE_REQUEST);
    kernel.SetSystemPower(PowerSystemWorking);
    EXPECT_EQ(kernel.RemoveDevice(node), STATUS_SUCCESS);
}

} // namespace
} // namespace pnp_test
