// plug, unplug, report, touch, tap, screen, fault, ctl.
#include "touchsim/numbers.h"
#include "touchsim/script_error.h"
#include "touchsim/verb_table.h"

#include "platform/win32/windows.h"

namespace touchsim::detail {
namespace {

using machine::ScreenFault;

Action ParsePlug(const ScriptLine& line) {
    NoMoreThan(line, 1);
    return [](Session& session) { session.Machine().PlugScreen(); };
}

Action ParseUnplug(const ScriptLine& line) {
    NoMoreThan(line, 1);
    return [](Session& session) { session.Machine().UnplugScreen(); };
}

Action ParseReport(const ScriptLine& line) {
    NoMoreThan(line, 4);
    auto status = static_cast<uint8_t>(ParseUnsigned(line.number, Need(line, 1, "STATUS"), 0xFF));
    uint16_t x = Word16(line, 2, "X");
    uint16_t y = Word16(line, 3, "Y");
    return [=](Session& session) { session.Machine().SendReport(status, x, y); };
}

Action ParseTouch(const ScriptLine& line) {
    uint16_t x = Word16(line, 1, "X");
    uint16_t y = Word16(line, 2, "Y");
    unsigned hold = 0;
    uint16_t toX = x;
    uint16_t toY = y;
    size_t i = 3;
    while (i < line.words.size()) {
        const std::string& option = line.words[i].text;
        if (option == "hold") {
            hold =
                static_cast<unsigned>(ParseUnsigned(line.number, Need(line, i + 1, "N"), 100000));
            i += 2;
        } else if (option == "to") {
            toX = Word16(line, i + 1, "X2");
            toY = Word16(line, i + 2, "Y2");
            i += 3;
        } else {
            throw ScriptError(line.number, "unexpected \"" + option + "\"");
        }
    }
    return [=](Session& session) { session.Machine().Touch(x, y, hold, toX, toY); };
}

// The centre of a control of the foreground window, in screen pixels.
POINT ControlCentre(int line, HWND control, const std::string& what) {
    RECT r;
    if (control == nullptr || !GetWindowRect(control, &r))
        throw ScriptError(line, "no control " + what + " in the foreground window");
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

Action ParseTap(const ScriptLine& line) {
    const std::string& first = Need(line, 1, "PX, id or text");
    const int number = line.number;
    if (first == "id") {
        NoMoreThan(line, 3);
        int id = static_cast<int>(ParseUnsigned(number, Need(line, 2, "N"), 0xFFFF));
        return [=](Session& session) {
            POINT at =
                ControlCentre(number, session.Machine().User().FindControl(id), std::to_string(id));
            session.Machine().Tap(at.x, at.y);
        };
    }
    if (first == "text") {
        NoMoreThan(line, 3);
        std::string text = Need(line, 2, "T");
        return [=](Session& session) {
            POINT at = ControlCentre(number, session.Machine().User().FindControl(text),
                                     "\"" + text + "\"");
            session.Machine().Tap(at.x, at.y);
        };
    }
    NoMoreThan(line, 3);
    int x = static_cast<int>(ParseUnsigned(number, first, 16383));
    int y = static_cast<int>(ParseUnsigned(number, Need(line, 2, "PY"), 16383));
    return [=](Session& session) { session.Machine().Tap(x, y); };
}

Action ParseScreen(const ScriptLine& line) {
    if (Need(line, 1, "geometry") != "geometry")
        throw ScriptError(line.number, "unknown screen setting \"" + line.words[1].text + "\"");
    NoMoreThan(line, 6);
    machine::devices::TouchGeometry geometry;
    geometry.left = Word16(line, 2, "LEFT");
    geometry.right = Word16(line, 3, "RIGHT");
    geometry.top = Word16(line, 4, "TOP");
    geometry.bottom = Word16(line, 5, "BOTTOM");
    return [=](Session& session) { session.Machine().SetGeometry(geometry); };
}

Action ParseFault(const ScriptLine& line) {
    NoMoreThan(line, 3);
    const std::string& name = Need(line, 1, "NAME");
    ScreenFault fault;
    if (name == "timeout")
        fault = ScreenFault::Timeout;
    else if (name == "data-error")
        fault = ScreenFault::DataError;
    else if (name == "reset-data-error")
        fault = ScreenFault::ResetDataError;
    else if (name == "stall-class")
        fault = ScreenFault::StallClass;
    else if (name == "port-disabled")
        fault = ScreenFault::PortDisabled;
    else if (name == "port-disconnected")
        fault = ScreenFault::PortDisconnected;
    else
        throw ScriptError(line.number, "unknown fault \"" + name + "\"");
    unsigned count = 1;
    if (line.words.size() > 2)
        count = static_cast<unsigned>(ParseUnsigned(line.number, line.words[2].text, 100000));
    return [=](Session& session) { session.Machine().Fault(fault, count); };
}

Action ParseCtl(const ScriptLine& line) {
    const std::string& what = Need(line, 1, "open, command, getpoint or close");
    if (what == "command") {
        NoMoreThan(line, 3);
        auto command = static_cast<uint8_t>(ParseUnsigned(line.number, Need(line, 2, "N"), 0xFF));
        return [command](Session& session) { session.Machine().Control().Command(command); };
    }
    NoMoreThan(line, 2);
    if (what == "open")
        return [](Session& session) { session.Machine().Control().Open(); };
    if (what == "close")
        return [](Session& session) { session.Machine().Control().Close(); };
    if (what == "getpoint")
        return [](Session& session) {
            machine::ControlPoint point;
            session.Machine().Control().GetPoint(&point);
        };
    throw ScriptError(line.number, "unknown ctl action \"" + what + "\"");
}

} // namespace

std::vector<VerbSpec> ScreenVerbs() {
    return {
        {"plug", "plug", "The touch screen arrives on the USB port; Plug and Play loads korvex.",
         true, ParsePlug},
        {"unplug", "unplug",
         "The touch screen is pulled out: surprise removal, then removal once no handle is "
         "open.",
         true, ParseUnplug},
        {"report", "report STATUS X Y",
         "The screen sends one report now: byte 1 STATUS, bytes 2..5 X and Y (16-bit "
         "little-endian), bytes 0, 6, 7 zero.",
         true, ParseReport},
        {"touch", "touch X Y [hold N] [to X2 Y2]",
         "A whole touch in raw units: 0x81 at X Y, N reports 0x82 one report interval (10 ms) "
         "apart moving in a line to X2 Y2, then 0x84 at X2 Y2 an interval later.",
         true, ParseTouch},
        {"tap", "tap PX PY | tap id N | tap text T",
         "A finger on the screen at pixel PX PY, or at the centre of control N (or of the "
         "control showing T) of the foreground window: raw p from the geometry, then reports "
         "10 ms apart: 0x81 at p, 0x82 at p + (1, 0), 0x82 at p + (0, 1), 0x84 at p.",
         true, ParseTap},
        {"screen", "screen geometry LEFT RIGHT TOP BOTTOM",
         "Where the screen's grid lies: raw X at pixel 0 and at pixel W, raw Y at pixel 0 and "
         "at pixel H (either may run backwards); pixel p maps to LEFT + trunc(p * (RIGHT - "
         "LEFT) / W). Default: 100 1700 150 1350.",
         false, ParseScreen},
        {"fault", "fault NAME [COUNT]",
         "A fault of the screen or its port. timeout, data-error: the transfer held now and "
         "the next COUNT-1 end with that status. reset-data-error: the next COUNT port resets "
         "fail. stall-class: the next COUNT class requests are stalled. port-disabled, "
         "port-disconnected: the screen's next arrival finds its port so. COUNT defaults to 1.",
         false, ParseFault},
        {"ctl", "ctl open | ctl command N | ctl getpoint | ctl close",
         "The touch driver's control device \\\\.\\vududode as a user-mode program uses it; "
         "each call leaves a ctl trace line with its outcome.",
         true, ParseCtl},
    };
}

} // namespace touchsim::detail
