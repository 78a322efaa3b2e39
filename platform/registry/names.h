// Registry name rules shared by the store and the calls built on it: names
// compare without regard to (ASCII) case, and a path is a backslash-separated
// list of non-empty key names.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace platform::registry {

bool NamesEqual(std::string_view a, std::string_view b);

// "" gives no components; an empty component ("a\\b", "\a", "a\") gives nullopt.
std::optional<std::vector<std::string_view>> SplitPath(std::string_view path);

} // namespace platform::registry
