// setup's installation steps inside the machine: the program runs from
// C:\Setup\setup.exe, so its setup directory is C:\Setup.
#include "apps/setup/setup_files.h"
#include "machine/machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using machine::Machine;
using machine::MachineConfig;
using platform::win32::OsKind;

std::function<void()> gOperation;

int WINAPI SetupEntry(HINSTANCE, HINSTANCE, LPSTR, int) {
    gOperation();
    return 0;
}

class SetupFiles : public ::testing::Test {
protected:
    explicit SetupFiles(OsKind os = OsKind::WindowsXP) { Make(os); }

    void Make(OsKind os) {
        machine_.reset();
        machine::ProgramCatalogue programs;
        platform::win32::ProgramSpec spec;
        spec.name = "setup";
        spec.entry = SetupEntry;
        programs.Add(spec);
        machine_ = std::make_unique<Machine>(MachineConfig{os}, machine::DriverCatalogue::Product(),
                                             programs);
        m().Disk().PutImage("C:\\Setup\\setup.exe", "setup");
    }

    Machine& m() { return *machine_; }

    void Run(std::function<void()> operation) {
        gOperation = std::move(operation);
        m().StartProgram("C:\\Setup\\setup.exe");
    }

    std::vector<std::string> Events(const std::string& prefix) {
        std::vector<std::string> events;
        for (const std::string& line : m().TraceLines()) {
            std::string event = line.substr(line.find(' ') + 1);
            if (event.compare(0, prefix.size(), prefix) == 0)
                events.push_back(event);
        }
        return events;
    }

    // The bytes of a settings value, or "<none>".
    std::vector<uint8_t> Value(const char* name) {
        HKEY key;
        std::vector<uint8_t> data(20000);
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SETUP_SETTINGS_KEY, 0, KEY_READ, &key) != 0)
            return {};
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        LONG error = RegQueryValueExA(key, name, nullptr, &type, data.data(), &size);
        RegCloseKey(key);
        data.resize(error == ERROR_SUCCESS ? size : 0);
        return data;
    }

    std::string Text(const char* name) {
        std::vector<uint8_t> data = Value(name);
        return std::string(data.begin(), data.end()).c_str();
    }

    std::unique_ptr<Machine> machine_;
};

uint16_t Entry(const std::vector<uint8_t>& table, int i) {
    return static_cast<uint16_t>(table[2 * i] | table[2 * i + 1] << 8);
}

TEST(DefaultTables, EntriesAsTheFormulaGives) {
    struct Case {
        int platform;
        BOOL y;
        int index;
        uint16_t value;
    };
    const Case cases[] = {
        {PLATFORM_NT, FALSE, 0, 0},
        {PLATFORM_NT, FALSE, 400, 16383},
        {PLATFORM_NT, FALSE, 800, 32766},
        {PLATFORM_NT, FALSE, 1200, 32766},
        {PLATFORM_NT, FALSE, 1600, 32766},
        {PLATFORM_NT, FALSE, 1601, 36},
        {PLATFORM_NT, TRUE, 300, 16383},
        {PLATFORM_NT, TRUE, 600, 32766},
        {PLATFORM_9598, FALSE, 1, 81},
        {PLATFORM_9598, FALSE, 400, 32767},
        {PLATFORM_9598, FALSE, 801, 79},
        {PLATFORM_9598, TRUE, 300, 32767},
        // The last hundred continue the formula: 4999 * 81.9175 = 409505.58,
        // low 16 bits 16289; 4999 * 40.9575 = 204746.54, low 16 bits 8138.
        {PLATFORM_9598, FALSE, 4999, 16289},
        {PLATFORM_NT, FALSE, 4999, 8138},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> table(DEFAULT_TABLE_ENTRIES * 2, 0xBD);
        BuildDefaultTable(c.platform, c.y, table.data());
        EXPECT_EQ(Entry(table, c.index), c.value)
            << c.platform << (c.y ? " Y[" : " X[") << c.index << "]";
    }
}

