// INF text to sections and lines. The rules are the documented INF syntax:
// ';' starts a comment outside quotes, a '\' ending a line joins the next,
// "" inside a quoted string is one quote, fields are split at commas and
// trimmed, a Ctrl-Z ends the file. A line outside any section, or a section
// header that does not close on its line, fails the whole file with the
// line's number, as SetupOpenInfFileA reports it.
#include "platform/setupapi/inf_file.h"

#include <cctype>

namespace platform::setupapi::detail {
namespace {

constexpr size_t kMaxSectionName = 255;

// One logical line: its key (if it had '='), its fields.
struct Tokens {
    bool hasKey = false;
    std::string key;
    std::vector<std::string> fields;
    bool empty = true;
};

void Trim(std::string* text, size_t quotedEnd) {
    // Blanks after the last quoted character are dropped; those inside stay.
    size_t end = text->size();
    while (end > quotedEnd && (*text)[end - 1] == ' ')
        --end;
    text->resize(end);
}

// Splits one logical line (continuations already joined, comment removed).
Tokens Split(const std::string& line) {
    Tokens tokens;
    std::string current;
    size_t quotedEnd = 0; // length of `current` up to its last quoted char
    bool inQuotes = false;
    bool started = false;
    auto finish = [&](bool asKey) {
        Trim(&current, quotedEnd);
        if (asKey) {
            tokens.hasKey = true;
            tokens.key = current;
        } else {
            tokens.fields.push_back(current);
        }
        current.clear();
        quotedEnd = 0;
        started = false;
    };
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (inQuotes) {
            if (c == '"') {
                if (i + 1 < line.size() && line[i + 1] == '"') {
                    current += '"';
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                current += c;
            }
            quotedEnd = current.size();
            continue;
        }
        if (c == '\t')
            c = ' ';
        if (c == '"') {
            inQuotes = true;
            started = true;
            tokens.empty = false;
        } else if (c == '=' && !tokens.hasKey && tokens.fields.empty()) {
            finish(true);
            tokens.empty = false;
        } else if (c == ',') {
            finish(false);
            tokens.empty = false;
        } else if (c == ' ' && !started) {
            // leading blanks of a field
        } else {
            current += c;
            started = true;
            tokens.empty = false;
        }
    }
    if (!tokens.empty)
        finish(false);
    return tokens;
}

// Removes the comment; true when the line ends in a continuation '\'.
bool StripComment(std::string* line) {
    bool inQuotes = false;
    size_t end = line->size();
    for (size_t i = 0; i < line->size(); ++i) {
        char c = (*line)[i];
        if (c == '"')
            inQuotes = !inQuotes;
        else if (c == ';' && !inQuotes) {
            end = i;
            break;
        }
    }
    line->resize(end);
    while (!line->empty() && (line->back() == ' ' || line->back() == '\t'))
        line->pop_back();
    if (!inQuotes && !line->empty() && line->back() == '\\') {
        line->pop_back();
        return true;
    }
    return false;
}

} // namespace

DWORD ParseInf(const std::string& text, InfFile* inf, UINT* errorLine) {
    *errorLine = 0;
    std::string content = text.substr(0, text.find('\x1a'));
    InfSection* section = nullptr;
    UINT number = 0;
    size_t pos = 0;
    while (pos < content.size()) {
        std::string logical;
        UINT first = number + 1;
        bool more = true;
        while (more && pos < content.size()) {
            size_t eol = content.find('\n', pos);
            std::string raw =
                content.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
            pos = eol == std::string::npos ? content.size() : eol + 1;
            ++number;
            if (!raw.empty() && raw.back() == '\r')
                raw.pop_back();
            more = StripComment(&raw);
            logical += raw;
        }
        size_t start = logical.find_first_not_of(" \t");
        if (start == std::string::npos)
            continue;
        if (logical[start] == '[') {
            size_t close = logical.find(']', start);
            if (close == std::string::npos) {
                *errorLine = first;
                return ERROR_BAD_SECTION_NAME_LINE;
            }
            std::string name = logical.substr(start + 1, close - start - 1);
            if (name.size() > kMaxSectionName) {
                *errorLine = first;
                return ERROR_SECTION_NAME_TOO_LONG;
            }
            section = nullptr;
            for (auto& existing : inf->sections)
                if (EqualNoCase(existing.name, name))
                    section = &existing;
            if (!section) {
                inf->sections.push_back(InfSection{name, {}});
                section = &inf->sections.back();
            }
            continue;
        }
        if (!section) {
            *errorLine = first;
            return ERROR_EXPECTED_SECTION_NAME;
        }
        Tokens tokens = Split(logical);
        if (tokens.empty)
            continue;
        section->lines.push_back(InfLine{tokens.key, tokens.fields, first});
    }
    return ERROR_SUCCESS;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

const InfSection* InfFile::Find(const std::string& name) const {
    for (const auto& section : sections)
        if (EqualNoCase(section.name, name))
            return &section;
    return nullptr;
}

const InfLine* InfFile::FindLine(const std::string& section, const std::string& key) const {
    const InfSection* found = Find(section);
    if (!found)
        return nullptr;
    for (const auto& line : found->lines)
        if (EqualNoCase(line.key, key))
            return &line;
    return nullptr;
}

std::string InfFile::Substitute(const std::string& field) const {
    std::string out;
    size_t i = 0;
    while (i < field.size()) {
        size_t open = field.find('%', i);
        if (open == std::string::npos) {
            out += field.substr(i);
            break;
        }
        out += field.substr(i, open - i);
        size_t close = field.find('%', open + 1);
        if (close == std::string::npos) {
            out += field.substr(open);
            break;
        }
        std::string name = field.substr(open + 1, close - open - 1);
        i = close + 1;
        if (name.empty()) {
            out += '%';
            continue;
        }
        if (const InfLine* line = FindLine("Strings", name); line && !line->fields.empty()) {
            out += line->fields[0];
            continue;
        }
        bool numeric =
            name.size() <= 9 && name.find_first_not_of("0123456789") == std::string::npos;
        std::string directory = numeric ? Directory(std::stoul(name)) : "";
        if (!directory.empty())
            out += directory;
        else
            out += field.substr(open, close - open + 1); // left as written
    }
    return out;
}

std::string InfFile::Field(const InfLine& line, size_t i) const {
    return i < line.fields.size() ? Substitute(line.fields[i]) : std::string();
}

std::string InfFile::Version(const std::string& key) const {
    const InfLine* line = FindLine("Version", key);
    return line ? Field(*line, 0) : std::string();
}

} // namespace platform::setupapi::detail
