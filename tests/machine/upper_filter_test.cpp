// The Plug and Play manager's upper filters: order of AddDevice, the stack
// they build, who unloads them, and a filter that fails its AddDevice.
#include "machine/root_bus.h"
#include "tests/support/kernel_fixture.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

using platform::kernel::Kernel;
using DeviceState = Kernel::DeviceState;

std::vector<std::string> gLog;
bool gFilterFails = false;

struct Layer {
    PDEVICE_OBJECT lower;
};

Layer* LayerOf(PDEVICE_OBJECT device) {
    return static_cast<Layer*>(device->DeviceExtension);
}

std::string NameOf(PDEVICE_OBJECT device) {
    return platform::kernel::Narrow(device->DriverObject->DriverName);
}

// Passes every request down; leaves the stack at removal.
NTSTATUS LayerPnp(PDEVICE_OBJECT device, PIRP irp) {
    const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    gLog.push_back(NameOf(device) + " pnp " + std::to_string(minor));
    PDEVICE_OBJECT lower = LayerOf(device)->lower;
    IoSkipCurrentIrpStackLocation(irp);
    NTSTATUS status = IoCallDriver(lower, irp);
    if (minor == IRP_MN_REMOVE_DEVICE) {
        IoDetachDevice(lower);
        IoDeleteDevice(device);
    }
    return status;
}

NTSTATUS LayerPower(PDEVICE_OBJECT device, PIRP irp) {
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(LayerOf(device)->lower, irp);
}

NTSTATUS LayerAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    const std::string name = platform::kernel::Narrow(driver->DriverName);
    gLog.push_back(name + " add");
    if (gFilterFails && name == "\\Driver\\flt")
        return STATUS_INSUFFICIENT_RESOURCES;
    PDEVICE_OBJECT device;
    NTSTATUS status =
        IoCreateDevice(driver, sizeof(Layer), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    LayerOf(device)->lower = IoAttachDeviceToDeviceStack(device, pdo);
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

NTSTATUS LayerEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    gLog.push_back(platform::kernel::Narrow(driver->DriverName) + " entry");
    driver->MajorFunction[IRP_MJ_PNP] = LayerPnp;
    driver->MajorFunction[IRP_MJ_POWER] = LayerPower;
    driver->DriverExtension->AddDevice = LayerAddDevice;
    return STATUS_SUCCESS;
}

class UpperFilterTest : public kernel_testing::KernelFixture {
protected:
    void SetUp() override {
        gLog.clear();
        gFilterFails = false;
        bus.emplace();
        pdo = bus->CreatePdo();
    }
    void TearDown() override {
        bus.reset();
        KernelFixture::TearDown();
    }

    NTSTATUS Plug() {
        return kernel.PlugInDevice(pdo, "ROOT\\TEST\\0000", {"fn", LayerEntry},
                                   {{"flt", LayerEntry}}, &node);
    }
    bool LoadedDriver(const std::string& name) {
        // A second load of a loaded driver collides with its object name.
        NTSTATUS status;
        PDRIVER_OBJECT again = kernel.LoadDriver(name, LayerEntry, &status);
        if (again != nullptr) {
            kernel.UnloadDriver(again);
            return false;
        }
        return status == STATUS_OBJECT_NAME_COLLISION;
    }

    std::optional<machine::RootBus> bus;
    PDEVICE_OBJECT pdo = nullptr;
    platform::kernel::DeviceNode* node = nullptr;
};

TEST_F(UpperFilterTest, FilterAttachesAboveTheFunctionDriverAndSeesRequestsFirst) {
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    EXPECT_EQ(gLog, (std::vector<std::string>{"\\Driver\\fn entry", "\\Driver\\flt entry",
                                              "\\Driver\\fn add", "\\Driver\\flt add",
                                              "\\Driver\\flt pnp 0", "\\Driver\\fn pnp 0",
                                              "\\Driver\\flt pnp 20", "\\Driver\\fn pnp 20"}));
    ASSERT_NE(pdo->AttachedDevice, nullptr);
    EXPECT_EQ(NameOf(pdo->AttachedDevice), "\\Driver\\fn");
    ASSERT_NE(pdo->AttachedDevice->AttachedDevice, nullptr);
    EXPECT_EQ(NameOf(pdo->AttachedDevice->AttachedDevice), "\\Driver\\flt");

    EXPECT_EQ(kernel.RemoveDevice(node), STATUS_SUCCESS);
    EXPECT_EQ(pdo->AttachedDevice, nullptr);
    EXPECT_FALSE(LoadedDriver("fn"));
    EXPECT_FALSE(LoadedDriver("flt"));
}

TEST_F(UpperFilterTest, AFilterLoadedBeforeIsReusedAndLeftLoaded) {
    PDRIVER_OBJECT filter = kernel.LoadDriver("flt", LayerEntry);
    gLog.clear();
    ASSERT_EQ(Plug(), STATUS_SUCCESS);
    EXPECT_EQ(std::count(gLog.begin(), gLog.end(), "\\Driver\\flt entry"), 0);
    EXPECT_EQ(kernel.RemoveDevice(node), STATUS_SUCCESS);
    EXPECT_FALSE(LoadedDriver("fn"));
    EXPECT_TRUE(LoadedDriver("flt"));
    kernel.UnloadDriver(filter);
}

TEST_F(UpperFilterTest, AFailingFilterRemovesTheStackBuiltSoFar) {
    gFilterFails = true;
    EXPECT_EQ(Plug(), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(kernel.StateOf(node), DeviceState::Failed);
    EXPECT_EQ(std::count(gLog.begin(), gLog.end(), "\\Driver\\fn pnp 2"), 1);
    EXPECT_EQ(pdo->AttachedDevice, nullptr);
    EXPECT_FALSE(LoadedDriver("fn"));
    EXPECT_FALSE(LoadedDriver("flt"));
}

TEST_F(UpperFilterTest, AMissingAddDeviceFailsTheDeviceWithoutStartingIt) {
    auto noAddDevice = [](PDRIVER_OBJECT, PUNICODE_STRING) -> NTSTATUS { return STATUS_SUCCESS; };
    EXPECT_EQ(kernel.PlugInDevice(pdo, "ROOT\\TEST\\0000", {"fn", LayerEntry},
                                  {{"bare", noAddDevice}}, &node),
              STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(std::count(gLog.begin(), gLog.end(), "\\Driver\\fn pnp 0"), 0);
    EXPECT_FALSE(LoadedDriver("fn"));
    EXPECT_FALSE(LoadedDriver("bare"));
}

} // namespace
