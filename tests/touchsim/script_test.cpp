// What stops a script: malformed lines (before anything runs, exit 2) and
// lines that cannot be carried out (exit 1), each naming its line; numbers
// and the table formula as the driver sees them.
#include "tests/touchsim/touchsim_support.h"

namespace touchsim_testing {
namespace {

struct Bad {
    const char* script;
    const char* error;
};

TEST(ScriptErrorTest, MalformedLinesStopBeforeAnythingRuns) {
    const Bad cases[] = {
        {"boot\n\n# c\nfrob 1\n", "line 4: unknown verb \"frob\""},
        {"wait 12x\n", "line 1: bad number \"12x\""},
        {"report 0x81 0x1G 5\n", "line 1: bad number \"0x1G\""},
        {"report 0x181 1 5\n", "line 1: number out of range \"0x181\" (at most 255)"},
        {"touch 10\n", "line 1: missing argument: Y"},
        {"touch 10 20 hold\n", "line 1: missing argument: N"},
        {"touch 10 20 to 5\n", "line 1: missing argument: Y2"},
        {"plug now\n", "line 1: unexpected \"now\""},
        {"reg set HKLM\\SOFTWARE\\Touch v\n",
         "line 1: missing argument: TYPE (sz, dword, binary or table)"},
        {"reg set HKXX\\a v sz 1\n",
         "line 1: bad key \"HKXX\\a\" (HKLM\\..., HKCU\\..., HKCR\\..., HKU\\...)"},
        {"reg set HKLM\\a v table 1.2.3 0\n", "line 1: bad number \"1.2.3\""},
        {"reg set HKLM\\a v binary 0a1\n", "line 1: bad hex bytes \"0a1\""},
        {"ctl frob\n", "line 1: unknown ctl action \"frob\""},
        {"fault melt\n", "line 1: unknown fault \"melt\""},
        {"expect \"open\n", "line 1: unterminated quote"},
        {"boot\nmachine os=xp\n", "line 2: machine must be the first verb"},
        {"machine os=95\n", "line 1: bad os \"95\" (98, 2000 or xp)"},
        {"machine screen=1024\n", "line 1: bad screen size \"1024\" (want WIDTHxHEIGHT)"},
        {"answer maybe\n",
         "line 1: bad button \"maybe\" (ok, cancel, abort, retry, ignore, yes, no)"},
        {"privilege deny debug\n", "line 1: bad privilege line (privilege grant|deny shutdown)"},
        {"media spin\n", "line 1: bad media line (media insert [FOLDER] | media eject)"},
        {"ddeserver pause\n", "line 1: bad ddeserver line (ddeserver stop|start)"},
        {"disk frob\n", "line 1: unknown disk verb \"frob\" (disk image PATH NAME)"},
        {"disk image C:\\a.exe\n", "line 1: missing argument: NAME"},
    };
    for (const Bad& bad : cases) {
        Outcome outcome = RunTsim(std::string("plug\n") + bad.script);
        std::string error = bad.error;
        // The leading plug shifts every line by one.
        int line = std::stoi(error.substr(5));
        error = "line " + std::to_string(line + 1) + error.substr(error.find(':'));
        EXPECT_EQ(outcome.result.exitCode, 2) << bad.script;
        EXPECT_EQ(outcome.result.error, error) << bad.script;
        EXPECT_TRUE(outcome.trace.empty()) << bad.script;
    }
}

TEST(ScriptErrorTest, LinesThatCannotBeCarriedOutStopTheRunThere) {
    const Bad cases[] = {
        {"report 0x81 1 1\n", "line 1: report: the screen is not plugged in"},
        {"plug\nplug\n", "line 2: plug: the screen is plugged in already"},
        {"plug\nexpect pointer move x=1 y=1\n",
         "line 2: expected trace line not found: pointer move x=1 y=1"},
        {"start nosuch\n", "line 1: start: no program named \"nosuch\""},
        {"start C:\\App\\probe.exe\n",
         "line 1: start: cannot start \"C:\\App\\probe.exe\": error 3"},
        {"disk image C:\\App\\x.exe nosuch\n",
         "line 1: no program named \"nosuch\" in the catalogue"},
        {"reg delete HKLM\\SOFTWARE\\Missing\n", "line 1: reg delete failed with error 2"},
        {"click text Nothing\n", "line 1: no control \"Nothing\" in the foreground window"},
    };
    for (const Bad& bad : cases) {
        Outcome outcome = RunTsim(bad.script);
        EXPECT_EQ(outcome.result.exitCode, 1) << bad.script;
        EXPECT_EQ(outcome.result.error, bad.error) << bad.script;
    }
}

TEST(ScriptProgramTest, StartsAProgramByItsImageOnTheDisk) {
    Outcome outcome = RunTsim("disk image \"C:\\Program Files\\App\\probe.exe\" probe\n"
                              "start \"c:\\program files\\app\\PROBE.EXE\" -q\n"
                              "expect program start name=probe cmdline=\"-q\"\n");
    EXPECT_EQ(outcome.result.exitCode, 0) << outcome.result.error;
}

// The build's media folder as D:, its programs under the names setup copies.
TEST(ScriptProgramTest, TheMediaFolderIsDriveD) {
    Outcome outcome = RunTsim("media insert\n"
                              "start D:\\tpanel.ex_\n"
                              "expect program start name=tpanel cmdline=\"\"\n");
    EXPECT_EQ(outcome.result.exitCode, 0) << outcome.result.error;
    EXPECT_TRUE(outcome.Has("media insert"));
}

TEST(ScriptErrorTest, ExpectMatchesInOrderFromTheLastMatch) {
    const char* script = "plug\n"
                         "touch 100 200\n"
                         "expect pointer up left x=62 y=126\n"
                         "expect 0.000 screen report status=0x81 x=100 y=200\n";
    Outcome outcome = RunTsim(script);
    EXPECT_EQ(outcome.result.error, "line 4: expected trace line not found: 0.000 screen report "
                                    "status=0x81 x=100 y=200");
}

// Numbers reach the screen as written, and a table maps raw units through
// floor(K*i + C), clamped, exactly as the touch driver reads it.
TEST(ScriptNumberTest, HexAndDecimalAndTheTableFormula) {
    const char* script = "reg set HKLM\\SOFTWARE\\Touch\\UsbConfig XArray table 20 -3.5\n"
                         "reg set HKLM\\SOFTWARE\\Touch\\UsbConfig YArray table 0.5 0x10\n"
                         "reg set HKLM\\SOFTWARE\\Touch\\UsbConfig doneMode sz \"2\"\n"
                         "reg set HKLM\\SOFTWARE\\Touch\\UsbConfig moveSlider sz 0\n"
                         "plug\n"
                         "report 0x81 0x64 4001\n"
                         "report 0x84 4000 100\n"
                         "report 0x81 0 0\n";
    Outcome outcome = RunTsim(script);
    ASSERT_EQ(outcome.result.exitCode, 0) << outcome.result.error;
    EXPECT_TRUE(outcome.Has("screen report status=0x81 x=100 y=4001"));
    // 20 * 100 - 3.5 = 1996.5 -> 1996; 0.5 * 4001 + 16 = 2016.5 -> 2016
    EXPECT_TRUE(outcome.Has("mouse packet flags=0x0001 buttons=0x0001 raw=0x01 x=1996 y=2016"));
    // 20 * 4000 - 3.5 clamps to 65535; 0.5 * 100 + 16 = 66
    EXPECT_TRUE(outcome.Has("mouse packet flags=0x0001 buttons=0x0000 raw=0x00 x=65535 y=66"));
    // below zero clamps to 0; 0.5 * 0 + 16 = 16
    EXPECT_TRUE(outcome.Has("mouse packet flags=0x0001 buttons=0x0001 raw=0x01 x=0 y=16"));
}

} // namespace
} // namespace touchsim_testing
