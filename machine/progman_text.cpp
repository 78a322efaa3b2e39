#include "machine/progman_text.h"

#include <sstream>

namespace machine {

using platform::win32::ProgmanGroup;
using platform::win32::ProgmanItem;

std::string ExportGroups(const std::vector<ProgmanGroup>& groups) {
    std::ostringstream out;
    out << "; the Program Manager's groups and their items\n";
    for (const ProgmanGroup& group : groups) {
        out << "\n[" << group.name << "]\nshown=" << (group.shown ? 1 : 0)
            << "\nshow=" << group.showCommand << "\n";
        for (const ProgmanItem& item : group.items)
            out << "item=" << item.name << "\ncommand=" << item.commandLine
                << "\nicon=" << item.iconPath << "\nindex=" << item.iconIndex << "\n";
    }
    return out.str();
}

std::optional<std::vector<ProgmanGroup>> ImportGroups(const std::string& text) {
    std::vector<ProgmanGroup> groups;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[' && line.back() == ']') {
            groups.push_back({line.substr(1, line.size() - 2), false, 0, {}});
            continue;
        }
        size_t equals = line.find('=');
        if (groups.empty() || equals == std::string::npos)
            return std::nullopt;
        const std::string field = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        ProgmanGroup& group = groups.back();
        if (field == "item") {
            group.items.push_back({value, "", "", 0});
            continue;
        }
        try {
            if (field == "shown")
                group.shown = std::stoi(value) != 0;
            else if (field == "show")
                group.showCommand = std::stoi(value);
            else if (group.items.empty())
                return std::nullopt;
            else if (field == "command")
                group.items.back().commandLine = value;
            else if (field == "icon")
                group.items.back().iconPath = value;
            else if (field == "index")
                group.items.back().iconIndex = std::stoi(value);
            else
                return std::nullopt;
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    return groups;
}

} // namespace machine
