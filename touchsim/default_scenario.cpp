#include "touchsim/default_scenario.h"

#include "touchsim/story.h"

namespace touchsim {

const std::string& DefaultScenario() {
    static const std::string script = StoryScript(StoryOptions{});
    return script;
}

} // namespace touchsim
