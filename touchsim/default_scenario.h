// The scenario `touchsim` runs without a script: the package's whole life on
// a fresh Windows XP machine at 1024 x 768 (story.h).
#pragma once

#include <string>

namespace touchsim {

const std::string& DefaultScenario();

} // namespace touchsim