// A settings-file record: type, name (50 bytes), length, data (as given,
// which may be shorter than length).
std::vector<uint8_t> Record(uint32_t type, const std::string& name, uint32_t length,
                            const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes;
    auto number = [&](uint32_t n) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(n >> (8 * i)));
    };
    number(type);
    std::string field = name;
    field.resize(SETTINGS_NAME_SIZE, '\0');
    bytes.insert(bytes.end(), field.begin(), field.end());
    number(length);
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST_F(SetupFiles, DefaultsThenTheSettingsFile) {
    const std::string longName(SETTINGS_NAME_SIZE, 'N');
    std::vector<uint8_t> table(10000, 0x11);
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        std::vector<std::pair<std::string, std::string>> texts; // name, text ("<none>": absent)
    };
    const Case cases[] = {
        {"texts, a skipped type 4, a 50-character name",
         Join({Record(1, "IsCfg", 4, Bytes(std::string("yes\0", 4))),
               Record(4, "IsCfg", 2, Bytes("no")), Record(1, longName, 1, Bytes("7")),
               Record(1, "moveSlider", 2, Bytes("55"))}),
         {{"IsCfg", "yes"}, {longName, "7"}, {"moveSlider", "55"}, {"donemode", "1"}}},
        {"a length of 0 ends the import",
         Join({Record(1, "donemode", 0, {}), Record(1, "IsCfg", 3, Bytes("yes"))}),
         {{"donemode", "1"}, {"IsCfg", "no"}}},
        {"a record over 10000 bytes is refused with all after it",
         Join({Record(1, "dubwheel", 2, Bytes("no")), Record(3, "XArray", 10001, table),
               Record(1, "IsCfg", 3, Bytes("yes"))}),
         {{"dubwheel", "no"}, {"IsCfg", "no"}}},
        {"an empty file writes nothing", {}, {{"IsCfg", "no"}, {"chgbutton", ""}}},
    };
    for (const Case& c : cases) {
        Make(OsKind::WindowsXP);
        m().Disk().PutFile("C:\\Setup\\winxp.cfg", c.file);
        m().Disk().PutFile("C:\\Setup\\win98.cfg", Record(1, "IsCfg", 3, Bytes("98!")));
        Run([] { WriteDefaultSettings(); });
        for (const auto& [name, text] : c.texts)
            EXPECT_EQ(Text(name.c_str()), text) << c.what << ": " << name;
        std::vector<uint8_t> x = Value("XArray");
        ASSERT_EQ(x.size(), 10000u) << c.what;
        EXPECT_EQ(Entry(x, 400), 16383) << c.what;
    }
}

TEST_F(SetupFiles, BinaryRecordsReplaceTheTablesAndEndShortWithZeros) {
    Make(OsKind::Windows98);
    std::vector<uint8_t> table(10000, 0x22);
    m().Disk().PutFile("C:\\Setup\\win98.cfg",
                       Join({Record(3, "XArray", 10000, table), Record(3, "Tail", 8, {1, 2, 3})}));
    Run([] { WriteDefaultSettings(); });
    EXPECT_EQ(Value("XArray"), table);
    EXPECT_EQ(Value("Tail"), (std::vector<uint8_t>{1, 2, 3, 0, 0, 0, 0, 0}));
    std::vector<uint8_t> y = Value("YArray");
    ASSERT_EQ(y.size(), 10000u);
    EXPECT_EQ(Entry(y, 300), 32767); // the 98 table stands
}

TEST_F(SetupFiles, ProgramFilesCopiedInOrderUntilOneIsMissing) {
    const char* names[] = {"keyflip.ex_", "remover.ex_", "guidebk.hl_", "beep.exe", "beep.dll"};
    for (const char* name : names)
        m().Disk().PutText(std::string("C:\\Setup\\") + name, name);
    m().Disk().PutText("C:\\Setup\\beep.dll", "");          // a zero-length file copies as empty
    m().Disk().MakeDirectories("C:\\Program Files\\Touch"); // the wizard makes InstallPath
    m().User().AnswerNextMessageBox(IDOK);
    BOOL copied = TRUE;
    Run([&] { copied = CopyProgramFiles("C:\\Program Files\\Touch", NULL); });
    EXPECT_FALSE(copied);
    EXPECT_TRUE(m().Disk().Exists("C:\\Program Files\\Touch\\keyflip.exe"));
    EXPECT_FALSE(m().Disk().Exists("C:\\Program Files\\Touch\\tpanel.exe"));
    EXPECT_EQ(Events("msgbox"),
              std::vector<std::string>{"msgbox caption=\"Error\" text=\"Copy Files\xA3\xBA"
                                       "C:\\\\Setup\\\\tpanel.ex_\" answer=OK"});

    m().Disk().PutText("C:\\Setup\\tpanel.ex_", "tpanel");
    Run([&] { copied = CopyProgramFiles("C:\\Program Files\\Touch", NULL); });
    EXPECT_TRUE(copied);
    EXPECT_EQ(m().Disk().ReadFile("C:\\Program Files\\Touch\\tpanel.exe"), Bytes("tpanel"));
    EXPECT_EQ(m().Disk().ReadFile("C:\\Program Files\\Touch\\beep.dll"), std::vector<uint8_t>{});
    EXPECT_EQ(Events("file copy").size(), 0u); // whole-file copies, not CopyFileA
}

// From the build's media folder in drive D:, as the setup runs from it.
TEST_F(SetupFiles, FromTheMediaInDriveD) {
    m().InsertMedia(SETUP_MEDIA_DIR);
    m().Disk().MakeDirectories("C:\\Program Files\\Touch");
    BOOL copied = FALSE;
    gOperation = [&] {
        copied = CopyProgramFiles("C:\\Program Files\\Touch", NULL);
        WriteDefaultSettings();
    };
    m().StartProgram("D:\\setup.exe");
    EXPECT_TRUE(copied);
    for (const char* name :
         {"keyflip.exe", "tpanel.exe", "remover.exe", "guidebk.hlp", "beep.exe", "beep.dll"})
        EXPECT_TRUE(m().Disk().Exists(std::string("C:\\Program Files\\Touch\\") + name)) << name;
    EXPECT_EQ(m().Disk().ReadFile("C:\\Program Files\\Touch\\tpanel.exe"),
              Bytes("program tpanel\n"));
    EXPECT_EQ(Text("moveSlider"), "30");
    EXPECT_EQ(Value("XArray").size(), 10000u); // the file has no tables
}

