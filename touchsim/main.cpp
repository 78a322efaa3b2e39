// touchsim: the command-line front of the machine.
#include "touchsim/default_scenario.h"
#include "touchsim/help.h"
#include "touchsim/runner.h"
#include "touchsim/story.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string gStateDir; // --state DIR

int Run(const std::string& script, std::vector<std::string>* kept = nullptr) {
    touchsim::RunOptions options;
    options.stateDir = gStateDir;
    options.traceOut = [kept](const std::string& line) {
        std::cout << line << '\n';
        if (kept)
            kept->push_back(line);
    };
    touchsim::RunResult result = touchsim::RunScript(script, options);
    std::cout.flush();
    if (result.exitCode != 0)
        std::cerr << "touchsim: " << result.error << '\n';
    return result.exitCode;
}

// touchsim story [--os 98|2000|xp] [--screen WxH] [--pictures DIR]
int RunStory(int argc, char** argv) {
    touchsim::StoryOptions story;
    for (int i = 2; i < argc; i += 2) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            std::cerr << "touchsim: " << option << " needs a value\n";
            return 2;
        }
        const std::string value = argv[i + 1];
        int width = 0, height = 0;
        char x = 0, extra = 0;
        if (option == "--os" && (value == "98" || value == "2000" || value == "xp")) {
            story.os = value;
        } else if (option == "--screen" &&
                   std::sscanf(value.c_str(), "%d%c%d%c", &width, &x, &height, &extra) == 3 &&
                   x == 'x' && width >= 640 && height >= 480 && width <= 4096 && height <= 4096) {
            story.width = width;
            story.height = height;
        } else if (option == "--pictures" && !value.empty()) {
            story.picturesDir = value;
        } else {
            std::cerr << "touchsim: bad story option " << option << ' ' << value
                      << " (--os 98|2000|xp, --screen WxH from 640x480 to 4096x4096, "
                         "--pictures DIR)\n";
            return 2;
        }
    }
    if (story.picturesDir.empty())
        return Run(touchsim::StoryScript(story));
    std::error_code error;
    std::filesystem::create_directories(story.picturesDir, error);
    if (error) {
        std::cerr << "touchsim: cannot make " << story.picturesDir << '\n';
        return 1;
    }
    std::vector<std::string> trace;
    const int code = Run(touchsim::StoryScript(story), &trace);
    const std::string index = story.picturesDir + "/index.html";
    std::ofstream page(index, std::ios::binary);
    page << touchsim::StoryIndexPage("The touch screen package on Windows " + story.os, trace);
    if (!page) {
        std::cerr << "touchsim: cannot write " << index << '\n';
        return 1;
    }
    return code;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--state") {
        gStateDir = argv[2];
        argv[2] = argv[0];
        argv += 2;
        argc -= 2;
    }
    std::string first = argc > 1 ? argv[1] : "";
    if (argc == 1)
        return Run(touchsim::DefaultScenario());
    if (argc == 2 && (first == "--help" || first == "-h")) {
        std::cout << touchsim::HelpText();
        return 0;
    }
    if (argc == 2 && first == "--default") {
        std::cout << touchsim::DefaultScenario();
        return 0;
    }
    if (first == "story")
        return RunStory(argc, argv);
    if (argc == 3 && first == "run") {
        std::ifstream file(argv[2], std::ios::binary);
        if (!file) {
            std::cerr << "touchsim: cannot read " << argv[2] << '\n';
            return 2;
        }
        std::ostringstream text;
        text << file.rdbuf();
        return Run(text.str());
    }
    std::cerr << "touchsim: unknown arguments; see touchsim --help\n";
    return 2;
}
