// Device interface registration and state changes.
#include "tests/kernel/test_driver.h"

namespace kernel_test {
namespace {

const GUID kClass = {0xc0cf0648, 0x5f6e, 0x11d2, {0xb6, 0x77, 0x00, 0xc0, 0xdf, 0xe4, 0xc1, 0xfb}};

class DeviceInterfaceTest : public IoFixture {};

TEST_F(DeviceInterfaceTest, RegisteredLinkOpensThePdoStackOnlyWhileEnabled) {
    PDEVICE_OBJECT pdo = CreateDevice();
    PDEVICE_OBJECT fdo = CreateDevice();
    LayerOf(fdo)->lower = IoAttachDeviceToDeviceStack(fdo, pdo);
    UNICODE_STRING link{};
    ASSERT_EQ(IoRegisterDeviceInterface(pdo, &kClass, nullptr, &link), STATUS_SUCCESS);
    std::string name = platform::kernel::Narrow(link);
    EXPECT_EQ(name, "\\??\\ROOT#DEVICE#0001#{c0cf0648-5f6e-11d2-b677-00c0dfe4c1fb}");
    EXPECT_EQ(link.MaximumLength, link.Length + 2);
    EXPECT_EQ(link.Buffer[link.Length / 2], 0);

    UNICODE_STRING again{};
    ASSERT_EQ(IoRegisterDeviceInterface(pdo, &kClass, nullptr, &again), STATUS_SUCCESS);
    EXPECT_EQ(platform::kernel::Narrow(again), name);
    ExFreePool(again.Buffer);

    EXPECT_EQ(kernel.FindDevice(name), nullptr);
    EXPECT_EQ(IoSetDeviceInterfaceState(&link, TRUE), STATUS_SUCCESS);
    EXPECT_EQ(IoSetDeviceInterfaceState(&link, TRUE), STATUS_OBJECT_NAME_EXISTS);
    EXPECT_EQ(kernel.FindDevice(name), pdo);
    platform::kernel::UserFile* file = nullptr;
    gLog.clear();
    ASSERT_EQ(kernel.OpenFile(name, &file), STATUS_SUCCESS);
    EXPECT_EQ(gLog.at(0), "create b");
    kernel.CloseFile(file);
    EXPECT_EQ(IoSetDeviceInterfaceState(&link, FALSE), STATUS_SUCCESS);
    EXPECT_EQ(IoSetDeviceInterfaceState(&link, FALSE), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(kernel.FindDevice(name), nullptr);

    const auto& changes = kernel.InterfaceStateChanges();
    ASSERT_EQ(changes.size(), 4u);
    EXPECT_TRUE(changes[0].enable);
    EXPECT_EQ(changes[1].status, STATUS_OBJECT_NAME_EXISTS);
    EXPECT_FALSE(changes[2].enable);
    EXPECT_EQ(changes[3].linkName, name);
    ExFreePool(link.Buffer);
}

TEST_F(DeviceInterfaceTest, UnknownLinkIsNotFoundAndStillRecorded) {
    std::u16string text = u"\\??\\nothing#{c0cf0648-5f6e-11d2-b677-00c0dfe4c1fb}";
    UNICODE_STRING link{static_cast<USHORT>(text.size() * 2), static_cast<USHORT>(text.size() * 2),
                        text.data()};
    EXPECT_EQ(IoSetDeviceInterfaceState(&link, TRUE), STATUS_OBJECT_NAME_NOT_FOUND);
    ASSERT_EQ(kernel.InterfaceStateChanges().size(), 1u);
    EXPECT_EQ(kernel.InterfaceStateChanges()[0].status, STATUS_OBJECT_NAME_NOT_FOUND);
}

} // namespace
} // namespace kernel_test
