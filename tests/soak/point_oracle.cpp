#include "tests/soak/point_oracle.h"

#include "tests/soak/settings_writer.h"

#include "platform/input/pointer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace soak {
namespace {

// More than the driver's queue (10) holds, with room for the reports one
// event hands on.
constexpr size_t kRecentReports = 128;
// The longest stability window: its length is formed in 32 bits.
constexpr uint64_t kLongestWindow = (uint64_t{1} << 32) + 200'000;

uint32_t Pack(uint16_t x, uint16_t y) {
    return uint32_t{x} << 16 | y;
}

// The text after the time field.
const char* EventText(const std::string& line) {
    const char* space = std::strchr(line.c_str(), ' ');
    return space == nullptr ? "" : space + 1;
}

bool Starts(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

} // namespace

PointOracle::PointOracle(bool mouseClass, int screenWidth, int screenHeight)
    : mouseClass_(mouseClass), width_(screenWidth), height_(screenHeight) {
    // The anchor a device starts with, which a stability window counted from
    // boot pins early reports to.
    Add(Raw{0, 0, 0}, 1);
}

void PointOracle::Add(const Raw& raw, int delta) {
    const uint16_t ix = std::min<uint16_t>(raw.x, 4999);
    const uint16_t iy = std::min<uint16_t>(raw.y, 4999);
    const uint16_t tx = TableX(ix);
    const uint16_t ty = TableY(iy);
    const uint32_t pairs[] = {
        Pack(tx, ty), Pack(tx, 0), Pack(0, ty),
        Pack(static_cast<uint16_t>(raw.x * 40u), static_cast<uint16_t>(raw.y * 54u)),
        Pack(raw.x, raw.y)};
    for (uint32_t pair : pairs) {
        auto it = candidates_.try_emplace(pair, 0).first;
        it->second += static_cast<uint32_t>(delta);
        if (it->second == 0)
            candidates_.erase(it);
    }
}

void PointOracle::Settle(size_t heldOrDroppedAtScreen, uint64_t now) {
    std::lock_guard lock(mutex_);
    while (recent_.size() > kRecentReports + heldOrDroppedAtScreen) {
        Add(recent_.front(), -1);
        recent_.pop_front();
    }
    while (!downs_.empty() && now - downs_.front().time > kLongestWindow) {
        Add(downs_.front(), -1);
        downs_.pop_front();
    }
}

void PointOracle::Fail(const std::string& why) {
    if (finding_.empty())
        finding_ = why;
}

void PointOracle::CheckPoint(uint16_t x, uint16_t y, const std::string& line) {
    ++counts_.points;
    // (0, 0): both axes from entries no load reached.
    if ((x != 0 || y != 0) && !candidates_.count(Pack(x, y)))
        Fail("no recent report can become this point: " + line);
}

void PointOracle::Line(const std::string& line, uint64_t now) {
    const char* text = EventText(line);
    std::lock_guard lock(mutex_);
    // Most lines are none of these: tell by the first letter.
    if (*text != 's' && *text != 'm' && *text != 'h' && *text != 'p')
        return;
    unsigned status = 0, flags = 0, buttons = 0, raw = 0;
    unsigned x = 0, y = 0;
    int px = 0, py = 0;
    if (std::sscanf(text, "screen report status=0x%x x=%u y=%u", &status, &x, &y) == 3) {
        ++counts_.reports;
        Raw report{static_cast<uint16_t>(x), static_cast<uint16_t>(y), now};
        Add(report, 1);
        recent_.push_back(report);
        if (status == 0x81) {
            Add(report, 1);
            downs_.push_back(report);
        }
    } else if (mouseClass_ &&
               std::sscanf(text, "mouse packet flags=0x%x buttons=0x%x raw=0x%x x=%d y=%d", &flags,
                           &buttons, &raw, &px, &py) == 5) {
        if (px < 0 || px > 0xFFFF || py < 0 || py > 0xFFFF)
            Fail("packet off the absolute scale: " + line);
        else
            CheckPoint(static_cast<uint16_t>(px), static_cast<uint16_t>(py), line);
        packetSeen_ = true;
        lastX_ = px;
        lastY_ = py;
    } else if (!mouseClass_ && Starts(text, "hid report ")) {
        unsigned b[5];
        if (std::sscanf(text, "hid report %x %x %x %x %x", &b[0], &b[1], &b[2], &b[3], &b[4]) != 5)
            Fail("a report that is not a point: " + line);
        else
            CheckPoint(static_cast<uint16_t>(b[1] | b[2] << 8),
                       static_cast<uint16_t>(b[3] | b[4] << 8), line);
    } else if (mouseClass_ && std::sscanf(text, "pointer move x=%d y=%d", &px, &py) == 2) {
        ++counts_.pointerMoves;
        if (!packetSeen_ || px != platform::input::AbsoluteToPixel(lastX_, width_) ||
            py != platform::input::AbsoluteToPixel(lastY_, height_))
            Fail("the pointer is not where the last packet put it: " + line);
    }
}

std::string PointOracle::Finding() const {
    std::lock_guard lock(mutex_);
    return finding_;
}

OracleCounts PointOracle::Counts() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

} // namespace soak
