// Where the pointer may go: only to a point some recent report of the screen
// can have become. It reads the machine's trace: "screen report" lines add
// candidates, "mouse packet" and "hid report" lines (what the input driver
// delivered) and "pointer move" lines are checked against them.
//
// A report at raw r can come out as the soak's tables give it (each axis
// possibly still 0, after a partial load; (0, 0) always passes), through the fallback rule
// (x*40, y*54), or raw (raw mode). The stability filter can put a later
// report at an earlier touch-down's position for up to its longest window,
// so touch-downs (and the anchor at raw 0, 0 that a device starts with)
// stay candidates that long; other reports while the
// screen's FIFO and the driver's queue can still hold them: any number
// waiting at the screen (a stopped reader takes none), and the newest few
// it handed on.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace soak {

struct OracleCounts {
    uint64_t reports = 0;      // screen reports seen
    uint64_t points = 0;       // delivered points checked
    uint64_t pointerMoves = 0; // pointer moves checked against the last packet
};

class PointOracle {
public:
    // mouseClass: 2000/XP (packets on the absolute scale, pointer checked);
    // else 98 (the HID class's reports).
    PointOracle(bool mouseClass, int screenWidth, int screenHeight);

    // One trace line at time now (100-ns units). Thread-safe.
    void Line(const std::string& line, uint64_t now);
    // After a step: reports the screen still holds or dropped (it drops
    // the oldest when full, so a report it handed on may be older than any
    // of those) stay candidates; of the rest, the newest few do.
    void Settle(size_t heldOrDroppedAtScreen, uint64_t now);
    // The first line that broke the rule, or empty.
    std::string Finding() const;
    OracleCounts Counts() const;

private:
    struct Raw {
        uint16_t x;
        uint16_t y;
        uint64_t time;
    };
    void Add(const Raw& raw, int delta);
    void CheckPoint(uint16_t x, uint16_t y, const std::string& line);
    void Fail(const std::string& why);

    const bool mouseClass_;
    const int width_;
    const int height_;
    mutable std::mutex mutex_;
    std::unordered_map<uint32_t, uint32_t> candidates_; // (x << 16 | y) -> references
    std::deque<Raw> recent_;
    std::deque<Raw> downs_;
    bool packetSeen_ = false;
    int lastX_ = 0;
    int lastY_ = 0;
    OracleCounts counts_;
    std::string finding_;
};

} // namespace soak
