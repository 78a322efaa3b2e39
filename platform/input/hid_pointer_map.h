// Where a pointing device's X, Y and buttons 1 to 3 lie in its input reports,
// found by usage in a parsed layout, and the conversion of one report into a
// mouse packet: absolute X and Y scaled from their logical range to 0..65535
// (the scale of absolute mouse input), relative ones passed as counts, and
// the button transitions since the previous report.
#pragma once

#include "platform/input/hid_report_parser.h"
#include "platform/input/ntddmou.h"

#include <optional>
#include <string>

namespace platform::input::hid {

struct ElementRef {
    const InputField* field = nullptr; // points into the layout the map was made from
    uint32_t index = 0;
};

struct PointerMap {
    uint8_t reportId = 0;
    size_t reportLength = 0; // bytes, with the identifier byte
    ElementRef x;
    ElementRef y;
    ElementRef buttons[3]; // field null where the device lacks the button
};

// The first input report with variable X and Y usages of the generic
// desktop page. Empty, with the reason, when there is none.
std::optional<PointerMap> FindPointer(const ReportLayout& layout, std::string* reason);

// Absolute: value clamped to [minimum, maximum], then
// (value - minimum) * 65535 / (maximum - minimum).
LONG ScaleToAbsolute(int64_t value, int32_t minimum, int32_t maximum);

// One report as it came, the identifier byte included when the device uses
// them. False when it is not the pointer's report or is too short. buttons
// holds the previous button bits (bit 0 button 1) and is updated.
bool ReportToPacket(const PointerMap& map, const uint8_t* report, size_t length, UCHAR& buttons,
                    MOUSE_INPUT_DATA& packet);

} // namespace platform::input::hid
