#include "platform/usb/usbdi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

// config (2 interfaces): interface 0 with one endpoint, a class descriptor,
// interface 1 alt 0 and alt 1 with two endpoints each.
std::vector<uint8_t> SampleConfiguration() {
    std::vector<uint8_t> d = {
        9, 2,    0,    0, 2,  1,    0,    0x80, 50, // configuration
        9, 4,    0,    0, 1,  3,    1,    2,    0,  // interface 0: class 3/1/2
        9, 0x21, 0x10, 1, 0,  1,    0x22, 40,   0,  // class-specific descriptor
        7, 5,    0x81, 3, 8,  0,    10,             // endpoint 0x81 interrupt
        9, 4,    1,    0, 2,  0xFF, 0,    0,    0,  // interface 1 alt 0
        7, 5,    0x82, 2, 64, 0,    0,              // endpoint 0x82 bulk
        7, 5,    0x02, 2, 64, 0,    0,              // endpoint 0x02 bulk
        9, 4,    1,    1, 2,  0xFF, 1,    0,    0,  // interface 1 alt 1
        7, 5,    0x83, 3, 16, 0,    1,              // endpoint 0x83 interrupt
        7, 5,    0x03, 3, 16, 0,    1,              // endpoint 0x03 interrupt
    };
    d[2] = static_cast<uint8_t>(d.size());
    return d;
}

PUSB_COMMON_DESCRIPTOR Parse(std::vector<uint8_t>& d, size_t start, LONG type) {
    return USBD_ParseDescriptors(d.data(), static_cast<ULONG>(d.size()), d.data() + start, type);
}

size_t OffsetOf(const std::vector<uint8_t>& d, const void* p) {
    return static_cast<const uint8_t*>(p) - d.data();
}

TEST(UsbdParseDescriptors, FindsEachTypeFromTheStartPosition) {
    auto d = SampleConfiguration();
    EXPECT_EQ(OffsetOf(d, Parse(d, 0, USB_CONFIGURATION_DESCRIPTOR_TYPE)), 0u);
    EXPECT_EQ(OffsetOf(d, Parse(d, 0, USB_INTERFACE_DESCRIPTOR_TYPE)), 9u);
    EXPECT_EQ(OffsetOf(d, Parse(d, 0, USB_ENDPOINT_DESCRIPTOR_TYPE)), 27u);
    EXPECT_EQ(OffsetOf(d, Parse(d, 0, 0x21)), 18u);
    EXPECT_EQ(OffsetOf(d, Parse(d, 18, USB_INTERFACE_DESCRIPTOR_TYPE)), 34u);
    EXPECT_EQ(OffsetOf(d, Parse(d, 34, USB_INTERFACE_DESCRIPTOR_TYPE)), 34u);
    EXPECT_EQ(Parse(d, 0, USB_DEVICE_DESCRIPTOR_TYPE), nullptr);
    EXPECT_EQ(Parse(d, 57, USB_CONFIGURATION_DESCRIPTOR_TYPE), nullptr);
}

TEST(UsbdParseDescriptors, RejectsAStartOutsideTheBuffer) {
    auto d = SampleConfiguration();
    EXPECT_EQ(Parse(d, d.size(), USB_ENDPOINT_DESCRIPTOR_TYPE), nullptr);
    EXPECT_EQ(USBD_ParseDescriptors(d.data() + 9, 20, d.data(), USB_INTERFACE_DESCRIPTOR_TYPE),
              nullptr);
    EXPECT_EQ(USBD_ParseDescriptors(nullptr, 20, d.data(), USB_INTERFACE_DESCRIPTOR_TYPE), nullptr);
}

TEST(UsbdParseDescriptors, StopsAtMalformedLengths) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"zero bLength before the interface", {0, 2, 9, 4, 0, 0, 1, 3, 0, 0, 0}},
        {"bLength 1 before the interface", {1, 2, 9, 4, 0, 0, 1, 3, 0, 0, 0}},
        {"bLength beyond the buffer", {9, 4, 0, 0, 1, 3, 0, 0}},
        {"interface shorter than its structure", {2, 4, 7, 5, 0x81, 3, 8, 0, 10}},
        {"one byte left", {9}},
    };
    for (const Case& c : cases) {
        auto bytes = c.bytes;
        EXPECT_EQ(Parse(bytes, 0, USB_INTERFACE_DESCRIPTOR_TYPE), nullptr) << c.what;
    }
    // A short interface descriptor is skipped, not a reason to stop.
    std::vector<uint8_t> shortThenGood = {2, 4, 9, 4, 1, 0, 1, 3, 0, 0, 0};
    EXPECT_EQ(OffsetOf(shortThenGood, Parse(shortThenGood, 0, USB_INTERFACE_DESCRIPTOR_TYPE)), 2u);
}

