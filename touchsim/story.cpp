#include "touchsim/story.h"

#include <sstream>

namespace touchsim {
namespace {

class StoryWriter {
public:
    explicit StoryWriter(const StoryOptions& options) : options_(options) {}

    StoryWriter& Line(const std::string& text) {
        out_ << text << '\n';
        return *this;
    }
    // A finger at a fraction of the screen's width and height.
    StoryWriter& Tap(double fx, double fy, int waitMs) {
        out_ << "tap " << static_cast<int>(fx * options_.width) << ' '
             << static_cast<int>(fy * options_.height) << '\n'
             << "wait " << waitMs << '\n';
        return *this;
    }
    StoryWriter& Picture(const std::string& name) {
        if (!options_.picturesDir.empty()) {
            ++pictures_;
            out_ << "picture " << options_.picturesDir << '/' << (pictures_ < 10 ? "0" : "")
                 << pictures_ << '-' << name << ".png\n";
        }
        return *this;
    }
    std::string Text() const { return out_.str(); }

private:
    const StoryOptions& options_;
    std::ostringstream out_;
    int pictures_ = 0;
};

} // namespace

std::string StoryScript(const StoryOptions& options) {
    const bool win98 = options.os == "98";
    StoryWriter story(options);
    story.Line("# The package's life on a fresh Windows " + options.os + " machine.")
        .Line("machine os=" + options.os + " screen=" + std::to_string(options.width) + "x" +
              std::to_string(options.height) + " fresh")
        .Line("# The screen's grid runs backwards in X and is squeezed in Y, as a")
        .Line("# mounted frame may be: only a calibration makes touches land.")
        .Line("screen geometry 1800 200 300 1100")
        .Line("plug")
        .Line("wait 100")
        .Line("")
        .Line("# Nothing installed: the screen reports, and a touch moves nothing.");
    story.Tap(0.5, 0.5, 100)
        .Line("")
        .Line("# The media goes in and setup is clicked through as a person would.")
        .Line("media insert")
        .Line("start D:\\setup.exe")
        .Line("wait 1000")
        .Picture("progress")
        .Line("wait 5000")
        .Picture("licence")
        .Line("click text I agree")
        .Line("click text Next")
        .Picture("os")
        .Line(win98 ? "click text USB WINDOW98 Device Drvier" : "click text USB Win2k/XP driver")
        .Line("click text Next")
        .Picture("path")
        .Line("answer yes")
        .Line("click text Next")
        .Picture("install")
        .Line("click text Start")
        .Line("wait 100")
        .Picture("installed")
        .Line("click text OK")
        .Line("wait 100")
        .Line("expect machine restart")
        .Line("")
        .Line("# Log-on: the new panel starts and asks for calibration; a finger on")
        .Line("# the four targets, then OK on the check dialog through the new tables.")
        .Line("wait 100")
        .Picture("target");
    story.Tap(0.1, 0.1, 100).Tap(0.9, 0.9, 100).Tap(0.1, 0.9, 100).Tap(0.9, 0.1, 900);
    story.Picture("check")
        .Line("tap id 1038")
        .Line("wait 1000")
        .Picture("panel")
        .Line("")
        .Line("# Up mode: the click comes where the finger lifts. The stability filter")
        .Line("# keeps a touch within 600 ms of the last one on that one's spot.");
    story.Tap(0.3, 0.78, 1000)
        .Line("")
        .Line("# Down mode and a shorter stability window, saved by Close; the click")
        .Line("# comes where the finger lands.")
        .Line("tap text \"Down Mode\"")
        .Line("wait 1000")
        .Line("tap id 1021")
        .Line("wait 1000")
        .Picture("options")
        .Line("tap text Close")
        .Line("wait 1000")
        .Line("expect reg set HKLM\\SOFTWARE\\Touch\\usbConfig\\moveSlider REG_SZ \"10\"");
    story.Tap(0.78, 0.26, 1000)
        .Line("")
        .Line("# Drag mode, chosen in the panel started again: the button stays down")
        .Line("# while the finger moves.")
        .Line("start C:\\UsbTouch\\tpanel.exe")
        .Line("wait 200")
        .Line("tap text \"Drag Mode\"")
        .Line("wait 1000")
        .Line("tap text Close")
        .Line("wait 1000");
    story.Tap(0.4, 0.65, 1000)
        .Line("")
        .Line("# Standby and resume.")
        .Line("standby")
        .Line("wait 100")
        .Line("resume")
        .Line("wait 100");
    story.Tap(0.5, 0.5, 1000)
        .Line("")
        .Line("# The screen pulled out and plugged back.")
        .Line("unplug")
        .Line("wait 100")
        .Line("plug")
        .Line("wait 100");
    story.Tap(0.6, 0.4, 1000)
        .Line("")
        .Line("# The uninstaller, then the restart after which a touch moves nothing.")
        .Line("start C:\\UsbTouch\\remover.exe")
        .Line("wait 100")
        .Picture("remover")
        .Line("click text Ok")
        .Line("wait 2000")
        .Picture("removed")
        .Line("click text OK")
        .Line("wait 100")
        .Line("restart")
        .Line("wait 100");
    story.Tap(0.5, 0.5, 100).Picture("end");
    return story.Text();
}

} // namespace touchsim
