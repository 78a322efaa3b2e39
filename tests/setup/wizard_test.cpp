// The setup wizard run from a copy of the build's media on D: of a fresh
// machine, clicked through as a person would: which OS choice each system
// offers, the pages' buttons and the path page, and what a failed copy or a
// failed driver installation leaves.
#include "machine/machine.h"
#include "platform/win32/windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using machine::Machine;
using machine::MachineConfig;
using platform::win32::OsKind;

namespace fs = std::filesystem;

class Wizard {
public:
    explicit Wizard(OsKind os, const char* missingMediaFile = nullptr) {
        MachineConfig config{os, 1024, 768};
        config.fresh = true;
        m = std::make_unique<Machine>(config);
        media = m->Disk().HostRoot().parent_path() /
                (m->Disk().HostRoot().filename().string() + "-media");
        fs::copy(SETUP_MEDIA_DIR, media, fs::copy_options::recursive);
        if (missingMediaFile != nullptr)
            fs::remove(media / missingMediaFile);
        m->InsertMedia(media.string());
        m->StartProgram("D:\\setup.exe");
    }
    ~Wizard() {
        m->Shutdown();
        for (const auto& violation : m->Violations())
            ADD_FAILURE() << violation.rule << ": " << violation.detail;
        m.reset();
        fs::remove_all(media);
    }

    // Past the background's first second and the progress page's five.
    void ToLicence() {
        m->Wait(6000);
        ASSERT_TRUE(Open("Licence"));
    }
    void ToOsType() {
        ToLicence();
        Click("I agree");
        Click("Next");
        ASSERT_TRUE(Open("OS TYPE"));
    }
    void ToPath() {
        ToOsType();
        Click(m->Config().os == OsKind::Windows98 ? "USB WINDOW98 Device Drvier"
                                                  : "USB Win2k/XP driver");
        Click("Next");
        ASSERT_TRUE(Open("Select path"));
    }
    // With the default path, created on the question.
    void ToInstall() {
        ToPath();
        m->User().AnswerNextMessageBox(IDYES);
        Click("Next");
        ASSERT_TRUE(Open("Install"));
    }

    void Click(const std::string& text) { ASSERT_TRUE(m->User().ClickControl(text)) << text; }
    bool Open(const char* caption) { return FindWindowA(nullptr, caption) != nullptr; }
    HWND Page() { return m->User().Foreground(); }
    HWND Item(int id) { return GetDlgItem(Page(), id); }
    bool Enabled(int id) { return IsWindowEnabled(Item(id)) != FALSE; }
    bool Checked(int id) { return IsDlgButtonChecked(Page(), id) == BST_CHECKED; }
    std::string Text(int id) {
        char text[1100] = "";
        GetWindowTextA(Item(id), text, sizeof text);
        return text;
    }
    void SetPath(const std::string& path) {
        SetWindowTextA(Item(kPath), path.c_str());
        m->Settle();
    }
    size_t Count(const std::string& part) {
        auto lines = m->TraceLines();
        return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) {
            return l.find(part) != std::string::npos;
        }));
    }
    bool Ended() { return Count("program exit name=setup") == 1; }

    static constexpr int kOs98 = 1007, kOs2000 = 1008, kOsXp = 1009, kNext = 1003, kPath = 1013;

    std::unique_ptr<Machine> m;
    fs::path media;
};

struct OsCase {
    OsKind os;
    bool win98Enabled;
    bool xpEnabled;
};

TEST(SetupWizard, EachSystemOffersOnlyItsOwnChoice) {
    for (const OsCase& c :
         {OsCase{OsKind::Windows98, true, false}, OsCase{OsKind::Windows2000, false, true},
          OsCase{OsKind::WindowsXP, false, true}}) {
        Wizard w(c.os);
        w.ToOsType();
        SCOPED_TRACE(static_cast<int>(c.os));
        EXPECT_EQ(w.Enabled(Wizard::kOs98), c.win98Enabled);
        EXPECT_EQ(w.Enabled(Wizard::kOsXp), c.xpEnabled);
        EXPECT_FALSE(w.Enabled(Wizard::kOs2000));
        EXPECT_FALSE(IsWindowVisible(w.Item(Wizard::kOs2000)));
        EXPECT_EQ(w.Text(Wizard::kOsXp), "USB Win2k/XP driver");
        EXPECT_FALSE(w.Enabled(Wizard::kNext));
    }
}

