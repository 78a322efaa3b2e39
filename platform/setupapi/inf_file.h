// An INF file as the setup library holds it after SetupOpenInfFileA:
// sections of lines, each line with an optional key and its fields, quotes
// and comments already resolved; %strkey% and %dirid% substitution is done
// when a field is read, so [Strings] may follow its users. Private to the
// setup library.
#pragma once

#include "platform/setupapi/setupapi.h"

#include <map>
#include <string>
#include <vector>

namespace platform::setupapi::detail {

struct InfLine {
    std::string key; // empty for a line without '='
    std::vector<std::string> fields;
    UINT number = 0; // 1-based line of the file where the line began
};

struct InfSection {
    std::string name;
    std::vector<InfLine> lines;
};

struct InfFile {
    std::string path;
    std::vector<InfSection> sections;         // sections of one name are merged
    std::map<DWORD, std::string> directories; // set by SetupSetDirectoryIdA

    const InfSection* Find(const std::string& name) const;
    // The first line of `section` with that key, or nullptr.
    const InfLine* FindLine(const std::string& section, const std::string& key) const;
    // Field with %...% replaced: [Strings] keys, directory ids, "%%" as "%".
    std::string Substitute(const std::string& field) const;
    // Field i of the line (0 = the first after '='), substituted; "" if absent.
    std::string Field(const InfLine& line, size_t i) const;
    // The directory of a directory id ("" if unknown); `sourceRoot` for 1.
    std::string Directory(DWORD id, const std::string& sourceRoot = "") const;
    // The value of [Version] key, substituted ("" if absent).
    std::string Version(const std::string& key) const;
};

// ERROR_SUCCESS, or the parse error with the 1-based line in *errorLine.
DWORD ParseInf(const std::string& text, InfFile* inf, UINT* errorLine);

// The file's path for an open handle, or nullptr (bad handle).
InfFile* InfFromHandle(HINF handle);

bool EqualNoCase(const std::string& a, const std::string& b);
std::string Upper(std::string text);

} // namespace platform::setupapi::detail
