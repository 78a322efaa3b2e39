// A HID report-descriptor parser: short and long items; main, global and
// local items with the global stack (push, pop); usage pages, extended
// usages and usage ranges; collections; report size, count and identifiers;
// logical minimum and maximum; constant padding. It yields the layout of
// every input report: where each field lies and what its elements mean.
// Output and feature items are checked and skipped.
//
// A logical maximum is read as unsigned when the logical minimum in effect
// is not negative (so "16 01 00 26 FF FF" is 1..65535), as the common HID
// parsers do; otherwise both are signed.
//
// Anything malformed fails the whole parse with a reason: an item running
// past the end, a reserved item type or tag, an End Collection without a
// Collection, a collection left open, a pop without a push, a main item
// without a report size or count, report identifier 0, reports with and
// without identifiers mixed, a report longer than 4096 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::input::hid {

inline constexpr uint16_t kGenericDesktopPage = 0x01;
inline constexpr uint16_t kButtonPage = 0x09;
inline constexpr uint16_t kUsageX = 0x30;
inline constexpr uint16_t kUsageY = 0x31;

// Usage page in the high 16 bits, usage in the low.
inline constexpr uint32_t Usage(uint16_t page, uint16_t id) {
    return (uint32_t{page} << 16) | id;
}

// One input main item: count elements of size bits each, back to back.
struct InputField {
    uint32_t bitOffset = 0; // from the start of the report data, after the ID byte
    uint32_t bitSize = 0;
    uint32_t count = 0;
    bool constant = false;
    bool variable = false;
    bool relative = false;
    int32_t logicalMinimum = 0;
    int32_t logicalMaximum = 0;
    // Variable fields: the usage of each element (the last one repeats when
    // fewer were declared; none for padding). Array fields: the usages the
    // element values index, from logicalMinimum on.
    std::vector<uint32_t> usages;

    bool Signed() const { return logicalMinimum < 0; }
};

struct InputReport {
    uint8_t id = 0; // 0: the device uses no report identifiers
    uint32_t bits = 0;
    std::vector<InputField> fields;

    // Bytes on the wire, with the identifier byte when there is one.
    size_t Length() const { return (bits + 7) / 8 + (id != 0 ? 1 : 0); }
};

struct ReportLayout {
    std::vector<InputReport> inputs;
    int collections = 0; // how many were opened

    const InputReport* Find(uint8_t id) const;
    size_t MaxInputLength() const;
};

struct ParseResult {
    std::optional<ReportLayout> layout; // empty when the descriptor is malformed
    std::string error;                  // why, with the byte offset of the item
};

ParseResult ParseReportDescriptor(const uint8_t* data, size_t length);

// The element at index of field in report data (after the ID byte), sign-
// extended when the field's logical minimum is negative. Bits past the end
// of data read as 0.
int64_t ReadElement(const uint8_t* data, size_t length, const InputField& field, uint32_t index);

} // namespace platform::input::hid
