// The package's whole life on one machine, as a script: a fresh system with
// the screen attached and nothing installed; setup from the media, the
// restart, the first calibration at log-on; touches in each touch mode; the
// stability changed and saved; standby and resume; the screen pulled out and
// back; the uninstaller and the restart after which a touch moves nothing.
#pragma once

#include <string>
#include <vector>

namespace touchsim {

struct StoryOptions {
    std::string os = "xp"; // 98, 2000 or xp
    int width = 1024;
    int height = 768;
    // Where the pictures go (FOLDER/NN-name.png at each step worth seeing);
    // empty: none.
    std::string picturesDir;
};

std::string StoryScript(const StoryOptions& options);

// The index page of a story run with pictures: each picture in order, the
// trace lines that led to it between them. Returns the HTML text.
std::string StoryIndexPage(const std::string& title, const std::vector<std::string>& trace);

} // namespace touchsim
