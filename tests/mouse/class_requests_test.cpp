// What the mouse service driver answers the mouse class driver, and the
// identifier it gives for every kind of identifier query.
#include "tests/mouse/mouse_harness.h"

#include <cstring>

namespace mouse_testing {
namespace {

class ClassRequestTest : public MouseStackTest {
protected:
    Answer Connect(PVOID classService, ULONG length = sizeof(CONNECT_DATA)) {
        CONNECT_DATA data{rootPdo, classService};
        return SendInternal(MouseDevice(), IOCTL_INTERNAL_MOUSE_CONNECT, &data, length);
    }
    PDEVICE_OBJECT Top() const { return MouseDevice()->AttachedDevice; }
};

void NTAPI OtherService(PVOID, PVOID, PVOID, PVOID) {}

TEST_F(ClassRequestTest, ClassConnectsAtStartAndLearnsTheAttributes) {
    ASSERT_EQ(PlugMouse(), STATUS_SUCCESS);
    auto ports = mouseClass->Ports();
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].connectStatus, STATUS_SUCCESS);
    EXPECT_EQ(ports[0].attributesStatus, STATUS_SUCCESS);
    EXPECT_EQ(ports[0].attributes.MouseIdentifier, 0x0028);
    EXPECT_EQ(ports[0].attributes.NumberOfButtons, 0);
    EXPECT_EQ(ports[0].attributes.SampleRate, 0);
    EXPECT_EQ(ports[0].attributes.InputDataQueueLength, 0u);
    EXPECT_EQ(Mouse()->ConnectData.ClassDeviceObject, Top());
}

TEST_F(ClassRequestTest, FirstConnectionStaysWhateverFollows) {
    ASSERT_EQ(PlugMouse(), STATUS_SUCCESS);
    const CONNECT_DATA first = Mouse()->ConnectData;
    EXPECT_EQ(Connect(reinterpret_cast<PVOID>(&OtherService)).status, STATUS_SHARING_VIOLATION);
    EXPECT_EQ(SendInternal(MouseDevice(), IOCTL_INTERNAL_MOUSE_DISCONNECT, nullptr, 0).status,
              STATUS_NOT_IMPLEMENTED);
    EXPECT_EQ(SendInternal(MouseDevice(), IOCTL_INTERNAL_MOUSE_ENABLE, nullptr, 0).status,
              STATUS_NOT_SUPPORTED);
    EXPECT_EQ(SendInternal(MouseDevice(), IOCTL_INTERNAL_MOUSE_DISABLE, nullptr, 0).status,
              STATUS_NOT_SUPPORTED);
    EXPECT_EQ(SendInternal(MouseDevice(), IOCTL_TOUCH_READ_POINT, nullptr, 0).status,
              STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(Mouse()->ConnectData.ClassDeviceObject, first.ClassDeviceObject);
    EXPECT_EQ(Mouse()->ConnectData.ClassService, first.ClassService);
}

// 8 bytes on 32-bit Windows; on a 64-bit build the pointers make it 16.
TEST_F(ClassRequestTest, ConnectNeedsAWholeConnectData) {
    gMouseClass = nullptr;
    ASSERT_EQ(PlugMouse(), STATUS_SUCCESS);
    PVOID service = reinterpret_cast<PVOID>(&OtherService);
    EXPECT_EQ(Connect(service, 7).status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Connect(service, sizeof(CONNECT_DATA) - 1).status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Mouse()->ConnectData.ClassService, nullptr);
    EXPECT_EQ(Connect(service).status, STATUS_SUCCESS);
    EXPECT_EQ(Mouse()->ConnectData.ClassDeviceObject, rootPdo);
    EXPECT_EQ(Mouse()->ConnectData.ClassService, service);
}

TEST_F(ClassRequestTest, AttributesNeedTwelveBytes) {
    ASSERT_EQ(PlugMouse(), STATUS_SUCCESS);
    UCHAR bytes[16];
    std::memset(bytes, 0xCC, sizeof bytes);
    Answer small = SendInternal(MouseDevice(), IOCTL_MOUSE_QUERY_ATTRIBUTES, nullptr, 0, bytes, 11);
    EXPECT_EQ(small.status, STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(small.information, 0u);
    EXPECT_EQ(bytes[0], 0xCC);

    Answer exact = SendInternal(MouseDevice(), IOCTL_MOUSE_QUERY_ATTRIBUTES, nullptr, 0, bytes, 12);
    EXPECT_EQ(exact.status, STATUS_SUCCESS);
    EXPECT_EQ(exact.information, 12u);
    const UCHAR expected[12] = {0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes, expected, 12), 0);
}

TEST_F(ClassRequestTest, EveryIdentifierQueryGetsTheSameOneEntryList) {
    ASSERT_EQ(PlugMouse(), STATUS_SUCCESS);
    const char16_t expected[18] = u"root\\TouchScreen"; // and the list's closing NUL
    for (BUS_QUERY_ID_TYPE type :
         {BusQueryDeviceID, BusQueryHardwareIDs, BusQueryCompatibleIDs, BusQueryInstanceID}) {
        Answer answer = SendPnp(Top(), IRP_MN_QUERY_ID, 0, type);
        ASSERT_EQ(answer.status, STATUS_SUCCESS) << type;
        auto* ids = reinterpret_cast<char16_t*>(answer.information);
        ASSERT_NE(ids, nullptr);
        // The answer, and the link's notification context.
        EXPECT_EQ(kernel.OutstandingPoolBlocks(MOUSE_POOL_TAG), 2u);
        EXPECT_EQ(std::memcmp(ids, expected, sizeof expected), 0) << type;
        ExFreePool(ids);
    }
    EXPECT_EQ(root.Count("pnp 13"), 0u);
}

TEST_F(ClassRequestTest, IdentifierQueryFailsWhenAnAnswerIsThereOrNoPool) {
    ASSERT_EQ(PlugMouse(), STATUS_SUCCESS);
    ULONG_PTR earlier = 0x1234;
    Answer answered = SendPnp(Top(), IRP_MN_QUERY_ID, earlier, BusQueryHardwareIDs);
    EXPECT_EQ(answered.status, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(answered.information, earlier);

    kernel.SetAllocationFilter([](const platform::kernel::AllocationRequest& request) {
        return request.kind == platform::kernel::AllocationRequest::Kind::Pool &&
               request.tag == MOUSE_POOL_TAG;
    });
    EXPECT_EQ(SendPnp(Top(), IRP_MN_QUERY_ID).status, STATUS_INSUFFICIENT_RESOURCES);
    kernel.SetAllocationFilter(nullptr);

    Answer later = SendPnp(Top(), IRP_MN_QUERY_ID);
    EXPECT_EQ(later.status, STATUS_SUCCESS);
    ExFreePool(reinterpret_cast<PVOID>(later.information));
}

} // namespace
} // namespace mouse_testing
