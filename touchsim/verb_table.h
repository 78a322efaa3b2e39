// The verbs' table entries, grouped by the files that implement them, and
// the argument helpers they share.
#pragma once

#include "touchsim/verbs.h"

#include <cstdint>

namespace touchsim::detail {

using Action = std::function<void(Session&)>;

struct VerbSpec {
    const char* name;
    const char* usage;
    const char* help;
    bool needsBoot;
    Action (*parse)(const ScriptLine& line);
};

std::vector<VerbSpec> MachineVerbs();  // machine, boot, wait, standby, resume, expect
std::vector<VerbSpec> ScreenVerbs();   // plug, unplug, report, touch, tap, screen, fault, ctl
std::vector<VerbSpec> RegistryVerbs(); // reg
std::vector<VerbSpec> UserVerbs();     // start, click, answer, key, picture
std::vector<VerbSpec> DiskVerbs();     // disk, media
std::vector<VerbSpec> SystemVerbs();   // privilege, ddeserver

// Word index of the line, or a ScriptError "missing argument: what".
const std::string& Need(const ScriptLine& line, size_t index, const char* what);
// A ScriptError when the line has words beyond count.
void NoMoreThan(const ScriptLine& line, size_t count);
uint16_t Word16(const ScriptLine& line, size_t index, const char* what);

} // namespace touchsim::detail
