// A machine with tpanel on it: registry set-up as setup leaves it, the
// panel's windows and controls, and the trace since a mark.
#pragma once

#include "machine/machine.h"
#include "platform/win32/windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace panel_testing {

inline const char* const kSettings = "SOFTWARE\\Touch\\UsbConfig";
inline const char* const kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const char* const kMainCaption = "Orvan USB infrared touch screen V10.0";

class PanelTest : public ::testing::Test {
protected:
    explicit PanelTest(platform::win32::OsKind os = platform::win32::OsKind::WindowsXP)
        : m(machine::MachineConfig{os, 1024, 768}) {}
    ~PanelTest() override {
        m.Shutdown();
        for (const auto& violation : m.Violations())
            ADD_FAILURE() << violation.rule << ": " << violation.detail;
    }

    void SetText(const char* path, const char* name, const char* text) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(std::string(text).size()));
        RegCloseKey(key);
    }

    // The text of a value, or "(none)".
    std::string Text(const char* path, const char* name) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return "(none)";
        char text[64] = "";
        DWORD size = sizeof text - 1;
        LONG error =
            RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
        RegCloseKey(key);
        return error == ERROR_SUCCESS ? std::string(text, strnlen(text, size)) : "(none)";
    }

    // The programs' files as setup copies them.
    void ProgramFiles() {
        m.Disk().PutImage("C:\\UsbTouch\\tpanel.exe", "tpanel");
        m.Disk().PutImage("C:\\UsbTouch\\keyflip.exe", "keyflip");
        m.Disk().PutImage("C:\\UsbTouch\\beep.exe", "beep");
        m.Disk().PutText("C:\\UsbTouch\\guidebk.hlp", "help");
    }

    // A calibrated installation with the screen plugged in.
    void Installed(bool files = true) {
        if (files)
            ProgramFiles();
        SetText(kSettings, "IsCfg", "YES");
        SetText(kSettings, "doneMode", "1");
        SetText(kSettings, "moveSlider", "30");
        SetText(kSettings, "Kx", "1.0");
        SetText(kSettings, "Ky", "1.0");
        SetText(kSettings, "Cx", "0.0");
        SetText(kSettings, "Cy", "0.0");
        HKEY run;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRun, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &run, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(run);
        m.PlugScreen();
    }

    void StartPanel() {
        if (!m.Disk().Exists("C:\\UsbTouch\\tpanel.exe"))
            m.Disk().PutImage("C:\\UsbTouch\\tpanel.exe", "tpanel");
        m.StartProgram("C:\\UsbTouch\\tpanel.exe");
        main = FindWindowA(nullptr, kMainCaption);
        ASSERT_NE(main, nullptr);
    }

    HWND Item(int id) { return GetDlgItem(main, id); }

    // From here on, Since() sees only new lines.
    void Mark() { mark = m.TraceLines().size(); }

    // The trace lines since the mark, without their times.
    std::vector<std::string> Since() {
        std::vector<std::string> lines = m.TraceLines();
        std::vector<std::string> events;
        for (size_t i = mark; i < lines.size(); ++i)
            events.push_back(lines[i].substr(lines[i].find(' ') + 1));
        return events;
    }

    size_t Count(const std::string& part) {
        auto lines = Since();
        return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) {
            return l.find(part) != std::string::npos;
        }));
    }

    machine::Machine m;
    HWND main = nullptr;
    size_t mark = 0;
};

} // namespace panel_testing
