// The programs the machine can start by name. The product's programs join
// it as they are written; tests add programs of their own. Each entry is a
// program spec without its command line, which the start supplies.
#pragma once

#include "platform/win32/runtime.h"

#include <map>
#include <string>
#include <vector>

namespace machine {

class ProgramCatalogue {
public:
    // The product's programs (none yet).
    static ProgramCatalogue Product();

    // spec.name is the name the program is started by.
    void Add(const platform::win32::ProgramSpec& spec);
    // nullptr when no program has that name (names are case-insensitive).
    const platform::win32::ProgramSpec* Find(const std::string& name) const;
    std::vector<std::string> Names() const;

private:
    std::map<std::string, platform::win32::ProgramSpec> programs_; // by lower-case name
};

} // namespace machine