TEST_F(SetupFiles, ProgramGroupOverDde) {
    // The longest InstallPath: 1023 characters, twice in each AddItem.
    std::string install = "C:\\" + std::string(1020, 'p');
    BOOL made = FALSE;
    Run([&] { made = CreateProgramGroup(install.c_str(), NULL); });
    EXPECT_TRUE(made);
    const platform::win32::ProgmanGroup* group = m().Progman().Find("Orvan Infrared Touch Screen");
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->shown);
    ASSERT_EQ(group->items.size(), 2u);
    EXPECT_EQ(group->items[0].name, "Usb control panel");
    EXPECT_EQ(group->items[0].commandLine, install + "\\tpanel.exe");
    EXPECT_EQ(group->items[0].iconPath, install + "\\tpanel.exe");
    EXPECT_EQ(group->items[1].name, "Uninstall");
    EXPECT_EQ(group->items[1].commandLine, install + "\\Remover.exe");
    std::vector<std::string> dde = Events("dde execute");
    ASSERT_EQ(dde.size(), 4u);
    EXPECT_EQ(dde[0], "dde execute \"[CreateGroup(Orvan Infrared Touch Screen)]\"");
    EXPECT_EQ(dde[1], "dde execute \"[ShowGroup(Orvan Infrared Touch Screen,1)]\"");
}

TEST_F(SetupFiles, DdeThatCannotStartThenTheRestartStillFollows) {
    m().Progman().SetDdeBroken(true);
    m().User().AnswerNextMessageBox(IDOK);
    BOOL made = TRUE;
    Run([&] {
        made = CreateProgramGroup("C:\\Program Files\\Touch", NULL);
        RestartComputer();
    });
    EXPECT_FALSE(made);
    EXPECT_EQ(Events("msgbox"),
              std::vector<std::string>{"msgbox caption=\"Error\" text=\"DDE Error!\" answer=OK"});
    EXPECT_EQ(Events("machine restart").size(), 1u);
}

TEST_F(SetupFiles, RestartPerSystemAndPrivilege) {
    const struct {
        OsKind os;
        bool denied;
        bool restarts;
    } cases[] = {
        {OsKind::WindowsXP, false, true}, {OsKind::Windows2000, false, true},
        {OsKind::WindowsXP, true, false}, {OsKind::Windows2000, true, false},
        {OsKind::Windows98, true, true},
    };
    for (const auto& c : cases) {
        Make(c.os);
        platform::win32::System::Current().SetPrivilegeHeld(SE_SHUTDOWN_NAME, !c.denied);
        Run([] { RestartComputer(); });
        EXPECT_EQ(Events("machine restart").size(), c.restarts ? 1u : 0u)
            << machine::OsName(c.os) << (c.denied ? " denied" : "");
    }
}

TEST_F(SetupFiles, LastErrorShownInItsSystemText) {
    m().User().AnswerNextMessageBox(IDOK);
    m().User().AnswerNextMessageBox(IDOK);
    Run([] {
        SetLastError(ERROR_FILE_NOT_FOUND);
        ShowLastError();
        SetLastError(0xE0001234); // no system text
        ShowLastError();
    });
    EXPECT_EQ(Events("msgbox"),
              (std::vector<std::string>{
                  "msgbox caption=\"Error\" text=\"The system cannot find the file specified.\\n\" "
                  "answer=OK",
                  "msgbox caption=\"Error\" text=\"\" answer=OK"}));
}

TEST_F(SetupFiles, OsFlagAndAutostart) {
    // Every system has the Run key; without it setup writes no autostart.
    m().Kernel().Registry().DeleteTree(
        "\\REGISTRY\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    Run([] {
        WriteOsFlag("xp");
        RegisterAutostart("C:\\Program Files\\Touch\\tpanel.exe");
    });
    EXPECT_EQ(Text("osflg"), "xp");
    // The Run key is not created by setup.
    HKEY run;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                            0, KEY_READ, &run),
              ERROR_SUCCESS);
    m().Kernel().Registry().Create(
        "\\REGISTRY\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    Run([] { RegisterAutostart("C:\\Program Files\\Touch\\tpanel.exe"); });
    auto value = m().Kernel().Registry().GetValue(
        "\\REGISTRY\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "TouchCtl");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, uint32_t(REG_SZ));
    // Written without its NUL; NT stores the NUL that follows the data
    // (Wine's advapi32 registry conformance tests, test_set_value).
    EXPECT_EQ(value->data.size(), 2 * (std::strlen("C:\\Program Files\\Touch\\tpanel.exe") + 1));
}

} // namespace
