// A machine kept in a state folder: the registry's text form gives back
// every kind of value, and two runs with the folder trace as one run of both
// scripts with a restart between them.
#include "machine/machine_state.h"
#include "machine/registry_text.h"
#include "tests/touchsim/touchsim_support.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace touchsim_testing {
namespace {

namespace fs = std::filesystem;
using platform::registry::Store;
using platform::registry::Value;

std::vector<uint8_t> Bytes(std::initializer_list<int> bytes) {
    std::vector<uint8_t> out;
    for (int b : bytes)
        out.push_back(static_cast<uint8_t>(b));
    return out;
}

std::vector<uint8_t> Wide(const std::string& text, bool withNul) {
    std::vector<uint8_t> out;
    for (char c : text)
        out.insert(out.end(), {static_cast<uint8_t>(c), 0});
    if (withNul)
        out.insert(out.end(), {0, 0});
    return out;
}

TEST(RegistryText, EveryKindOfValueComesBackAsItWas) {
    std::vector<uint8_t> table;
    for (int i = 0; i < 100; ++i)
        table.push_back(static_cast<uint8_t>(i * 7));
    const std::vector<Value> values = {
        {"IsCfg", 1, Wide("no", true)},
        {"osflg", 1, Wide("xp", false)},        // setup stores no NUL
        {"", 1, Wide("C:\\x \"y\"", true)},     // unnamed, escapes
        {"Name \"q\" \\", 1, Wide("", true)},   // escapes in the name
        {"Wide", 1, Bytes({0xB9, 0x65, 0, 0})}, // not ASCII: bytes
        {"Odd", 1, Bytes({0x41})},              // odd length: bytes
        {"ImagePath", 2, Wide("system32\\drivers\\k.sys", true)},
        {"Start", 4, Bytes({3, 0, 0, 0})},
        {"Short", 4, Bytes({3, 0})}, // a DWORD of two bytes
        {"XArray", 3, table},        // several lines
        {"Empty", 3, {}},
        {"Filters", 7, Wide("mouclass", true)},
    };
    Store store;
    const std::string key = "\\REGISTRY\\Machine\\Software\\Touch\\UsbConfig";
    for (const Value& value : values)
        store.SetValue(key, value.name, value.type, value.data.data(), value.data.size());
    store.Create(key + "\\Empty key");
    const std::string text = machine::ExportRegistry(store);

    Store loaded;
    loaded.SetValue("\\REGISTRY\\Machine\\Software\\Gone", "x", 4, "\1\0\0\0", 4);
    std::string error;
    ASSERT_TRUE(machine::ImportRegistry(loaded, text, &error)) << error;
    EXPECT_EQ(machine::ExportRegistry(loaded), text);
    EXPECT_EQ(loaded.Open("\\REGISTRY\\Machine\\Software\\Gone"), nullptr) << "cleared first";
    EXPECT_NE(loaded.Open(key + "\\Empty key"), nullptr);
    std::vector<Value> back = loaded.Values(loaded.Open(key));
    ASSERT_EQ(back.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(back[i].name, values[i].name);
        EXPECT_EQ(back[i].type, values[i].type) << values[i].name;
        EXPECT_EQ(back[i].data, values[i].data) << values[i].name;
    }

    for (const char* bad :
         {"[\\REGISTRY\\M]\n\"x\"=dword:12\n", "\"x\"=\"y\"\n", "[\\REGISTRY\\M]\n\"x\"=hex:1,2\n",
          "[Machine]\n", "[\\REGISTRY\\M]\n\"x\"=\"open\n"}) {
        EXPECT_FALSE(machine::ImportRegistry(loaded, bad, &error)) << bad;
        EXPECT_EQ(machine::ExportRegistry(loaded), text) << "left as it was";
    }
    // The link still leads to the control set.
    loaded.SetValue("\\REGISTRY\\Machine\\System\\CurrentControlSet\\Services\\k", "v", 4,
                    "\1\0\0\0", 4);
    EXPECT_TRUE(loaded.GetValue("\\REGISTRY\\Machine\\System\\ControlSet001\\Services\\k", "v"));
}

// A: setup's last steps and a touch; B: touches after the power-on and a program.
const char* kFirst = R"(machine os=xp fresh
screen geometry 200 1600 300 1200
reg set HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run Other sz "C:\\other.exe"
disk image "C:\Program Files\Touch\tpanel.exe" probe
disk image C:\Setup\steps.exe steps
media insert
start C:\Setup\steps.exe mkdir osflag autostart group
plug
touch 800 700 hold 2
)";
const char* kSecond = R"(expect program start name=probe cmdline=""
tap 512 384
start C:\Setup\steps.exe osflag
unplug
)";

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