TEST(UsbdParseConfigurationDescriptorEx, MatchesFieldsWithWildcards) {
    auto d = SampleConfiguration();
    auto* config = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(d.data());
    struct Case {
        LONG number, alternate, cls, subClass, protocol;
        long expected; // offset, -1 for none
    };
    const Case cases[] = {
        {-1, -1, -1, -1, -1, 9}, {0, 0, -1, -1, -1, 9},     {1, -1, -1, -1, -1, 34},
        {1, 1, -1, -1, -1, 57},  {-1, -1, 0xFF, 1, -1, 57}, {-1, -1, 3, 1, 2, 9},
        {-1, -1, 3, 1, 1, -1},   {2, -1, -1, -1, -1, -1},   {0, 1, -1, -1, -1, -1},
    };
    for (const Case& c : cases) {
        auto* found = USBD_ParseConfigurationDescriptorEx(config, config, c.number, c.alternate,
                                                          c.cls, c.subClass, c.protocol);
        if (c.expected < 0)
            EXPECT_EQ(found, nullptr) << c.number << "/" << c.alternate;
        else
            EXPECT_EQ(static_cast<long>(OffsetOf(d, found)), c.expected)
                << c.number << "/" << c.alternate;
    }
    // The walk starts where the caller says.
    EXPECT_EQ(
        OffsetOf(d, USBD_ParseConfigurationDescriptorEx(config, d.data() + 18, -1, -1, -1, -1, -1)),
        34u);
}

TEST(UsbdParseConfigurationDescriptorEx, StaysInsideWTotalLength) {
    auto d = SampleConfiguration();
    d[2] = 30; // cuts interface 1 and everything after it off
    auto* config = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(d.data());
    EXPECT_EQ(USBD_ParseConfigurationDescriptorEx(config, config, 1, -1, -1, -1, -1), nullptr);
}

// Any bytes a device may send: every descriptor returned lies wholly inside
// the buffer and is at least as long as its structure. The buffer is an
// exact-size heap block so that AddressSanitizer sees every overread.
TEST(UsbdParseDescriptors, GarbageNeverLeadsOutsideTheBuffer) {
    std::mt19937 random(20240607);
    const LONG types[] = {USB_DEVICE_DESCRIPTOR_TYPE, USB_CONFIGURATION_DESCRIPTOR_TYPE,
                          USB_INTERFACE_DESCRIPTOR_TYPE, USB_ENDPOINT_DESCRIPTOR_TYPE, 0x21};
    const size_t minimum[] = {18, 9, 9, 7, 2};
    for (int round = 0; round < 20000; ++round) {
        const size_t size = random() % 64;
        auto buffer = std::make_unique<uint8_t[]>(size + (size == 0));
        for (size_t i = 0; i < size; ++i) {
            // Bias toward plausible lengths and types so walks go deep.
            const uint32_t r = random();
            buffer[i] = (r & 3) == 0 ? static_cast<uint8_t>(r >> 8) : static_cast<uint8_t>(r % 10);
        }
        if (size >= 4 && (round & 1)) {
            buffer[0] = 9;
            buffer[1] = USB_CONFIGURATION_DESCRIPTOR_TYPE;
            buffer[2] = static_cast<uint8_t>(size);
            buffer[3] = 0;
        }
        for (size_t t = 0; t < std::size(types); ++t) {
            const size_t start = size == 0 ? 0 : random() % size;
            auto* found = USBD_ParseDescriptors(buffer.get(), static_cast<ULONG>(size),
                                                buffer.get() + start, types[t]);
            if (found == nullptr)
                continue;
            const size_t offset = reinterpret_cast<uint8_t*>(found) - buffer.get();
            ASSERT_GE(offset, start);
            ASSERT_LE(offset + found->bLength, size);
            ASSERT_GE(found->bLength, minimum[t]);
            ASSERT_EQ(found->bDescriptorType, types[t]);
        }
        if (size >= sizeof(USB_CONFIGURATION_DESCRIPTOR) && buffer[2] <= size && buffer[3] == 0) {
            auto* config = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(buffer.get());
            auto* found = USBD_ParseConfigurationDescriptorEx(config, config, -1, -1, -1, -1, -1);
            if (found != nullptr) {
                ASSERT_LE(reinterpret_cast<uint8_t*>(found) + found->bLength,
                          buffer.get() + config->wTotalLength);
            }
        }
    }
}

} // namespace
