// The shell's Program Manager as a DDE server (service and topic
// "PROGMAN"): it keeps groups of items and answers the execute commands
// CreateGroup, ShowGroup, AddItem and DeleteGroup.
//
// Host side: the machine constructs one; it outlives restarts as the
// groups on a real disk do. Stopped, it answers no connection, so a
// client's commands fail silently. Without one, DdeInitializeA fails
// (DMLERR_SYS_ERROR), as when the library cannot be initialised.
//
// Trace line per execute that reaches it: dde execute "<command>" [error=0x4009]
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace platform::win32 {

struct ProgmanItem {
    std::string name;
    std::string commandLine;
    std::string iconPath;
    int iconIndex = 0;
};

struct ProgmanGroup {
    std::string name;
    bool shown = false;
    int showCommand = 0;
    std::vector<ProgmanItem> items;
};

class ProgramManager {
public:
    ProgramManager(); // becomes the current one
    ~ProgramManager();
    ProgramManager(const ProgramManager&) = delete;
    ProgramManager& operator=(const ProgramManager&) = delete;

    static ProgramManager* TryCurrent();

    void SetRunning(bool running) { running_ = running; }
    bool Running() const { return running_; }
    // DdeInitializeA fails while set.
    void SetDdeBroken(bool broken) { ddeBroken_ = broken; }
    bool DdeBroken() const { return ddeBroken_; }

    const std::vector<ProgmanGroup>& Groups() const { return groups_; }
    // Host side: the groups a kept machine had (none active for AddItem).
    void SetGroups(std::vector<ProgmanGroup> groups) {
        groups_ = std::move(groups);
        active_ = -1;
    }
    const ProgmanGroup* Find(const std::string& name) const;

    // One execute string ("[Cmd(args)][Cmd2(...)]"); false when a command is
    // unknown or malformed (those before it stay done).
    bool Execute(const std::string& commands);

private:
    bool Run(const std::string& command, const std::vector<std::string>& arguments);

    bool running_ = true;
    bool ddeBroken_ = false;
    std::vector<ProgmanGroup> groups_;
    int active_ = -1; // the group AddItem adds to
    ProgramManager* previous_ = nullptr;
};

} // namespace platform::win32
