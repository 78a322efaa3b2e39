// touchsim scripts: the lexer, the verb parsers and the runner with a fresh
// machine per script.
//
// Bounded: at most 24 lines, no decimal number over 5000 (waits, holds and
// coordinates stay short on the virtual clock), and no verb that reads or
// writes the host's files (picture, disk, media) or resizes the screen.
// A verifier finding is a crash; every other failure is the script's.
#include "touchsim/lexer.h"
#include "touchsim/runner.h"
#include "touchsim/script_error.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool Bounded(const std::string& script) {
    std::vector<touchsim::ScriptLine> lines;
    try {
        lines = touchsim::SplitScript(script);
    } catch (const touchsim::ScriptError&) {
        return true; // the runner refuses it before anything runs
    }
    if (lines.size() > 24)
        return false;
    for (const touchsim::ScriptLine& line : lines) {
        const std::string& verb = line.words.front().text;
        if (verb == "picture" || verb == "disk" || verb == "media")
            return false;
        for (const touchsim::Word& word : line.words) {
            if (word.text.find("screen=") != std::string::npos)
                return false;
            const std::string& text = word.text;
            const size_t digits = text.find_first_not_of("0123456789");
            if (!text.empty() && digits == std::string::npos &&
                (text.size() > 4 || std::stoul(text) > 5000))
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string script(reinterpret_cast<const char*>(data), size);
    if (!Bounded(script))
        return -1; // not kept in the corpus
    touchsim::RunResult result = touchsim::RunScript(script, touchsim::RunOptions{});
    if (result.error.find("verifier: ") != std::string::npos) {
        std::fprintf(stderr, "%s\n", result.error.c_str());
        std::abort();
    }
    return 0;
}
