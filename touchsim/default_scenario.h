// The scenario `touchsim` runs without a script: the screen plugged in, a
// few touches in each touch mode, a standby and resume, the screen pulled
// out.
#pragma once

#include <string>

namespace touchsim {

const std::string& DefaultScenario();

} // namespace touchsim