TEST(SetupWizard, ProgressPageClosesOnItsFifthTick) {
    Wizard w(OsKind::WindowsXP);
    w.m->Wait(1000 + 4500);
    EXPECT_TRUE(w.Open("Install guide"));
    w.m->Wait(500);
    EXPECT_FALSE(w.Open("Install guide"));
    EXPECT_TRUE(w.Open("Licence"));
}

TEST(SetupWizard, LicenceNeedsAgreementAndExitInstallsNothing) {
    Wizard w(OsKind::WindowsXP);
    w.ToLicence();
    EXPECT_FALSE(w.Enabled(Wizard::kNext));
    w.Click("I agree");
    EXPECT_TRUE(w.Enabled(Wizard::kNext));
    w.Click("I don't agree");
    EXPECT_FALSE(w.Enabled(Wizard::kNext));
    // Enter is no way round the agreement.
    w.m->User().PressEnter();
    EXPECT_TRUE(w.Open("Licence"));
    w.Click("Exit");
    EXPECT_TRUE(w.Ended());
    EXPECT_EQ(w.Count("reg set"), 0u);
    EXPECT_EQ(w.Count("file create"), 0u);
    EXPECT_EQ(w.Count("device create"), 0u);
}

TEST(SetupWizard, OsChoiceShowsAgainButNextWaitsForAClick) {
    Wizard w(OsKind::WindowsXP);
    w.ToPath();
    w.Click("Prev");
    ASSERT_TRUE(w.Open("OS TYPE"));
    EXPECT_TRUE(w.Checked(Wizard::kOsXp));
    EXPECT_FALSE(w.Enabled(Wizard::kNext));
    w.Click("USB Win2k/XP driver");
    EXPECT_TRUE(w.Enabled(Wizard::kNext));
}

TEST(SetupWizard, PathPageKeepsThePathAndWritesDefaultsOnEachConfirmation) {
    Wizard w(OsKind::WindowsXP);
    w.ToPath();
    EXPECT_EQ(w.Text(Wizard::kPath), "C:\\UsbTouch");
    w.m->Disk().MakeDirectories("C:\\Touch");
    w.SetPath("C:\\Touch");
    w.Click("Next");
    ASSERT_TRUE(w.Open("Install"));
    w.Click("Prev");
    ASSERT_TRUE(w.Open("Select path"));
    EXPECT_EQ(w.Text(Wizard::kPath), "C:\\Touch");
    w.Click("Next");
    ASSERT_TRUE(w.Open("Install"));
    EXPECT_EQ(w.Count("reg set HKLM\\SOFTWARE\\Touch\\UsbConfig\\XArray"), 2u);
    // Exit undoes nothing.
    w.Click("Exit");
    EXPECT_TRUE(w.Ended());
    EXPECT_EQ(w.Count("IsCfg REG_SZ \"no\""), 2u);
}

TEST(SetupWizard, ClearedPathDisablesNext) {
    Wizard w(OsKind::WindowsXP);
    w.ToPath();
    EXPECT_TRUE(w.Enabled(Wizard::kNext));
    w.SetPath("");
    EXPECT_FALSE(w.Enabled(Wizard::kNext));
    w.SetPath("C:\\x");
    EXPECT_TRUE(w.Enabled(Wizard::kNext));
}

struct PathCase {
    const char* what;
    const char* existing; // a directory made before, or nullptr
    const char* file;     // a file made before, or nullptr
    const char* path;
    int answer;          // to the question, 0 for none expected
    bool installPage;    // the install page follows
    const char* created; // then a directory, or nullptr
    bool error;          // "Create path error,input again"
};

