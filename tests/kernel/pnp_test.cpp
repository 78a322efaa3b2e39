// The Plug and Play manager: arrival, start, stop, removal, notifications and
// the unload of function drivers.
#include "tests/kernel/pnp_drivers.h"

namespace pnp_test {
namespace {

using platform::kernel::Kernel;
using State = Kernel::DeviceState;
using Strings = std::vector<std::string>;

class PnpTest : public PnpFixture {
protected:
    PDRIVER_OBJECT LoadClient() {
        PDRIVER_OBJECT client = kernel.LoadDriver("client", ClientEntry);
        client->DriverUnload = ClientUnload;
        return client;
    }
};

TEST_F(PnpTest, ArrivalLoadsTheDriverAddsAndStartsTheStack) {
    platform::kernel::DeviceNode* node = PlugIn("USB\\VID_1234&PID_5678\\5&1f&0&1");
    EXPECT_EQ(gLog, (Strings{"fdo entry", "fdo add", "fdo 00", "bus 00", "fdo 14", "bus 14"}));
    EXPECT_EQ(kernel.StateOf(node), State::Started);
    std::string link =
        "\\??\\USB#VID_1234&PID_5678#5&1f&0&1#{1f2e3d4c-5b6a-4978-8695-a4b3c2d1e0f0}";
    EXPECT_EQ(kernel.FindDevice(link), pdos.at(0));
    gLog.clear();
    EXPECT_EQ(kernel.RemoveDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(gLog, (Strings{"fdo 01", "bus 01", "fdo 02", "bus 02", "fdo unload"}));
    EXPECT_EQ(kernel.StateOf(node), State::Removed);
    EXPECT_EQ(kernel.FindDevice(link), nullptr);
    EXPECT_EQ(kernel.RemoveDevice(node), STATUS_INVALID_DEVICE_STATE);
}

TEST_F(PnpTest, FailedStartIsFollowedByRemove) {
    gSwitches.failStart = true;
    platform::kernel::DeviceNode* node = nullptr;
    EXPECT_EQ(kernel.PlugInDevice(CreatePdo(), "ROOT\\TEST\\0000", "testfdo", FdoEntry, &node),
              STATUS_DEVICE_NOT_READY);
    EXPECT_EQ(gLog, (Strings{"fdo entry", "fdo add", "fdo 00", "fdo 02", "bus 02", "fdo unload"}));
    EXPECT_EQ(kernel.StateOf(node), State::Failed);
}

TEST_F(PnpTest, StopThenRestart) {
    platform::kernel::DeviceNode* node = PlugIn();
    gLog.clear();
    EXPECT_EQ(kernel.StopDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(kernel.StateOf(node), State::Stopped);
    EXPECT_EQ(kernel.RestartDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(gLog, (Strings{"fdo 05", "bus 05", "fdo 04", "bus 04", "fdo 00", "bus 00", "fdo 14",
                             "bus 14"}));
    const auto& changes = kernel.InterfaceStateChanges();
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_FALSE(changes[1].enable);
    EXPECT_TRUE(changes[2].enable);
    EXPECT_EQ(kernel.RemoveDevice(node), STATUS_SUCCESS);
}

TEST_F(PnpTest, VetoedStopIsCancelled) {
    platform::kernel::DeviceNode* node = PlugIn();
    gSwitches.vetoQueryStop = true;
    gLog.clear();
    EXPECT_EQ(kernel.StopDevice(node), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(gLog, (Strings{"fdo 05", "fdo 06", "bus 06"}));
    EXPECT_EQ(kernel.StateOf(node), State::Started);
    EXPECT_EQ(kernel.RemoveDevice(node), STATUS_SUCCESS);
}

TEST_F(PnpTest, InterfaceArrivalReachesClientsFromTheScheduler) {
    PDRIVER_OBJECT client = LoadClient();
    platform::kernel::DeviceNode* node = PlugIn();
    EXPECT_EQ(std::count(gLog.begin(), gLog.end(), "client arrival at 0"), 0);
    kernel.RunDueEvents();
    EXPECT_EQ(gLog.back(), "client arrival at 0");
    EXPECT_EQ(gClient.target, pdos.at(0)->AttachedDevice);

    // Surprise removal: the remove request waits until the client let go.
    gLog.clear();
    kernel.SurpriseRemoveDevice(node);
    EXPECT_EQ(gLog, (Strings{"fdo 17", "bus 17"}));
    EXPECT_EQ(kernel.StateOf(node), State::SurpriseRemoved);
    kernel.RunDueEvents();
    EXPECT_EQ(gLog, (Strings{"fdo 17", "bus 17", "client removal at 0", "fdo 02", "bus 02",
                             "fdo unload"}));
    EXPECT_EQ(kernel.StateOf(node), State::Removed);
    kernel.UnloadDriver(client);
}

TEST_F(PnpTest, LateRegistrationHearsOfExistingInterfacesOnce) {
    platform::kernel::DeviceNode* node = PlugIn();
    kernel.RunDueEvents();
    PDRIVER_OBJECT client = LoadClient();
    kernel.RunDueEvents();
    EXPECT_EQ(std::count(gLog.begin(), gLog.end(), "client arrival at 0"), 1);
    EXPECT_NE(gClient.file, nullptr);
    EXPECT_EQ(kernel.RemoveDevice(node), STATUS_DEVICE_BUSY); // the client has it open
    kernel.UnloadDriver(client);
    EXPECT_EQ(kernel.RemoveDevice(node), STATUS_SUCCESS);
}

TEST_F(PnpTest, UnregisteringDropsNotificationsNotYetDelivered) {
    PDRIVER_OBJECT client = LoadClient();
    platform::kernel::DeviceNode* node = PlugIn();
    EXPECT_EQ(IoUnregisterPlugPlayNotification(gClient.registration), STATUS_SUCCESS);
    kernel.RunDueEvents();
    EXPECT_EQ(std::count(gLog.begin(), gLog.end(), "client arrival at 0"), 0);
    client->DriverUnload = nullptr;
    kernel.UnloadDriver(client);
    EXPECT_EQ(kernel.RemoveDevice(node), STATUS_SUCCESS);
}

TEST_F(PnpTest, UnloadWithAnActiveRegistrationIsReported) {
    ExpectViolation("pnp-notification-at-unload");
    PDRIVER_OBJECT client = kernel.LoadDriver("client", ClientEntry);
    kernel.UnloadDriver(client);
}

TEST_F(PnpTest, DriverUnloadsAfterItsLastDeviceAndLoadsAfresh) {
    platform::kernel::DeviceNode* first = PlugIn("ROOT\\TEST\\0000");
    platform::kernel::DeviceNode* second = PlugIn("ROOT\\TEST\\0001");
    EXPECT_EQ(std::count(gLog.begin(), gLog.end(), "fdo entry"), 1);
    kernel.RemoveDevice(first);
    EXPECT_EQ(std::count(gLog.begin(), gLog.end(), "fdo unload"), 0);
    kernel.RemoveDevice(second);
    EXPECT_EQ(std::count(gLog.begin(), gLog.end(), "fdo unload"), 1);
    platform::kernel::DeviceNode* again = PlugIn("ROOT\\TEST\\0000");
    EXPECT_EQ(std::count(gLog.begin(), gLog.end(), "fdo entry"), 2);
    kernel.RemoveDevice(again);
}

TEST_F(PnpTest, AddDeviceLeavingTheDeviceInitializingIsReported) {
    ExpectViolation("device-initializing");
    gSwitches.leaveInitializing = true;
    platform::kernel::DeviceNode* node = PlugIn();
    EXPECT_FALSE(pdos.at(0)->AttachedDevice->Flags & DO_DEVICE_INITIALIZING);
    kernel.RemoveDevice(node);
}

TEST_F(PnpTest, RemoveThatLeavesTheDeviceAttachedIsReported) {
    ExpectViolation("pnp-remove-left-device");
    gSwitches.keepDeviceOnRemove = true;
    platform::kernel::DeviceNode* node = PlugIn();
    kernel.RemoveDevice(node);
    PDEVICE_OBJECT fdo = pdos.at(0)->AttachedDevice;
    ASSERT_NE(fdo, nullptr);
    PDRIVER_OBJECT driver = fdo->DriverObject;
    IoDetachDevice(pdos.at(0));
    IoDeleteDevice(fdo);
    kernel.UnloadDriver(driver); // the PnP manager kept it for its device
}

} // namespace
} // namespace pnp_test
