// The uninstaller on the machine: what Cancel leaves, which procedure each
// system gets, and what the removal leaves behind.
#include "tests/panel/panel_fixture.h"

#include <gmock/gmock.h>

#include <optional>

namespace panel_testing {
namespace {

using platform::win32::OsKind;
using platform::win32::OsVersion;
using ::testing::Contains;
using ::testing::HasSubstr;

const char* const kRemover = "C:\\UsbTouch\\remover.exe";
const char* const kAutostartNames[] = {"Dezoder", "ChgFile", "TouchCtl", "beep"};

class RemoverRun : public PanelTest {
public:
    explicit RemoverRun(OsKind os) : PanelTest(os) {}
    void TestBody() override {}
    using PanelTest::Count;
    using PanelTest::m;
    using PanelTest::SetText;
    using PanelTest::Since;
    using PanelTest::Text;

    // An installation with every autostart value, keyflip running, and a
    // directory named like a listed file.
    void Prepare(const char* osflg) {
        Installed();
        m.Disk().PutImage(kRemover, "remover");
        m.Disk().PutText("C:\\UsbTouch\\beep.dll", "dll");
        m.Disk().MakeDirectories("C:\\UsbTouch\\guidebk.gid");
        if (osflg != nullptr)
            SetText(kSettings, "osflg", osflg);
        for (const char* name : kAutostartNames)
            SetText(kRun, name, "C:\\UsbTouch\\tpanel.exe");
        m.StartProgram("C:\\UsbTouch\\keyflip.exe");
        Mark();
        m.StartProgram(kRemover);
        ASSERT_NE(FindWindowA(nullptr, "UninstallV9.0"), nullptr);
    }

    void Press(const char* button) {
        m.User().AnswerNextMessageBox(IDOK);
        ASSERT_TRUE(m.User().ClickControl(button));
        m.Wait(2000);
    }

    // Position of the first line holding part, or npos.
    size_t Where(const std::string& part) {
        auto lines = Since();
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].find(part) != std::string::npos)
                return i;
        return std::string::npos;
    }
};

TEST(Remover, CancelRemovesNothing) {
    RemoverRun run(OsKind::WindowsXP);
    run.Prepare("xp");
    run.Press("Cancel");
    EXPECT_EQ(run.Count("reg delete"), 0u);
    EXPECT_EQ(run.Count("reg set"), 0u);
    EXPECT_EQ(run.Count("file delete"), 0u);
    EXPECT_EQ(run.Count("dde execute"), 0u);
    EXPECT_EQ(run.Count("device remove"), 0u);
    EXPECT_EQ(run.Count("msgbox"), 0u);
    EXPECT_THAT(run.Since(), Contains("program exit name=remover code=0"));
    for (const char* name : kAutostartNames)
        EXPECT_NE(run.Text(kRun, name), "(none)") << name;
}

struct ProcedureCase {
    const char* what;
    OsKind os;
    std::optional<OsVersion> version;
    const char* osflg;
    const char* procedure; // "98", "2000" or "XP"
};

TEST(Remover, ProcedurePerSystemAndWhatItLeaves) {
    OsVersion nt52;
    nt52.minor = 2;
    nt52.build = 3790;
    OsVersion nt40;
    nt40.major = 4;
    nt40.minor = 0;
    nt40.build = 1381;
    const ProcedureCase cases[] = {
        {"XP", OsKind::WindowsXP, std::nullopt, "xp", "XP"},
        {"2000 with osflg XP", OsKind::Windows2000, std::nullopt, "XP", "XP"},
        {"2000 without osflg", OsKind::Windows2000, std::nullopt, nullptr, "2000"},
        {"2000 with osflg 98", OsKind::Windows2000, std::nullopt, "98", "2000"},
        {"NT 5.2", OsKind::WindowsXP, nt52, "xp", "XP"},
        {"NT 4.0", OsKind::WindowsXP, nt40, "xp", "98"},
        {"98", OsKind::Windows98, std::nullopt, "98", "98"},
    };
    for (const ProcedureCase& c : cases) {
        SCOPED_TRACE(c.what);
        RemoverRun run(c.os);
        if (c.version)
            platform::win32::System::Current().SetVersion(*c.version);
        std::string procedure = c.procedure;
        // Only a matching description goes, ignoring case, and only 0000-0019.
        const std::string enumRoot = "Enum\\Root\\TouchScreen\\";
        run.SetText((enumRoot + "0003").c_str(), "DeviceDesc",
                    "WIN98 USB INFRARED TOUCHSCREEN SERVICE");
        run.SetText((enumRoot + "0004").c_str(), "DeviceDesc", "another screen");
        run.SetText((enumRoot + "0020").c_str(), "DeviceDesc",
                    "win98 usb infrared touchscreen Service");
        run.Prepare(c.osflg);
        run.Press("Ok");
        EXPECT_EQ(run.Text((enumRoot + "0003").c_str(), "DeviceDesc") == "(none)",
                  procedure == "98");
        EXPECT_NE(run.Text((enumRoot + "0004").c_str(), "DeviceDesc"), "(none)");
        EXPECT_NE(run.Text((enumRoot + "0020").c_str(), "DeviceDesc"), "(none)");

        // The final box; 98's spelling differs.
        EXPECT_EQ(run.Count(std::string("msgbox caption=\"Prompt\" text=\"Uninstall finished,") +
                            (procedure == "98" ? "p" : "P") + "lease reboot your computer\""),
                  1u);
        EXPECT_EQ(run.Count("Pelmo98.sys"), procedure == "98" ? 1u : 0u);
        EXPECT_EQ(run.Count("Pelmo2k.SYS"), procedure == "2000" ? 1u : 0u);
        EXPECT_EQ(run.Count("device remove instance=ROOT\\TOUCHSCREEN"),
                  procedure == "XP" ? 1u : 0u);

        // Both groups, the setup's first.
        size_t setupGroup = run.Where("[DeleteGroup(Orvan Infrared Touch Screen)]");
        size_t oldGroup = run.Where("[DeleteGroup(Vantic Infrared Touch Screen)]");
        EXPECT_NE(setupGroup, std::string::npos);
        EXPECT_LT(setupGroup, oldGroup);

        // keyflip gone before its file; the running remover and the
        // directory stay.
        size_t keyflipExit = run.Where("program exit name=keyflip");
        EXPECT_NE(keyflipExit, std::string::npos);
        EXPECT_LT(keyflipExit, run.Where("keyflip.exe\""));
        for (const char* file :
             {"tpanel.exe", "keyflip.exe", "guidebk.hlp", "beep.dll", "beep.exe"})
            EXPECT_FALSE(run.m.Disk().Exists(std::string("C:\\UsbTouch\\") + file)) << file;
        EXPECT_TRUE(run.m.Disk().Exists(kRemover));
        EXPECT_TRUE(run.m.Disk().Exists("C:\\UsbTouch\\guidebk.gid"));

        for (const char* name : kAutostartNames)
            EXPECT_EQ(run.Text(kRun, name), "(none)") << name;
        EXPECT_EQ(run.Text(kSettings, "IsCfg"), "YES");
        EXPECT_EQ(run.Count("reg delete HKLM\\SOFTWARE\\Touch"), 0u);
        EXPECT_THAT(run.Since(), Contains("program exit name=remover code=0"));
    }
}

} // namespace
} // namespace panel_testing
