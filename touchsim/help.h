// The text of `touchsim --help`: the command line and every verb.
#pragma once

#include <string>

namespace touchsim {

std::string HelpText();

} // namespace touchsim
