#include "tests/soak/event.h"

#include <array>
#include <cstdio>
#include <sstream>

namespace soak {
namespace {

constexpr std::array<const char*, kEventKinds> kNames = {
    "report",   "touch",  "ctl-open", "ctl-close",    "ctl-command", "ctl-getpoint",
    "settings", "broken", "wait",     "fault",        "standby",     "resume",
    "unplug",   "plug",   "flap",     "low-resources"};

// How often each kind comes, per 1000 events: mostly reports, as on a real
// machine, with every fault often enough to meet every state.
constexpr std::array<uint16_t, kEventKinds> kWeights = {480, 112, 15, 25, 60, 50, 15, 15,
                                                        60,  30,  4,  50, 14, 40, 15, 15};

} // namespace

std::string EventText(const Event& event) {
    char text[96];
    std::snprintf(text, sizeof text, "%s %u %u %u %u", kNames[static_cast<size_t>(event.kind)],
                  unsigned{event.a}, unsigned{event.b}, unsigned{event.c}, unsigned{event.d});
    return text;
}

std::optional<Event> ParseEvent(const std::string& text) {
    std::istringstream in(text);
    std::string name;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!(in >> name >> a >> b >> c >> d) || a > 0xFFFF || b > 0xFFFF || c > 0xFFFF || d > 0xFFFF)
        return std::nullopt;
    for (size_t i = 0; i < kNames.size(); ++i) {
        if (name == kNames[i])
            return Event{static_cast<EventKind>(i), static_cast<uint16_t>(a),
                         static_cast<uint16_t>(b), static_cast<uint16_t>(c),
                         static_cast<uint16_t>(d)};
    }
    return std::nullopt;
}

// Mostly inside the tables, with their edges and the whole 16-bit range.
uint16_t EventSource::Coordinate() {
    static constexpr uint16_t kEdges[] = {0, 1, 4998, 4999, 5000, 5001, 32767, 65535};
    switch (Below(16)) {
    case 0:
        return kEdges[Below(8)];
    case 1:
        return static_cast<uint16_t>(Below(65536));
    default:
        return static_cast<uint16_t>(Below(5000));
    }
}

Event EventSource::Next() {
    uint32_t pick = Below(1000);
    size_t kind = 0;
    while (pick >= kWeights[kind])
        pick -= kWeights[kind++];
    Event event{static_cast<EventKind>(kind)};
    switch (event.kind) {
    case EventKind::Report: {
        static constexpr uint8_t kPhases[] = {0x81, 0x82, 0x82, 0x84};
        event.a = Below(16) == 0 ? static_cast<uint16_t>(Below(256)) : kPhases[Below(4)];
        event.b = Coordinate();
        event.c = Coordinate();
        break;
    }
    case EventKind::Touch:
        event.a = Coordinate();
        event.b = Coordinate();
        event.c = static_cast<uint16_t>(Below(6));
        event.d = static_cast<uint16_t>(32768 + static_cast<int>(Below(201)) - 100);
        break;
    case EventKind::CtlCommand: {
        static constexpr uint8_t kCommands[] = {4, 5, 5, 6, 6, 9};
        event.a = Below(8) == 0 ? static_cast<uint16_t>(Below(256)) : kCommands[Below(6)];
        break;
    }
    case EventKind::Settings: {
        static constexpr uint16_t kModes[] = {1, 2, 3, 0, 7};
        static constexpr uint16_t kSliders[] = {0, 0, 1, 5, 40};
        event.a = kModes[Below(5)];
        event.b = kSliders[Below(5)];
        event.c = Below(4) == 0 ? static_cast<uint16_t>(Below(5000)) : 5000;
        break;
    }
    case EventKind::BrokenValue:
        event.a = static_cast<uint16_t>(Below(static_cast<uint32_t>(BrokenSetting::Count)));
        break;
    case EventKind::Wait:
        event.a = Below(10) == 0 ? 1500 : static_cast<uint16_t>(Below(300));
        break;
    case EventKind::Fault:
        event.a = static_cast<uint16_t>(Below(6));
        // Two failed starts leave a device that never starts again until it
        // is plugged in anew: one stalled start at a time keeps it alive.
        event.b = event.a == 3 ? 1 : static_cast<uint16_t>(1 + Below(3));
        break;
    case EventKind::LowResources:
        event.a = static_cast<uint16_t>(Below(6));
        event.b = static_cast<uint16_t>(1 + Below(3));
        break;
    default:
        break;
    }
    return event;
}

} // namespace soak
