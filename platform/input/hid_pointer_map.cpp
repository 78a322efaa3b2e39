#include "platform/input/hid_pointer_map.h"

#include <algorithm>

namespace platform::input::hid {

namespace {

// The element carrying usage among the report's variable, non-constant fields.
ElementRef FindUsage(const InputReport& report, uint32_t usage) {
    for (const InputField& field : report.fields) {
        if (field.constant || !field.variable)
            continue;
        for (uint32_t i = 0; i < field.usages.size(); ++i)
            if (field.usages[i] == usage)
                return {&field, i};
    }
    return {};
}

} // namespace

std::optional<PointerMap> FindPointer(const ReportLayout& layout, std::string* reason) {
    for (const InputReport& report : layout.inputs) {
        PointerMap map;
        map.x = FindUsage(report, Usage(kGenericDesktopPage, kUsageX));
        map.y = FindUsage(report, Usage(kGenericDesktopPage, kUsageY));
        if (map.x.field == nullptr || map.y.field == nullptr)
            continue;
        map.reportId = report.id;
        map.reportLength = report.Length();
        for (uint16_t button = 1; button <= 3; ++button)
            map.buttons[button - 1] = FindUsage(report, Usage(kButtonPage, button));
        return map;
    }
    if (reason != nullptr)
        *reason = "no input report with X and Y usages";
    return std::nullopt;
}

LONG ScaleToAbsolute(int64_t value, int32_t minimum, int32_t maximum) {
    if (maximum <= minimum)
        return 0;
    const int64_t clamped = std::clamp<int64_t>(value, minimum, maximum);
    return static_cast<LONG>((clamped - minimum) * 65535 / (int64_t{maximum} - minimum));
}

bool ReportToPacket(const PointerMap& map, const uint8_t* report, size_t length, UCHAR& buttons,
                    MOUSE_INPUT_DATA& packet) {
    if (length < map.reportLength || (map.reportId != 0 && report[0] != map.reportId))
        return false;
    const uint8_t* data = map.reportId != 0 ? report + 1 : report;
    const size_t dataLength = map.reportId != 0 ? length - 1 : length;
    auto read = [&](const ElementRef& ref) {
        return ReadElement(data, dataLength, *ref.field, ref.index);
    };

    packet = MOUSE_INPUT_DATA{};
    const InputField& xField = *map.x.field;
    const InputField& yField = *map.y.field;
    if (xField.relative) {
        packet.LastX = static_cast<LONG>(read(map.x));
        packet.LastY = static_cast<LONG>(read(map.y));
    } else {
        packet.Flags = MOUSE_MOVE_ABSOLUTE;
        packet.LastX = ScaleToAbsolute(read(map.x), xField.logicalMinimum, xField.logicalMaximum);
        packet.LastY = ScaleToAbsolute(read(map.y), yField.logicalMinimum, yField.logicalMaximum);
    }

    static constexpr USHORT kDown[3] = {MOUSE_LEFT_BUTTON_DOWN, MOUSE_RIGHT_BUTTON_DOWN,
                                        MOUSE_MIDDLE_BUTTON_DOWN};
    static constexpr USHORT kUp[3] = {MOUSE_LEFT_BUTTON_UP, MOUSE_RIGHT_BUTTON_UP,
                                      MOUSE_MIDDLE_BUTTON_UP};
    UCHAR now = 0;
    for (int b = 0; b < 3; ++b)
        if (map.buttons[b].field != nullptr && read(map.buttons[b]) != 0)
            now |= static_cast<UCHAR>(1 << b);
    for (int b = 0; b < 3; ++b) {
        const UCHAR bit = static_cast<UCHAR>(1 << b);
        if ((now ^ buttons) & bit)
            packet.ButtonFlags |= (now & bit) ? kDown[b] : kUp[b];
    }
    packet.RawButtons = now;
    buttons = now;
    return true;
}

} // namespace platform::input::hid
