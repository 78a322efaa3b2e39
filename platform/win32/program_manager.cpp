#include "platform/win32/program_manager.h"

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <strings.h>

namespace platform::win32 {
namespace {

std::atomic<ProgramManager*> gCurrent{nullptr};

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    size_t end = text.find_last_not_of(" \t");
    return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

// Arguments split at commas outside double quotes; quotes removed.
std::vector<std::string> Arguments(const std::string& text) {
    std::vector<std::string> arguments;
    std::string current;
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted) {
            arguments.push_back(Trim(current));
            current.clear();
        } else
            current += c;
    }
    arguments.push_back(Trim(current));
    return arguments;
}

} // namespace

ProgramManager::ProgramManager() {
    previous_ = gCurrent.exchange(this);
}

ProgramManager::~ProgramManager() {
    ProgramManager* self = this;
    gCurrent.compare_exchange_strong(self, previous_);
}

ProgramManager* ProgramManager::TryCurrent() {
    return gCurrent.load();
}

const ProgmanGroup* ProgramManager::Find(const std::string& name) const {
    for (const ProgmanGroup& group : groups_) {
        if (strcasecmp(group.name.c_str(), name.c_str()) == 0)
            return &group;
    }
    return nullptr;
}

bool ProgramManager::Execute(const std::string& commands) {
    size_t at = 0;
    bool any = false;
    while (at < commands.size()) {
        size_t open = commands.find('[', at);
        if (open == std::string::npos)
            break;
        // The closing bracket after the closing parenthesis: quoted texts may hold both.
        size_t paren = commands.find('(', open);
        size_t close = commands.find(")]", open);
        if (paren == std::string::npos || close == std::string::npos || paren > close)
            return false;
        std::string command = Trim(commands.substr(open + 1, paren - open - 1));
        if (!Run(command, Arguments(commands.substr(paren + 1, close - paren - 1))))
            return false;
        any = true;
        at = close + 2;
    }
    return any;
}

bool ProgramManager::Run(const std::string& command, const std::vector<std::string>& arguments) {
    auto index = [this](const std::string& name) {
        for (size_t i = 0; i < groups_.size(); ++i) {
            if (strcasecmp(groups_[i].name.c_str(), name.c_str()) == 0)
                return static_cast<int>(i);
        }
        return -1;
    };
    const std::string& first = arguments[0];
    if (strcasecmp(command.c_str(), "CreateGroup") == 0) {
        if (first.empty())
            return false;
        // An existing group is only made active.
        active_ = index(first);
        if (active_ < 0) {
            groups_.push_back(ProgmanGroup{first, false, 0, {}});
            active_ = static_cast<int>(groups_.size()) - 1;
        }
        return true;
    }
    if (strcasecmp(command.c_str(), "ShowGroup") == 0) {
        int found = index(first);
        if (found < 0 || arguments.size() < 2)
            return false;
        groups_[found].shown = true;
        groups_[found].showCommand = std::atoi(arguments[1].c_str());
        active_ = found;
        return true;
    }
    if (strcasecmp(command.c_str(), "AddItem") == 0) {
        if (active_ < 0 || first.empty())
            return false;
        ProgmanItem item;
        item.commandLine = first;
        item.name = arguments.size() > 1 ? arguments[1] : "";
        item.iconPath = arguments.size() > 2 ? arguments[2] : "";
        item.iconIndex = arguments.size() > 3 ? std::atoi(arguments[3].c_str()) : 0;
        groups_[active_].items.push_back(item);
        return true;
    }
    if (strcasecmp(command.c_str(), "DeleteGroup") == 0) {
        int found = index(first);
        if (found < 0)
            return false;
        groups_.erase(groups_.begin() + found);
        active_ = -1;
        return true;
    }
    return false;
}

} // namespace platform::win32
