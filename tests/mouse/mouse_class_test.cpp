// The mouse class stand-in: how packets move the pointer, and how it checks
// the port that calls its service.
#include "tests/mouse/mouse_harness.h"

namespace mouse_testing {
namespace {

using platform::input::AbsoluteToPixel;
using platform::input::Pointer;
using platform::input::PointerEvent;

MOUSE_INPUT_DATA Packet(USHORT flags, USHORT buttons, LONG x, LONG y) {
    MOUSE_INPUT_DATA packet{};
    packet.Flags = flags;
    packet.ButtonFlags = buttons;
    packet.LastX = x;
    packet.LastY = y;
    return packet;
}

TEST(PointerTest, AbsoluteCoordinatesSpanTheScreen) {
    EXPECT_EQ(AbsoluteToPixel(0, 1024), 0);
    EXPECT_EQ(AbsoluteToPixel(4000, 1024), 62);
    EXPECT_EQ(AbsoluteToPixel(10800, 768), 126);
    EXPECT_EQ(AbsoluteToPixel(32768, 1024), 512);
    EXPECT_EQ(AbsoluteToPixel(65535, 1024), 1023);
    EXPECT_EQ(AbsoluteToPixel(65535, 800), 799);
    EXPECT_EQ(AbsoluteToPixel(-5, 1024), 0);
    EXPECT_EQ(AbsoluteToPixel(70000, 1024), 1023);
}

TEST(PointerTest, RelativeMovesStopAtTheEdges) {
    Pointer pointer(640, 480);
    EXPECT_EQ(pointer.State().x, 320);
    EXPECT_EQ(pointer.State().y, 240);
    pointer.Apply(Packet(MOUSE_MOVE_RELATIVE, 0, -1000, 10), 0);
    EXPECT_EQ(pointer.State().x, 0);
    EXPECT_EQ(pointer.State().y, 250);
    pointer.Apply(Packet(MOUSE_MOVE_RELATIVE, 0, 5000, 5000), 0);
    EXPECT_EQ(pointer.State().x, 639);
    EXPECT_EQ(pointer.State().y, 479);
}

TEST(PointerTest, MoveComesFirstThenEachButtonPressBeforeRelease) {
    Pointer pointer(1024, 768);
    auto events = pointer.Apply(
        Packet(MOUSE_MOVE_ABSOLUTE,
               MOUSE_LEFT_BUTTON_DOWN | MOUSE_LEFT_BUTTON_UP | MOUSE_RIGHT_BUTTON_DOWN, 0, 0),
        7);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, PointerEvent::Kind::Move);
    EXPECT_EQ(events[1].kind, PointerEvent::Kind::Down);
    EXPECT_EQ(events[1].button, platform::input::PointerButton::Left);
    EXPECT_EQ(events[2].kind, PointerEvent::Kind::Up);
    EXPECT_EQ(events[3].button, platform::input::PointerButton::Right);
    EXPECT_EQ(events[3].time, 7u);
    EXPECT_FALSE(pointer.State().left);
    EXPECT_TRUE(pointer.State().right);

    // Same place again: no move.
    EXPECT_TRUE(pointer.Apply(Packet(MOUSE_MOVE_ABSOLUTE, 0, 0, 0), 8).empty());
}

using MouseClassTest = MouseStackTest;

TEST_F(MouseClassTest, ServiceConsumesEveryPacketAtDispatchLevel) {
    ASSERT_EQ(PlugMouse(), STATUS_SUCCESS);
    auto service = reinterpret_cast<PSERVICE_CALLBACK_ROUTINE>(Mouse()->ConnectData.ClassService);
    MOUSE_INPUT_DATA packets[3] = {Packet(MOUSE_MOVE_ABSOLUTE, 0, 0, 0),
                                   Packet(MOUSE_MOVE_ABSOLUTE, MOUSE_LEFT_BUTTON_DOWN, 0, 0),
                                   Packet(MOUSE_MOVE_ABSOLUTE, MOUSE_LEFT_BUTTON_UP, 0, 0)};
    ULONG consumed = 0;
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    service(Mouse()->ConnectData.ClassDeviceObject, packets, packets + 3, &consumed);
    KeLowerIrql(old);
    EXPECT_EQ(consumed, 3u);
    EXPECT_EQ(mouseClass->Packets(), 3u);
    EXPECT_EQ(InputTrace().size(), 6u);

    ExpectViolation("irql-invalid");
    service(Mouse()->ConnectData.ClassDeviceObject, packets, packets + 1, &consumed);
    EXPECT_EQ(CountViolations("irql-invalid"), 1u);
}

TEST_F(MouseClassTest, TraceLinesCarryTheTimeOfTheKernelClock) {
    ASSERT_EQ(PlugMouse(), STATUS_SUCCESS);
    Advance(12);
    kernel.AdvanceTime(3456); // 12.345 ms in all, and a bit
    auto service = reinterpret_cast<PSERVICE_CALLBACK_ROUTINE>(Mouse()->ConnectData.ClassService);
    MOUSE_INPUT_DATA packet = Packet(MOUSE_MOVE_ABSOLUTE, 0, 65535, 0);
    ULONG consumed;
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    service(Mouse()->ConnectData.ClassDeviceObject, &packet, &packet + 1, &consumed);
    KeLowerIrql(old);
    EXPECT_EQ(RawTrace(),
              (std::vector<std::string>{
                  "12.345 mouse packet flags=0x0001 buttons=0x0000 raw=0x00 x=65535 y=0",
                  "12.345 pointer move x=1023 y=0"}));
}

} // namespace
} // namespace mouse_testing
