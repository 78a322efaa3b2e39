// windrive: plays a small script against the real programs under Wine, as a
// person at the keyboard would, through window messages only, and logs what
// it saw. One command per line; '#' starts a comment; arguments with spaces
// are quoted:
//   start PATH                     starts a program (not waited for)
//   window TITLE [MS]              waits for a visible top-level window and logs its controls
//   gone TITLE [MS]                waits until no such window is left
//   click TITLE TEXT               clicks the button showing TEXT ('&' ignored)
//   settext TITLE ID TEXT          replaces the text of control ID
//   shot TITLE FILE                saves a picture of the window (24-bit BMP)
//   exit [MS]                      waits for the started program to end, logs its exit code
//   sleep MS
//   list                           logs every visible top-level window
// Any failure logs "FAIL ..." and ends with exit code 1.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

HANDLE g_process = nullptr;

std::vector<std::string> SplitArgs(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        if (i >= line.size())
            break;
        std::string word;
        if (line[i] == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string::npos)
                end = line.size();
            word = line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            size_t end = line.find(' ', i);
            if (end == std::string::npos)
                end = line.size();
            word = line.substr(i, end - i);
            i = end;
        }
        out.push_back(word);
    }
    return out;
}

// WM_GETTEXT, not GetWindowText, which gives another process's controls'
// stored captions rather than what an edit box shows.
std::string TextOf(HWND window) {
    char buffer[4096] = {};
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 2000, &ignored);
    return buffer;
}

std::string WithoutMnemonics(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

std::string ClassOf(HWND window) {
    char buffer[256] = {};
    GetClassNameA(window, buffer, sizeof buffer);
    return buffer;
}

struct Search {
    std::string title;
    HWND found = nullptr;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (IsWindowVisible(window) && TextOf(window) == search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK LogTopLevel(HWND window, LPARAM) {
    if (IsWindowVisible(window))
        std::printf("top-level window \"%s\"\n", TextOf(window).c_str());
    return TRUE;
}

HWND FindTopLevel(const std::string& title) {
    Search search{title};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitTopLevel(const std::string& title, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = FindTopLevel(title))
            return window;
        if (GetTickCount() - start > ms)
            return nullptr;
        Sleep(50);
    }
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> out;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&out));
    return out;
}

void LogControls(const std::string& title, HWND window) {
    std::printf("saw window \"%s\"\n", title.c_str());
    for (HWND child : Children(window)) {
        std::printf("  control id=%d class=%s visible=%d enabled=%d text=\"%s\"\n",
                    GetDlgCtrlID(child), ClassOf(child).c_str(), IsWindowVisible(child) ? 1 : 0,
                    IsWindowEnabled(child) ? 1 : 0, TextOf(child).c_str());
    }
}

bool SaveBitmap(HWND window, const std::string& path) {
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return false;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((width * 3 + 3) / 4) * 4;
    const DWORD imageSize = stride * height;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + imageSize;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(static_cast<const char*>(bits), imageSize);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return static_cast<bool>(out);
}

DWORD Milliseconds(const std::vector<std::string>& args, size_t index, DWORD fallback) {
    return args.size() > index ? std::strtoul(args[index].c_str(), nullptr, 10) : fallback;
}

// Runs one command; false (after logging why) ends the script.
bool Run(const std::vector<std::string>& args) {
    const std::string& verb = args[0];
    if (verb == "start" && args.size() == 2) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        std::string command = "\"" + args[1] + "\"";
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process)) {
            std::printf("FAIL start \"%s\": error %lu\n", args[1].c_str(), GetLastError());
            return false;
        }
        CloseHandle(process.hThread);
        if (g_process)
            CloseHandle(g_process);
        g_process = process.hProcess;
        std::printf("started \"%s\"\n", args[1].c_str());
        return true;
    }
    if (verb == "window" && args.size() >= 2) {
        HWND window = WaitTopLevel(args[1], Milliseconds(args, 2, 15000));
        if (!window) {
            std::printf("FAIL no window \"%s\"\n", args[1].c_str());
            return false;
        }
        Sleep(300); // let the dialog finish its initialisation
        LogControls(args[1], window);
        return true;
    }
    if (verb == "gone" && args.size() >= 2) {
        DWORD start = GetTickCount();
        while (FindTopLevel(args[1])) {
            if (GetTickCount() - start > Milliseconds(args, 2, 15000)) {
                std::printf("FAIL window \"%s\" still open\n", args[1].c_str());
                return false;
            }
            Sleep(50);
        }
        std::printf("gone \"%s\"\n", args[1].c_str());
        return true;
    }
    if ((verb == "click" && args.size() == 3) || (verb == "settext" && args.size() == 4) ||
        (verb == "shot" && args.size() == 3)) {
        HWND window = WaitTopLevel(args[1], 15000);
        if (!window) {
            std::printf("FAIL no window \"%s\"\n", args[1].c_str());
            return false;
        }
        if (verb == "shot") {
            SetForegroundWindow(window);
            Sleep(500);
            bool saved = SaveBitmap(window, args[2]);
            std::printf("%s \"%s\" -> %s\n", saved ? "shot" : "FAIL shot", args[1].c_str(),
                        args[2].c_str());
            return saved;
        }
        for (HWND child : Children(window)) {
            if (verb == "click" && WithoutMnemonics(TextOf(child)) == args[2]) {
                // Posted, so that a handler that opens a modal box does not hold us.
                PostMessageA(child, BM_CLICK, 0, 0);
                std::printf("clicked \"%s\" in \"%s\"\n", args[2].c_str(), args[1].c_str());
                return true;
            }
            if (verb == "settext" && GetDlgCtrlID(child) == std::atoi(args[2].c_str())) {
                SendMessageA(child, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[3].c_str()));
                std::printf("set text of %s in \"%s\" to \"%s\"\n", args[2].c_str(),
                            args[1].c_str(), args[3].c_str());
                return true;
            }
        }
        std::printf("FAIL no control \"%s\" in \"%s\"\n", args[2].c_str(), args[1].c_str());
        return false;
    }
    if (verb == "exit") {
        if (!g_process ||
            WaitForSingleObject(g_process, Milliseconds(args, 1, 15000)) != WAIT_OBJECT_0) {
            std::printf("FAIL program did not end\n");
            return false;
        }
        DWORD code = 0;
        GetExitCodeProcess(g_process, &code);
        std::printf("program ended with %lu\n", code);
        return true;
    }
    if (verb == "list") {
        EnumWindows(LogTopLevel, 0);
        return true;
    }
    if (verb == "sleep" && args.size() == 2) {
        Sleep(Milliseconds(args, 1, 0));
        return true;
    }
    std::printf("FAIL bad command \"%s\"\n", verb.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: windrive SCRIPT\n");
        return 2;
    }
    std::ifstream script(argv[1]);
    if (!script) {
        std::printf("FAIL cannot read \"%s\"\n", argv[1]);
        return 2;
    }
    std::string line;
    while (std::getline(script, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> args = SplitArgs(line);
        if (args.empty() || args[0][0] == '#')
            continue;
        std::fflush(stdout);
        if (!Run(args)) {
            std::fflush(stdout);
            return 1;
        }
    }
    std::fflush(stdout);
    return 0;
}
