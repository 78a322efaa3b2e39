// Driver and device objects, names and links, opens of devices.
#include "tests/kernel/test_driver.h"

namespace kernel_test {
namespace {

using Strings = std::vector<std::string>;

UNICODE_STRING Text(const char16_t* text) {
    UNICODE_STRING string;
    string.Buffer = const_cast<PWSTR>(text);
    string.Length = static_cast<USHORT>(std::char_traits<char16_t>::length(text) * 2);
    string.MaximumLength = string.Length;
    return string;
}

class ObjectTest : public IoFixture {};

TEST_F(ObjectTest, LoadedDriverHasItsNamesAndTheDefaultDispatch) {
    EXPECT_EQ(platform::kernel::Narrow(driver->DriverName), "\\Driver\\testdrv");
    EXPECT_EQ(platform::kernel::Narrow(driver->DriverExtension->ServiceKeyName), "testdrv");
    EXPECT_EQ(driver->DriverExtension->DriverObject, driver);
    EXPECT_EQ(gLog.at(0), "entry \\REGISTRY\\MACHINE\\SYSTEM\\ControlSet001\\Services\\testdrv");
    PDEVICE_OBJECT top = CreateStack({CompleteRequest});
    PIRP irp = IoAllocateIrp(top->StackSize, FALSE);
    IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_READ; // left at the default
    IoSetCompletionRoutine(irp, ClaimCompletion, nullptr, TRUE, TRUE, TRUE);
    EXPECT_EQ(IoCallDriver(top, irp), STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(irp->IoStatus.Status, STATUS_INVALID_DEVICE_REQUEST);
    IoFreeIrp(irp);
}

TEST_F(ObjectTest, FailedEntryLoadsNothing) {
    NTSTATUS status = STATUS_SUCCESS;
    EXPECT_EQ(
        kernel.LoadDriver(
            "broken", [](PDRIVER_OBJECT, PUNICODE_STRING) { return STATUS_NO_MEMORY; }, &status),
        nullptr);
    EXPECT_EQ(status, STATUS_NO_MEMORY);
    EXPECT_EQ(kernel.LoadDriver("testdrv", TestEntry, &status), nullptr); // name taken
    EXPECT_EQ(status, STATUS_OBJECT_NAME_COLLISION);
}

TEST_F(ObjectTest, UnloadWithDevicesLeftIsReported) {
    ExpectViolation("driver-unload-with-devices");
    PDRIVER_OBJECT other = kernel.LoadDriver("other", TestEntry);
    PDEVICE_OBJECT device = nullptr;
    ASSERT_EQ(IoCreateDevice(other, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device),
              STATUS_SUCCESS);
    kernel.UnloadDriver(other);
    IoDeleteDevice(device); // the object stayed for it
}

TEST_F(ObjectTest, DriverObjectExtensionsAreKeyedByTheirClient) {
    static int client;
    PVOID extension = nullptr;
    ASSERT_EQ(IoAllocateDriverObjectExtension(driver, &client, 24, &extension), STATUS_SUCCESS);
    EXPECT_EQ(std::count(static_cast<char*>(extension), static_cast<char*>(extension) + 24, 0), 24);
    EXPECT_EQ(IoGetDriverObjectExtension(driver, &client), extension);
    PVOID again = &again;
    EXPECT_EQ(IoAllocateDriverObjectExtension(driver, &client, 8, &again),
              STATUS_OBJECT_NAME_COLLISION);
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(IoGetDriverObjectExtension(driver, &extension), nullptr);
}

TEST_F(ObjectTest, CreatedDeviceStartsInitializingWithAZeroedExtension) {
    UNICODE_STRING name = Text(u"\\Device\\fresh");
    PDEVICE_OBJECT device = nullptr;
    ASSERT_EQ(IoCreateDevice(driver, 40, &name, FILE_DEVICE_UNKNOWN, 0, TRUE, &device),
              STATUS_SUCCESS);
    EXPECT_TRUE(device->Flags & DO_DEVICE_INITIALIZING);
    EXPECT_TRUE(device->Flags & DO_EXCLUSIVE);
    EXPECT_EQ(device->StackSize, 1);
    EXPECT_EQ(device->DriverObject, driver);
    EXPECT_EQ(driver->DeviceObject, device);
    EXPECT_EQ(std::count(static_cast<char*>(device->DeviceExtension),
                         static_cast<char*>(device->DeviceExtension) + 40, 0),
              40);
    PDEVICE_OBJECT second = nullptr;
    EXPECT_EQ(IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &second),
              STATUS_OBJECT_NAME_COLLISION);
    EXPECT_EQ(kernel.FindDevice("\\device\\FRESH"), device);
    IoDeleteDevice(device);
    EXPECT_EQ(kernel.FindDevice("\\Device\\fresh"), nullptr);
    EXPECT_EQ(driver->DeviceObject, nullptr);
}

TEST_F(ObjectTest, DosDevicesAndQuestionMarkAreOneDirectory) {
    PDEVICE_OBJECT device = CreateDevice("\\Device\\probe");
    UNICODE_STRING link = Text(u"\\DosDevices\\probe1");
    UNICODE_STRING target = Text(u"\\Device\\probe");
    ASSERT_EQ(IoCreateSymbolicLink(&link, &target), STATUS_SUCCESS);
    UNICODE_STRING same = Text(u"\\??\\PROBE1");
    EXPECT_EQ(IoCreateSymbolicLink(&same, &target), STATUS_OBJECT_NAME_COLLISION);
    EXPECT_EQ(kernel.FindDevice("\\??\\probe1"), device);
    EXPECT_EQ(IoDeleteSymbolicLink(&same), STATUS_SUCCESS);
    EXPECT_EQ(IoDeleteSymbolicLink(&link), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(kernel.FindDevice("\\DosDevices\\probe1"), nullptr);
}

TEST_F(ObjectTest, UserOpensGoThroughLinksToTheTopOfTheStack) {
    PDEVICE_OBJECT bottom = CreateDevice("\\Device\\probe");
    PDEVICE_OBJECT top = CreateDevice();
    LayerOf(top)->lower = IoAttachDeviceToDeviceStack(top, bottom);
    UNICODE_STRING link = Text(u"\\DosDevices\\probe1");
    UNICODE_STRING target = Text(u"\\Device\\probe");
    IoCreateSymbolicLink(&link, &target);
    platform::kernel::UserFile* file = nullptr;
    gLog.clear();
    ASSERT_EQ(kernel.OpenFile("\\\\.\\probe1", &file), STATUS_SUCCESS);
    EXPECT_EQ(bottom->ReferenceCount, 1);
    EXPECT_EQ(kernel.CloseFile(file), STATUS_SUCCESS);
    EXPECT_EQ(bottom->ReferenceCount, 0);
    EXPECT_EQ(gLog, (Strings{"create b", "cleanup b", "close b"}));
    EXPECT_EQ(kernel.OpenFile("\\\\.\\missing", &file), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(file, nullptr);
    IoDeleteSymbolicLink(&link);
}

TEST_F(ObjectTest, ExclusiveAndInitializingDevicesRefuseOpens) {
    PDEVICE_OBJECT device = CreateDevice("\\Device\\solo", TRUE);
    platform::kernel::UserFile* first = nullptr;
    platform::kernel::UserFile* second = nullptr;
    ASSERT_EQ(kernel.OpenFile("\\Device\\solo", &first), STATUS_SUCCESS);
    EXPECT_EQ(kernel.OpenFile("\\Device\\solo", &second), STATUS_ACCESS_DENIED);
    kernel.CloseFile(first);
    device->Flags |= DO_DEVICE_INITIALIZING;
    EXPECT_EQ(kernel.OpenFile("\\Device\\solo", &second), STATUS_NO_SUCH_DEVICE);
    device->Flags &= ~DO_DEVICE_INITIALIZING;
}

TEST_F(ObjectTest, DeviceObjectPointerClosesAtTheLastDereference) {
    PDEVICE_OBJECT bottom = CreateDevice("\\Device\\probe");
    PDEVICE_OBJECT top = CreateDevice();
    LayerOf(top)->lower = IoAttachDeviceToDeviceStack(top, bottom);
    UNICODE_STRING name = Text(u"\\Device\\probe");
    PFILE_OBJECT file = nullptr;
    PDEVICE_OBJECT device = nullptr;
    gLog.clear();
    ASSERT_EQ(IoGetDeviceObjectPointer(&name, 0, &file, &device), STATUS_SUCCESS);
    EXPECT_EQ(device, top);
    EXPECT_EQ(file->DeviceObject, bottom);
    EXPECT_EQ(gLog, (Strings{"create b", "cleanup b"}));
    ObReferenceObject(file);
    ObDereferenceObject(file);
    EXPECT_EQ(gLog.size(), 2u);
    ObDereferenceObject(file);
    EXPECT_EQ(gLog.back(), "close b");
    UNICODE_STRING missing = Text(u"\\Device\\missing");
    EXPECT_EQ(IoGetDeviceObjectPointer(&missing, 0, &file, &device), STATUS_OBJECT_NAME_NOT_FOUND);
}

TEST_F(ObjectTest, DeviceLeftAtTeardownIsALeak) {
    ExpectViolation("device-leak");
    ExpectViolation("driver-unload-with-devices");
    PDEVICE_OBJECT device = nullptr;
    IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
}

TEST_F(ObjectTest, DeletingAnAttachedDeviceIsReported) {
    ExpectViolation("device-delete-attached");
    PDEVICE_OBJECT top = CreateStack({CompleteRequest, PassDown});
    PDEVICE_OBJECT bottom = LayerOf(top)->lower;
    devices.clear();
    IoDeleteDevice(top); // still attached to bottom
    EXPECT_EQ(bottom->AttachedDevice, nullptr);
    IoDeleteDevice(bottom);
}

// A filter that passes the remove down first finds the device below it
// already deleted when it detaches: that order is the usual one.
TEST_F(ObjectTest, TheDeviceBelowAFilterMayGoBeforeTheFilterDetaches) {
    PDEVICE_OBJECT top = CreateStack({CompleteRequest, CompleteRequest, PassDown});
    PDEVICE_OBJECT middle = LayerOf(top)->lower;
    PDEVICE_OBJECT bottom = LayerOf(middle)->lower;
    devices.clear();
    IoDetachDevice(bottom);
    IoDeleteDevice(middle); // top is still attached above it
    IoDetachDevice(middle);
    EXPECT_EQ(middle->AttachedDevice, nullptr);
    IoDeleteDevice(top);
    IoDeleteDevice(bottom);
}

} // namespace
} // namespace kernel_test
