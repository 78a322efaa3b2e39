#include "touchsim/default_scenario.h"

namespace touchsim {

const std::string& DefaultScenario() {
    static const std::string script = R"(# The default scenario of touchsim.
machine os=xp screen=1024x768

# Settings as the control panel leaves them after a calibration that maps
# raw 0..5000 onto the whole screen; Up mode, stability filter off.
reg set HKLM\SOFTWARE\Touch\UsbConfig XArray table 13.107 0
reg set HKLM\SOFTWARE\Touch\UsbConfig YArray table 13.107 0
reg set HKLM\SOFTWARE\Touch\UsbConfig doneMode sz 1
reg set HKLM\SOFTWARE\Touch\UsbConfig moveSlider sz 0

boot
plug
wait 10

# Up mode: the pointer follows the finger and clicks where it lifts.
touch 1000 1000 hold 2
wait 20
touch 2500 2500 hold 3 to 3000 2000
wait 20

# Down mode: a click where the finger lands; the reload command makes the
# touch driver read the new mode.
reg set HKLM\SOFTWARE\Touch\UsbConfig doneMode sz 2
ctl open
ctl command 6
ctl close
touch 1000 4000 hold 2 to 1200 4000
wait 20

# Drag mode: the button stays down while the finger moves.
reg set HKLM\SOFTWARE\Touch\UsbConfig doneMode sz 3
ctl open
ctl command 6
ctl close
touch 4000 1000 hold 4 to 4500 1500
wait 20

# Standby and resume: the flow stops and starts again.
standby
wait 100
resume
wait 10
touch 2500 2500 hold 1
wait 20

# The control panel's view: raw mode on, one touch polled, raw mode off.
ctl open
ctl command 4
touch 2000 3000
ctl getpoint
ctl getpoint
ctl getpoint
ctl command 5
ctl close

unplug
wait 10
)";
    return script;
}

} // namespace touchsim
