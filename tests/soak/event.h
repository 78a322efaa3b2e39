// One step of the soak's random walk over a machine, and its text form
// ("report 129 100 4000 0"), which a finding prints and a regression test
// replays. Every event is meaningful in every machine state: one that does
// not apply (a report with the screen out) is skipped, so any subset of a
// list still replays.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace soak {

enum class EventKind : uint8_t {
    Report,       // a: status, b: raw x, c: raw y
    Touch,        // a: x, b: y, c: hold reports, d: moved by (d - 32768) on both axes
    CtlOpen,      //
    CtlClose,     //
    CtlCommand,   // a: command byte
    CtlGetPoint,  //
    Settings,     // a: doneMode, b: moveSlider, c: table entries written (5000: whole)
    BrokenValue,  // a: which broken setting (BrokenSetting)
    Wait,         // a: milliseconds
    Fault,        // a: machine::ScreenFault, b: count
    Standby,      //
    Resume,       //
    Unplug,       //
    Plug,         //
    Flap,         // Plug and Play stop and start of the screen: its interface goes and returns
    LowResources, // during the next event a allocations go through, the b after them fail
};

inline constexpr int kEventKinds = 16;

enum class BrokenSetting : uint8_t {
    KeyMissing,     // the settings key deleted
    TableMissing,   // "YArray" deleted
    TableTooLong,   // "XArray" of 10002 bytes
    ModeAsDword,    // "doneMode" as REG_DWORD 2
    ModeNotANumber, // "doneMode" = "fast"
    SliderNegative, // "moveSlider" = "-3"
    SliderHuge,     // "moveSlider" = "99999999"
    SliderEmpty,    // "moveSlider" of no bytes
    BackupBroken,   // the driver's backup key with a table of no bytes
    Count
};

struct Event {
    EventKind kind = EventKind::Wait;
    uint16_t a = 0;
    uint16_t b = 0;
    uint16_t c = 0;
    uint16_t d = 0;
    bool operator==(const Event&) const = default;
};

std::string EventText(const Event& event);
std::optional<Event> ParseEvent(const std::string& text);

// Events drawn from a seeded generator; the same seed gives the same walk.
class EventSource {
public:
    explicit EventSource(uint64_t seed) : random_(seed) {}
    Event Next();

private:
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(random_() % bound); }
    uint16_t Coordinate();
    std::mt19937_64 random_;
};

} // namespace soak
