// The scripted user at the machine's screen and keyboard. Every verb acts
// through the system's input queue, as a person would (a click on a
// disabled button does nothing, a click on a window behind a modal dialog is
// dropped), then runs the programs until they are idle again. Each verb
// leaves a trace line ("user click x=10 y=20", "user key vk=13", ...).
#pragma once

#include "platform/win32/win_user.h"

#include <optional>
#include <string>

namespace platform::win32 {

class ScriptedUser {
public:
    // Moves the pointer to a screen position and clicks the left button.
    void ClickAt(int x, int y);
    // Clicks the centre of a visible control of the foreground window found
    // by identifier, or by its text ('&' mnemonics ignored). False (and no
    // click) when there is no such control.
    bool ClickControl(int id);
    bool ClickControl(const std::string& text);
    // Presses at one point, moves to another and releases there.
    void Drag(POINT from, POINT to);

    // A key pressed and released; Enter and Escape reach a dialog as its
    // default and cancel commands.
    void PressKey(UINT virtualKey);
    void PressEnter() { PressKey(VK_RETURN); }
    void PressEscape() { PressKey(VK_ESCAPE); }
    // Characters typed into the focus.
    void Type(const std::string& text);

    // Queues the button (IDOK, IDYES ...) that answers the next message box
    // that opens. A box with no queued answer stays open until clicked.
    void AnswerNextMessageBox(int button);
    size_t PendingAnswers() const;
    // Queues the answer to the next folder browser that opens: that folder
    // and OK, or (nullopt) Cancel.
    void AnswerNextFolderBrowser(const std::optional<std::string>& folder);

    // Opens the drop-down list of a combo box of the foreground window and
    // clicks the item with that text. False when either is missing.
    bool ChooseComboItem(int id, const std::string& item);
    // Clicks the item with that text in the open pop-up menu.
    bool ChooseMenuItem(const std::string& text);
    // Picks an item of the foreground window's system menu, which sends it
    // WM_SYSCOMMAND with the item's identifier.
    bool ChooseSystemMenuItem(const std::string& text);

    // The window that keyboard input and ClickControl address.
    HWND Foreground() const;
    // A control of the foreground window by identifier or text, or nullptr.
    HWND FindControl(int id) const;
    HWND FindControl(const std::string& text) const;
};

} // namespace platform::win32
