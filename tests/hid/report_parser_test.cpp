// The HID class's report-descriptor parser and pointer mapping, on the
// bridge's two descriptors and on hand-made ones.
#include "drivers/hid/pelmo98.h"
#include "platform/input/hid_pointer_map.h"

#include <gtest/gtest.h>

namespace hid_testing {
namespace {

using namespace platform::input::hid;
using Bytes = std::vector<uint8_t>;

ParseResult Parse(const Bytes& bytes) {
    return ParseReportDescriptor(bytes.data(), bytes.size());
}

Bytes BridgeDescriptor(ULONG usbdiVersion) {
    Bytes bytes(BRIDGE_REPORT_DESCRIPTOR_LENGTH);
    CopyReportDescriptor(usbdiVersion, bytes.data());
    return bytes;
}

TEST(ReportParserTest, BridgeDescriptorsGiveButtonsPaddingAndXY) {
    for (auto [version, maximum] : {std::pair<ULONG, int32_t>{0x200, 0xFFFF}, {0x300, 0x7FFF}}) {
        ParseResult parsed = Parse(BridgeDescriptor(version));
        ASSERT_TRUE(parsed.layout) << parsed.error;
        ASSERT_EQ(parsed.layout->inputs.size(), 1u);
        const InputReport& report = parsed.layout->inputs[0];
        EXPECT_EQ(report.id, 0);
        EXPECT_EQ(report.Length(), 5u);
        EXPECT_EQ(parsed.layout->collections, 2);
        ASSERT_EQ(report.fields.size(), 3u);
        const InputField& buttons = report.fields[0];
        EXPECT_EQ(buttons.bitOffset, 0u);
        EXPECT_EQ(buttons.bitSize, 1u);
        EXPECT_EQ(buttons.usages, (std::vector<uint32_t>{Usage(9, 1), Usage(9, 2), Usage(9, 3)}));
        EXPECT_TRUE(report.fields[1].constant);
        EXPECT_EQ(report.fields[1].bitOffset, 3u);
        EXPECT_EQ(report.fields[1].bitSize, 5u);
        const InputField& xy = report.fields[2];
        EXPECT_EQ(xy.bitOffset, 8u);
        EXPECT_EQ(xy.bitSize, 16u);
        EXPECT_EQ(xy.count, 2u);
        EXPECT_EQ(xy.logicalMinimum, 1);
        EXPECT_EQ(xy.logicalMaximum, maximum);
        EXPECT_FALSE(xy.relative);
        EXPECT_EQ(xy.usages, (std::vector<uint32_t>{Usage(1, 0x30), Usage(1, 0x31)}));
    }
}

TEST(ReportParserTest, BridgeReportBecomesAnAbsolutePacket) {
    ParseResult parsed = Parse(BridgeDescriptor(0x200));
    std::string reason;
    auto map = FindPointer(*parsed.layout, &reason);
    ASSERT_TRUE(map) << reason;
    UCHAR buttons = 0;
    MOUSE_INPUT_DATA packet;
    const Bytes press{0x01, 0xA0, 0x0F, 0xFF, 0xFF};
    ASSERT_TRUE(ReportToPacket(*map, press.data(), press.size(), buttons, packet));
    EXPECT_EQ(packet.Flags, MOUSE_MOVE_ABSOLUTE);
    EXPECT_EQ(packet.LastX, 3999); // (4000 - 1) * 65535 / 65534, rounded down
    EXPECT_EQ(packet.LastY, 65535);
    EXPECT_EQ(packet.ButtonFlags, MOUSE_LEFT_BUTTON_DOWN);
    const Bytes release{0x06, 0x00, 0x00, 0x01, 0x00}; // X 0 is below the range
    ASSERT_TRUE(ReportToPacket(*map, release.data(), release.size(), buttons, packet));
    EXPECT_EQ(packet.LastX, 0);
    EXPECT_EQ(packet.LastY, 0);
    EXPECT_EQ(packet.ButtonFlags,
              MOUSE_LEFT_BUTTON_UP | MOUSE_RIGHT_BUTTON_DOWN | MOUSE_MIDDLE_BUTTON_DOWN);
    EXPECT_FALSE(ReportToPacket(*map, release.data(), 4, buttons, packet));
}

TEST(ReportParserTest, SecondVariantScalesOverItsHalfRange) {
    ParseResult parsed = Parse(BridgeDescriptor(0x300));
    auto map = FindPointer(*parsed.layout, nullptr);
    UCHAR buttons = 0;
    MOUSE_INPUT_DATA packet;
    const Bytes report{0x00, 0xFF, 0x7F, 0x00, 0x40};
    ASSERT_TRUE(ReportToPacket(*map, report.data(), report.size(), buttons, packet));
    EXPECT_EQ(packet.LastX, 65535);
    EXPECT_EQ(packet.LastY, 32767); // 0x4000 - 1 = half of 0x7FFE
}

// Two reports with identifiers; a relative mouse in a nested collection
// with its global state pushed and popped around a signed range; an
// extended usage; a long item.
const Bytes kTwoReports{0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, //
                        0x85, 0x07,                         // Report ID 7: a consumer byte
                        0x06, 0x0C, 0x00, 0x0A, 0xE9, 0x00, 0x15, 0x00, 0x25, 0x01, 0x75, 0x08,
                        0x95, 0x01, 0x81, 0x02, 0x85, 0x02, // Report ID 2: the pointer
                        0xA1, 0x00,                         //   Collection (Physical)
                        0x05, 0x09, 0x19, 0x01, 0x29, 0x02, 0x95, 0x02, 0x75, 0x01, 0x81, 0x02, //
                        0x95, 0x06, 0x81, 0x03,       //   padding
                        0xA4,                         //   Push
                        0x0B, 0x30, 0x00, 0x01, 0x00, //   Usage (Generic Desktop X), four bytes
                        0x0B, 0x31, 0x00, 0x01, 0x00, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95,
                        0x02, 0x81, 0x06,             // relative
                        0xB4,                         //   Pop
                        0xFE, 0x02, 0x10, 0xAA, 0xBB, //   a long item, skipped
                        0xC0, 0xC0};

TEST(ReportParserTest, ReportIdsNestedCollectionsAndTheGlobalStack) {
    ParseResult parsed = Parse(kTwoReports);
    ASSERT_TRUE(parsed.layout) << parsed.error;
    ASSERT_EQ(parsed.layout->inputs.size(), 2u);
    EXPECT_EQ(parsed.layout->MaxInputLength(), 4u);
    const InputReport* pointer = parsed.layout->Find(2);
    ASSERT_NE(pointer, nullptr);
    EXPECT_EQ(pointer->Length(), 4u);
    EXPECT_EQ(parsed.layout->Find(7)->Length(), 2u);
    EXPECT_EQ(parsed.layout->Find(7)->fields[0].usages, (std::vector<uint32_t>{Usage(0x0C, 0xE9)}));
    const InputField& xy = pointer->fields[2];
    EXPECT_EQ(xy.usages, (std::vector<uint32_t>{Usage(1, 0x30), Usage(1, 0x31)}));
    EXPECT_EQ(xy.logicalMinimum, -127);
    EXPECT_TRUE(xy.relative);

    auto map = FindPointer(*parsed.layout, nullptr);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->reportId, 2);
    EXPECT_EQ(map->buttons[2].field, nullptr);
    UCHAR buttons = 0;
    MOUSE_INPUT_DATA packet;
    const Bytes moved{0x02, 0x02, 0xFB, 0x03};
    ASSERT_TRUE(ReportToPacket(*map, moved.data(), moved.size(), buttons, packet));
    EXPECT_EQ(packet.Flags, MOUSE_MOVE_RELATIVE);
    EXPECT_EQ(packet.LastX, -5);
    EXPECT_EQ(packet.LastY, 3);
    EXPECT_EQ(packet.ButtonFlags, MOUSE_RIGHT_BUTTON_DOWN);
    const Bytes other{0x07, 0x01};
    EXPECT_FALSE(ReportToPacket(*map, other.data(), other.size(), buttons, packet));
}

TEST(ReportParserTest, MalformedDescriptorsFailWithAReason) {
    const Bytes bridge = BridgeDescriptor(0x200);
    struct Case {
        const char* name;
        Bytes bytes;
        const char* error;
    };
    const Case cases[] = {
        {"empty", {}, "empty report descriptor"},
        {"cut in an item", Bytes(bridge.begin(), bridge.begin() + 43),
         "item runs past the end at offset 41"},
        {"cut before the ends", Bytes(bridge.begin(), bridge.end() - 1),
         "a collection is left open at the end"},
        {"end without collection", {0xC0}, "End Collection without Collection at offset 0"},
        {"pop without push", {0xB4}, "pop without push at offset 0"},
        {"reserved type", {0x0C}, "reserved item type at offset 0"},
        {"reserved main tag", {0xD0}, "reserved main item tag at offset 0"},
        {"report id 0", {0x85, 0x00}, "report ID 0 out of 1..255 at offset 0"},
        {"no size",
         {0x95, 0x01, 0x81, 0x02},
         "main item without report size and count at offset 2"},
        {"mixed ids",
         {0x75, 0x08, 0x95, 0x01, 0x81, 0x01, 0x85, 0x01, 0x81, 0x01},
         "reports with and without report IDs at offset 8"},
        {"half a range",
         {0x19, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02},
         "usage range with only one end at offset 6"},
        {"long item cut", {0xFE, 0x05, 0x10, 0x00}, "long item runs past the end at offset 0"},
        {"too long",
         {0x75, 0xFF, 0x96, 0xFF, 0x00, 0x81, 0x01},
         "report longer than 4096 bytes at offset 5"},
    };
    for (const Case& c : cases) {
        ParseResult parsed = Parse(c.bytes);
        EXPECT_FALSE(parsed.layout) << c.name;
        EXPECT_EQ(parsed.error, c.error) << c.name;
    }
}

TEST(ReportParserTest, AKeyboardHasNoPointer) {
    const Bytes keyboard{0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,
                         0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0xC0};
    ParseResult parsed = Parse(keyboard);
    ASSERT_TRUE(parsed.layout) << parsed.error;
    std::string reason;
    EXPECT_FALSE(FindPointer(*parsed.layout, &reason));
    EXPECT_EQ(reason, "no input report with X and Y usages");
}

TEST(ReportParserTest, ElementsReadLittleEndianAcrossBytesAndSignExtend) {
    InputField field;
    field.bitOffset = 4;
    field.bitSize = 12;
    field.count = 2;
    const Bytes data{0x50, 0x34, 0x12, 0xF8};
    EXPECT_EQ(ReadElement(data.data(), data.size(), field, 0), 0x345);
    EXPECT_EQ(ReadElement(data.data(), data.size(), field, 1), 0x812);
    field.logicalMinimum = -2048;
    EXPECT_EQ(ReadElement(data.data(), data.size(), field, 0), 0x345);
    EXPECT_EQ(ReadElement(data.data(), data.size(), field, 1), 0x812 - 0x1000);
    EXPECT_EQ(ReadElement(data.data(), 2, field, 1), 0); // past the end
}

} // namespace
} // namespace hid_testing