TEST(StateFolder, TwoRunsTraceAsOneWithARestartBetween) {
    const fs::path dir = fs::path(::testing::TempDir()) / "touchsim-state";
    fs::remove_all(dir);
    Outcome first = RunTsim(kFirst, dir.string());
    ASSERT_EQ(first.result.exitCode, 0) << first.result.error;
    ASSERT_TRUE(machine::HasMachineState(dir));
    Outcome second = RunTsim(kSecond, dir.string());
    ASSERT_EQ(second.result.exitCode, 0) << second.result.error;
    Outcome whole = RunTsim(std::string(kFirst) + "restart\n" + kSecond);
    ASSERT_EQ(whole.result.exitCode, 0) << whole.result.error;

    // The first run ends in a shutdown where the whole one restarts.
    std::vector<std::string> joined = first.trace;
    auto shutdown = std::find_if(joined.begin(), joined.end(), [](const std::string& line) {
        return line.ends_with(" machine shutdown");
    });
    ASSERT_NE(shutdown, joined.end());
    shutdown->replace(shutdown->size() - 8, 8, "restart");
    joined.insert(joined.end(), second.trace.begin(), second.trace.end());
    EXPECT_EQ(Joined(joined), Joined(whole.trace));

    // What a person finds in the folder.
    std::ifstream groups(dir / "groups.txt");
    std::stringstream text;
    text << groups.rdbuf();
    EXPECT_NE(text.str().find("[Orvan Infrared Touch Screen]\nshown=1\nshow=1\n"
                              "item=Usb control panel\n"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "disk" / "Program Files" / "Touch" / "tpanel.exe"));
    fs::remove_all(dir);
}

TEST(StateFolder, AFailedRunLeavesTheFolderAndAnotherMachineIsRefused) {
    const fs::path dir = fs::path(::testing::TempDir()) / "touchsim-state-fail";
    fs::remove_all(dir);
    ASSERT_EQ(RunTsim("machine os=98\nreg set HKLM\\Software\\A v dword 1\n", dir.string())
                  .result.exitCode,
              0);
    Outcome failed = RunTsim("reg set HKLM\\Software\\A v dword 2\nexpect nothing\n", dir.string());
    EXPECT_EQ(failed.result.exitCode, 1);
    Outcome again = RunTsim("expect machine boot os=98 screen=1024x768\n"
                            "reg set HKLM\\Software\\A w dword 3\n",
                            dir.string());
    EXPECT_EQ(again.result.exitCode, 0) << again.result.error;
    EXPECT_TRUE(again.Has("reg set HKLM\\Software\\A\\w REG_DWORD 0x00000003"))
        << Joined(again.trace);
    std::ifstream registry(dir / "registry.reg");
    std::stringstream text;
    text << registry.rdbuf();
    EXPECT_NE(text.str().find("\"v\"=dword:00000001\n\"w\"=dword:00000003\n"), std::string::npos)
        << "the failed run's write is not kept";
    Outcome other = RunTsim("machine os=xp\nboot\n", dir.string());
    EXPECT_EQ(other.result.exitCode, 1);
    EXPECT_NE(other.result.error.find("the machine kept in"), std::string::npos);
    fs::remove_all(dir);
}

} // namespace
} // namespace touchsim_testing
