// The driver installation of setup, run as a program in the machine from
// the media's INF files on D:, and the machine booted afterwards from the
// registry and disk it left.
#include "apps/setup/install_drivers.h"
#include "machine/driver_catalogue.h"
#include "machine/machine.h"
#include "platform/win32/input.h"
#include "tests/support/ansi_registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace {

using machine::Machine;
using machine::MachineConfig;
using platform::win32::OsKind;

std::function<void()> gStep;

int WINAPI StepProgram(HINSTANCE, HINSTANCE, LPSTR, int) {
    gStep();
    return 0;
}

std::string MediaFile(const std::string& name) {
    std::ifstream in(std::string(MEDIA_DIR) + "/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every key and value below \REGISTRY\Machine, to carry into the next boot.
struct Snapshot {
    std::vector<std::pair<std::string, platform::registry::Value>> values;
    std::vector<std::string> keys;
};

void Take(const platform::registry::Store& store, const std::string& path, Snapshot* snapshot) {
    auto key = store.Open(path);
    if (!key)
        return;
    snapshot->keys.push_back(path);
    for (const auto& value : store.Values(key))
        snapshot->values.push_back({path, value});
    for (const auto& name : store.SubkeyNames(key))
        if (name != "CurrentControlSet") // a link to ControlSet001
            Take(store, path + "\\" + name, snapshot);
}

class InstallDrivers : public ::testing::Test {
protected:
    void Start(OsKind os, bool fresh) {
        MachineConfig config{os, 1024, 768};
        config.fresh = fresh;
        m = std::make_unique<Machine>(config);
        m->Programs().Add({"setup", StepProgram, "", "", "D:\\setup.exe"});
        // Every system has the Run key; setup only opens it.
        m->Kernel().Registry().Create(
            "\\REGISTRY\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
        media = m->Disk().HostRoot().parent_path() /
                (m->Disk().HostRoot().filename().string() + "-media");
        std::filesystem::create_directories(media);
        m->Disk().MapDrive('D', media);
        for (const char* inf : {"win98\\pelmo98.inf", "win98\\Trillo98.inf", "win2kxp\\pelmoxp.inf",
                                "win2kxp\\trilloxp.inf"}) {
            // One character set in place: string::replace here makes GCC 12
            // at -O3 report a false -Wrestrict.
            std::string name = inf;
            name[name.find('\\')] = '/';
            m->Disk().PutText(std::string("D:\\") + inf, MediaFile(name));
        }
        const std::pair<const char*, const char*> images[] = {{"win98\\Pelmo98.sys", "pelmo98"},
                                                              {"win98\\korvex.sys", "korvex"},
                                                              {"win2kxp\\pelmoxp.sys", "pelmoxp"},
                                                              {"win2kxp\\korvex.sys", "korvex"}};
        for (const auto& [path, driver] : images)
            m->Disk().PutText(std::string("D:\\") + path, machine::DriverImageText(driver));
    }

    void TearDown() override {
        m.reset();
        std::filesystem::remove_all(media);
    }

    // Runs the step as the setup program on D:.
    void Run(std::function<void()> step) {
        gStep = std::move(step);
        m->StartProgram("setup");
        m->Settle();
    }

    // A new machine booted from this one's registry and disk.
    void Restart() {
        OsKind os = m->Config().os;
        Snapshot snapshot;
        Take(m->Kernel().Registry(), "\\REGISTRY\\Machine", &snapshot);
        m->Shutdown();
        std::filesystem::path disk = m->Disk().HostRoot();
        m->Disk().Keep();
        m->Disk().UnmapDrive('D');
        trace = m->TraceLines();
        m.reset();
        MachineConfig config{os, 1024, 768};
        config.fresh = true;
        m = std::make_unique<Machine>(config);
        std::filesystem::copy(disk, m->Disk().HostRoot(),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        std::filesystem::remove_all(disk);
        auto& store = m->Kernel().Registry();
        for (const auto& key : snapshot.keys)
            store.Create(key);
        for (const auto& [path, value] : snapshot.values)
            store.SetValue(path, value.name, value.type, value.data.data(), value.data.size());
    }

    // The Run value setup registers the control panel under ("" when none).
    std::string Autostart() {
        std::string command;
        for (const auto& event : Events("reg set "))
            if (event.find("\\Run\\TouchCtl ") != std::string::npos)
                command = event.substr(event.find('"') + 1, event.rfind('"') - event.find('"') - 1);
        std::string text; // the trace escapes backslashes
        for (size_t i = 0; i < command.size(); ++i)
            text += command[i] == '\\' && i + 1 < command.size() ? command[++i] : command[i];
        return text;
    }

    bool TouchMovesPointer() {
        if (!m->ScreenPlugged())
            m->PlugScreen();
        POINT before = platform::win32::PointerPosition();
        m->Touch(100, 200, 1, 300, 400);
        POINT after = platform::win32::PointerPosition();
        return after.x != before.x || after.y != before.y;
    }

    // Events (without time) of this machine and the one before a restart.
    std::vector<std::string> Events(const std::string& prefix) {
        std::vector<std::string> all = trace;
        for (const auto& line : m->TraceLines())
            all.push_back(line);
        std::vector<std::string> found;
        for (const auto& line : all) {
            std::string event = line.substr(line.find(' ') + 1);
            if (event.rfind(prefix, 0) == 0)
                found.push_back(event);
        }
        return found;
    }

    std::unique_ptr<Machine> m;
    std::filesystem::path media;
    std::vector<std::string> trace;
};

const std::string kRoot = "device add instance=ROOT\\TOUCHSCREEN\\0000 ";
const std::string kScreen =
    "device add instance=USB\\VID_595A&PID_0001\\1 service=korvex status=0x00000000";

TEST_F(InstallDrivers, AfterTheStepsAndARestartATouchMovesThePointer) {
    const struct {
        OsKind os;
        const char* root;
    } cases[] = {
        {OsKind::WindowsXP, "service=pelmoxp filters=mouclass status=0x00000000"},
        {OsKind::Windows2000, "service=pelmoxp filters=mouclass status=0x00000000"},
        {OsKind::Windows98, "service=pelmo98 class=hidclass status=0x00000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(machine::OsName(c.os));
        Start(c.os, true);
        EXPECT_FALSE(TouchMovesPointer());
        BOOL result = FALSE;
        Run([&] {
            if (c.os == OsKind::Windows98) {
                result = InstallDriversWin98(nullptr, "C:\\Touch\\tpanel.exe");
            } else {
                RemoveRootTouchDevices(nullptr);
                result = InstallDriversNt(nullptr, "C:\\Touch\\tpanel.exe");
            }
        });
        EXPECT_TRUE(result);
        EXPECT_EQ(Autostart(), "C:\\Touch\\tpanel.exe");
        EXPECT_TRUE(Events("msgbox").empty());
        Restart();
        EXPECT_TRUE(TouchMovesPointer());
        EXPECT_EQ(Events("device add"), (std::vector<std::string>{kRoot + c.root, kScreen}));
        m->Shutdown();
        EXPECT_TRUE(m->Violations().empty());
        TearDown();
    }
}

// The machine's own restart after setup on an installed XP: the earlier root
// device goes, the new one (again 0000) comes up after the restart.
TEST_F(InstallDrivers, TheMachinesRestartBindsTheNewRootDevice) {
    Start(OsKind::WindowsXP, false);
    m->PlugScreen();
    BOOL result = FALSE;
    Run([&] {
        RemoveRootTouchDevices(nullptr);
        result = InstallDriversNt(nullptr, "C:\\Touch\\tpanel.exe");
    });
    EXPECT_TRUE(result);
    m->Restart();
    EXPECT_TRUE(TouchMovesPointer());
    std::vector<std::string> after;
    bool restarted = false;
    for (const auto& event : Events("")) {
        restarted = restarted || event == "machine restart";
        if (restarted && event.rfind("device add", 0) == 0)
            after.push_back(event);
    }
    EXPECT_EQ(after, (std::vector<std::string>{
                         kRoot + "service=pelmoxp filters=mouclass status=0x00000000", kScreen}));
    m->Shutdown();
    EXPECT_TRUE(m->Violations().empty());
}

void CreateKey(const std::string& path) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void SetText(const std::string& path, const char* name, const char* text) {
    CreateKey(path);
    HKEY key;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(strlen(text)));
    RegCloseKey(key);
}

using support::HklmKeyExists;

// Installed, then removed by the uninstaller: after the next restart a touch
// reaches the pointer no more on any system.
TEST_F(InstallDrivers, AfterTheUninstallerAndARestartATouchMovesNothing) {
    for (OsKind os : {OsKind::WindowsXP, OsKind::Windows2000, OsKind::Windows98}) {
        SCOPED_TRACE(machine::OsName(os));
        Start(os, true);
        Run([&] {
            if (os == OsKind::Windows98) {
                InstallDriversWin98(nullptr, "C:\\Touch\\tpanel.exe");
            } else {
                RemoveRootTouchDevices(nullptr);
                InstallDriversNt(nullptr, "C:\\Touch\\tpanel.exe");
            }
        });
        Restart();
        ASSERT_TRUE(TouchMovesPointer());
        // As setup's settings step leaves it.
        SetText("SOFTWARE\\Touch\\UsbConfig", "osflg", os == OsKind::Windows98 ? "98" : "xp");
        m->Disk().PutImage("C:\\Touch\\remover.exe", "remover");
        m->StartProgram("C:\\Touch\\remover.exe");
        m->User().AnswerNextMessageBox(IDOK);
        ASSERT_TRUE(m->User().ClickControl("Ok"));
        // The procedure pauses a second before it deletes.
        m->Wait(2000);
        EXPECT_EQ(Events("msgbox caption=\"Prompt\"").size(), 1u);
        Restart();
        EXPECT_FALSE(TouchMovesPointer());
        m->Shutdown();
        EXPECT_TRUE(m->Violations().empty());
        TearDown();
    }
}

const std::string kRootEnum = "SYSTEM\\CurrentControlSet\\Enum\\ROOT\\TOUCHSCREEN\\";

struct NtCase {
    const char* what;
    bool fresh;
    bool plugged;                   // the touch driver is loaded
    std::vector<std::string> taken; // instance numbers with a key but no device
    const char* missing;            // a media file taken away
    BOOL result;
    std::vector<std::string> devices; // device create/remove events, in order
    std::vector<std::string> boxes;   // message boxes
};

TEST_F(InstallDrivers, NtRootDeviceIdsAndTheTouchDriver) {
    std::vector<std::string> all;
    for (int i = 0; i < 20; ++i) {
        char number[16];
        std::snprintf(number, sizeof number, "%04d", i);
        all.push_back(number);
    }
    const std::string create = "device create instance=ROOT\\TOUCHSCREEN\\";
    const NtCase cases[] = {
        {"an earlier device is removed first",
         false,
         false,
         {},
         nullptr,
         TRUE,
         {"device remove instance=ROOT\\TOUCHSCREEN\\0000", create + "0000 class=Mouse"},
         {}},
        {"ids still taken: the next free one",
         true,
         false,
         {"0000", "0001"},
         nullptr,
         TRUE,
         {create + "0002 class=Mouse"},
         {}},
        {"all twenty ids taken: no device, no message", true, false, all, nullptr, TRUE, {}, {}},
        {"touch driver loaded: its INF is not needed",
         false,
         true,
         {},
         "win2kxp\\trilloxp.inf",
         TRUE,
         {"device remove instance=ROOT\\TOUCHSCREEN\\0000", create + "0000 class=Mouse"},
         {}},
        {"touch driver INF missing",
         true,
         false,
         {},
         "win2kxp\\trilloxp.inf",
         FALSE,
         {create + "0000 class=Mouse"},
         {"msgbox caption=\"Prompt\" text=\"Sorry Install usb device fail\" answer=OK"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Start(OsKind::WindowsXP, c.fresh);
        if (c.plugged)
            m->PlugScreen();
        for (const auto& number : c.taken)
            CreateKey(kRootEnum + number);
        if (c.missing)
            std::filesystem::remove(m->Disk().Resolve(std::string("D:\\") + c.missing).host);
        if (!c.boxes.empty())
            m->User().AnswerNextMessageBox(IDOK);
        BOOL result = !c.result;
        Run([&] {
            RemoveRootTouchDevices(nullptr);
            result = InstallDriversNt(nullptr, "C:\\Touch\\tpanel.exe");
        });
        EXPECT_EQ(result, c.result);
        std::vector<std::string> devices;
        for (const auto& event : Events("device "))
            if (event.rfind("device create", 0) == 0 || event.rfind("device remove", 0) == 0)
                devices.push_back(event);
        EXPECT_EQ(devices, c.devices);
        EXPECT_EQ(Events("msgbox"), c.boxes);
        EXPECT_EQ(Autostart(), c.result ? "C:\\Touch\\tpanel.exe" : "");
        TearDown();
    }
}

// 98 with two earlier enumerations of the screen: both instances and class
// keys go; an INF that 98 named "OEMn" stays, any other goes from both INF
// folders. A missing Trillo98.inf costs the touch driver's files only.
TEST_F(InstallDrivers, NinetyEightRemovesTheOldRegistration) {
    for (bool trilloMissing : {false, true}) {
        SCOPED_TRACE(trilloMissing ? "Trillo98.inf missing" : "all media");
        Start(OsKind::Windows98, true);
        const std::string usb = "Enum\\USB\\VID_595A&PID_0001\\";
        const std::string classes = "System\\CurrentControlSet\\Services\\Class\\";
        SetText(usb + "5&1", "Driver", "USB\\0003");
        SetText(usb + "5&2", "Driver", "USB\\0004");
        SetText(classes + "USB\\0003", "infpath", "oem2.inf");
        SetText(classes + "USB\\0004", "infpath", "touchold.inf");
        for (const char* folder : {"C:\\WINDOWS\\INF\\", "C:\\WINDOWS\\INF\\OTHER\\"})
            for (const char* file : {"oem2.inf", "touchold.inf"})
                m->Disk().PutText(std::string(folder) + file, "[Version]");
        if (trilloMissing)
            std::filesystem::remove(m->Disk().Resolve("D:\\win98\\Trillo98.inf").host);
        BOOL result = FALSE;
        Run([&] { result = InstallDriversWin98(nullptr, "C:\\Touch\\tpanel.exe"); });
        EXPECT_TRUE(result);
        EXPECT_TRUE(Events("msgbox").empty());
        EXPECT_FALSE(HklmKeyExists(usb + "5&1"));
        EXPECT_FALSE(HklmKeyExists(usb + "5&2"));
        EXPECT_FALSE(HklmKeyExists(classes + "USB\\0003"));
        EXPECT_FALSE(HklmKeyExists(classes + "USB\\0004"));
        EXPECT_TRUE(m->Disk().Exists("C:\\WINDOWS\\INF\\oem2.inf"));
        EXPECT_TRUE(m->Disk().Exists("C:\\WINDOWS\\INF\\OTHER\\oem2.inf"));
        EXPECT_FALSE(m->Disk().Exists("C:\\WINDOWS\\INF\\touchold.inf"));
        EXPECT_FALSE(m->Disk().Exists("C:\\WINDOWS\\INF\\OTHER\\touchold.inf"));
        EXPECT_EQ(m->Disk().Exists("C:\\WINDOWS\\INF\\Trillo98.inf"), !trilloMissing);
        EXPECT_TRUE(m->Disk().Exists("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\Pelmo98.sys"));
        EXPECT_EQ(Autostart(), "C:\\Touch\\tpanel.exe");
        TearDown();
    }
}

} // namespace