TEST(SetupWizard, PathPage) {
    const PathCase cases[] = {
        {"existing", "C:\\Touch", nullptr, "C:\\Touch", 0, true, nullptr, false},
        {"missing, Yes", nullptr, nullptr, "C:\\UsbTouch", IDYES, true, "C:\\UsbTouch", false},
        {"missing, No", nullptr, nullptr, "C:\\UsbTouch", IDNO, false, nullptr, false},
        {"two of three levels made", "C:\\One", nullptr, "C:\\One\\Two\\Three", IDYES, true,
         "C:\\One\\Two\\Three", false},
        {"no such drive", nullptr, nullptr, "Q:\\Touch\\Screen", IDYES, false, nullptr, true},
        {"a file in the way", nullptr, "C:\\Touch", "C:\\Touch\\Screen", IDYES, false, nullptr,
         true},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.what);
        Wizard w(OsKind::Windows98);
        w.ToPath();
        if (c.existing != nullptr)
            w.m->Disk().MakeDirectories(c.existing);
        if (c.file != nullptr)
            w.m->Disk().PutText(c.file, "text");
        w.SetPath(c.path);
        if (c.answer != 0) {
            w.m->User().AnswerNextMessageBox(c.answer);
            if (c.error)
                w.m->User().AnswerNextMessageBox(IDOK);
        }
        w.Click("Next");
        EXPECT_EQ(w.Count("The device isn't exist. Do you want to create it."),
                  c.answer != 0 ? 1u : 0u);
        EXPECT_EQ(w.Count("text=\"Create path error,input again\""), c.error ? 1u : 0u);
        EXPECT_EQ(w.Open("Install"), c.installPage);
        EXPECT_EQ(w.Open("Select path"), !c.installPage);
        if (c.created != nullptr) {
            EXPECT_TRUE(w.m->Disk().Exists(c.created));
        }
    }
}

TEST(SetupWizard, FolderBrowserReplacesThePathOrLeavesIt) {
    Wizard w(OsKind::WindowsXP);
    w.ToPath();
    w.m->Disk().MakeDirectories("C:\\Programs\\Touch");
    w.m->User().AnswerNextFolderBrowser("C:\\Programs\\Touch");
    w.Click("Select");
    EXPECT_EQ(w.Text(Wizard::kPath), "C:\\Programs\\Touch");
    w.m->User().AnswerNextFolderBrowser(std::nullopt);
    w.Click("Select");
    EXPECT_EQ(w.Text(Wizard::kPath), "C:\\Programs\\Touch");
    EXPECT_EQ(
        w.Count("browse title=\"Select destination path\" answer=\"C:\\\\Programs\\\\Touch\""), 1u);
    EXPECT_EQ(w.Count("browse title=\"Select destination path\" answer=cancel"), 1u);
}

TEST(SetupWizard, EscapeLeavesFromEveryPage) {
    for (const char* page : {"Licence", "OS TYPE", "Select path", "Install"}) {
        SCOPED_TRACE(page);
        Wizard w(OsKind::WindowsXP);
        std::string name = page;
        if (name == "Licence")
            w.ToLicence();
        else if (name == "OS TYPE")
            w.ToOsType();
        else if (name == "Select path")
            w.ToPath();
        else
            w.ToInstall();
        w.m->User().PressEscape();
        EXPECT_TRUE(w.Ended());
    }
}

TEST(SetupWizard, FailedCopyEndsWithoutDrivers) {
    Wizard w(OsKind::WindowsXP, "tpanel.ex_");
    w.ToInstall();
    w.m->User().AnswerNextMessageBox(IDOK);
    w.Click("Start");
    w.m->Wait(100);
    EXPECT_TRUE(w.Ended());
    EXPECT_EQ(w.Count("device create"), 0u);
    EXPECT_EQ(w.Count("osflg"), 0u);
    EXPECT_EQ(w.Count("machine restart"), 0u);
}

TEST(SetupWizard, FailedClassInstallEndsWithoutGroupOrRestart) {
    Wizard w(OsKind::WindowsXP, "win2kxp/pelmoxp.inf");
    w.ToInstall();
    w.Click("Start");
    w.m->Wait(100);
    EXPECT_TRUE(w.Ended());
    EXPECT_EQ(w.Count("osflg REG_SZ \"xp\""), 1u);
    EXPECT_EQ(w.Count("dde execute"), 0u);
    EXPECT_EQ(w.Count("Install finished"), 0u);
    EXPECT_EQ(w.Count("machine restart"), 0u);
}

} // namespace
