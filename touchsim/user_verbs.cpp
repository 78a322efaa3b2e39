// start, click, answer, key, picture: the scripted user at the machine.
#include "touchsim/numbers.h"
#include "touchsim/script_error.h"
#include "touchsim/verb_table.h"

#include "platform/win32/windows.h"

#include <cctype>

namespace touchsim::detail {
namespace {

Action ParseStart(const ScriptLine& line) {
    std::string name = Need(line, 1, "PATH or NAME");
    std::string arguments = line.RestFrom(2);
    return [=](Session& session) { session.Machine().StartProgram(name, arguments); };
}

// The remaining words joined by single blanks.
std::string Joined(const ScriptLine& line, size_t from) {
    std::string text;
    for (size_t i = from; i < line.words.size(); ++i)
        text += (i > from ? " " : "") + line.words[i].text;
    return text;
}

Action ParseClick(const ScriptLine& line) {
    const std::string& first = Need(line, 1, "X, id or text");
    const int number = line.number;
    if (first == "id") {
        NoMoreThan(line, 3);
        int id = static_cast<int>(ParseUnsigned(number, Need(line, 2, "ID"), 0xFFFF));
        return [=](Session& session) {
            if (!session.Machine().User().ClickControl(id))
                throw ScriptError(number,
                                  "no control " + std::to_string(id) + " in the foreground window");
        };
    }
    if (first == "text") {
        Need(line, 2, "TEXT");
        std::string text = Joined(line, 2);
        return [=](Session& session) {
            if (!session.Machine().User().ClickControl(text))
                throw ScriptError(number, "no control \"" + text + "\" in the foreground window");
        };
    }
    NoMoreThan(line, 3);
    int x = static_cast<int>(ParseUnsigned(number, first, 16383));
    int y = static_cast<int>(ParseUnsigned(number, Need(line, 2, "Y"), 16383));
    return [=](Session& session) { session.Machine().User().ClickAt(x, y); };
}

Action ParseAnswer(const ScriptLine& line) {
    NoMoreThan(line, 2);
    static const struct {
        const char* name;
        int button;
    } kButtons[] = {{"ok", IDOK},       {"cancel", IDCANCEL}, {"abort", IDABORT},
                    {"retry", IDRETRY}, {"ignore", IDIGNORE}, {"yes", IDYES},
                    {"no", IDNO}};
    std::string name = Need(line, 1, "BUTTON");
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& known : kButtons) {
        if (name == known.name) {
            int button = known.button;
            return [button](Session& session) {
                session.Machine().User().AnswerNextMessageBox(button);
            };
        }
    }
    throw ScriptError(line.number, "bad button \"" + line.words[1].text +
                                       "\" (ok, cancel, abort, retry, ignore, yes, no)");
}

Action ParseBrowse(const ScriptLine& line) {
    std::string folder = Need(line, 1, "PATH or cancel");
    if (folder == "cancel") {
        NoMoreThan(line, 2);
        return [](Session& session) {
            session.Machine().User().AnswerNextFolderBrowser(std::nullopt);
        };
    }
    folder = Joined(line, 1);
    return [folder](Session& session) { session.Machine().User().AnswerNextFolderBrowser(folder); };
}

Action ParseKey(const ScriptLine& line) {
    NoMoreThan(line, 2);
    const std::string& key = Need(line, 1, "enter or escape");
    if (key == "enter")
        return [](Session& session) { session.Machine().User().PressEnter(); };
    if (key == "escape")
        return [](Session& session) { session.Machine().User().PressEscape(); };
    throw ScriptError(line.number, "bad key \"" + key + "\" (enter or escape)");
}

Action ParsePicture(const ScriptLine& line) {
    NoMoreThan(line, 2);
    std::string path = Need(line, 1, "FILE");
    const int number = line.number;
    return [=](Session& session) {
        if (!session.Machine().SaveScreenPicture(path))
            throw ScriptError(number, "cannot write the picture to \"" + path + "\"");
    };
}

} // namespace

std::vector<VerbSpec> UserVerbs() {
    return {
        {"start", "start PATH|NAME [ARGUMENTS]",
         "Starts the program whose image file is at PATH on the machine's disk (see disk "
         "image), or a program of the machine's catalogue by NAME, with that command line.",
         true, ParseStart},
        {"click", "click X Y | click id ID | click text TEXT",
         "The user clicks the left button at a screen position, or on the centre of a control "
         "of the foreground window found by identifier or by text ('&' ignored).",
         false, ParseClick},
        {"answer", "answer ok|cancel|abort|retry|ignore|yes|no",
         "Answers the next message box that opens with that button.", false, ParseAnswer},
        {"browse", "browse PATH | browse cancel",
         "Answers the next folder browser that opens: chooses the folder PATH (which must "
         "exist) and OK, or Cancel.",
         false, ParseBrowse},
        {"key", "key enter | key escape", "The user presses Enter or Escape.", false, ParseKey},
        {"picture", "picture FILE",
         "Saves a picture of the screen to FILE, PNG when FILE ends in .png, else SVG: windows, "
         "controls, drawing, pointer.",
         false, ParsePicture},
    };
}

} // namespace touchsim::detail
