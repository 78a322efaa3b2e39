// The index page of a story run: its pictures in order, each after the
// trace lines that led to it.
#include "touchsim/story.h"

#include "platform/win32/picture_svg.h"

#include <sstream>

namespace touchsim {
namespace {

std::string Escaped(const std::string& text) {
    return platform::win32::detail::EscapeXml(text);
}

// The file name of a picture line's file="..." (pictures sit beside the page).
std::string PictureName(const std::string& line) {
    const std::string marker = "machine picture file=\"";
    size_t at = line.find(marker);
    if (at == std::string::npos)
        return "";
    std::string path = line.substr(at + marker.size());
    path = path.substr(0, path.rfind('"'));
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string StoryIndexPage(const std::string& title, const std::vector<std::string>& trace) {
    std::ostringstream page;
    page << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" << Escaped(title)
         << "</title>\n<style>body{font-family:sans-serif;max-width:1100px;margin:auto}"
            "pre{background:#f4f4f4;font-size:12px;overflow-x:auto;padding:6px}"
            "img{border:1px solid #888;max-width:100%}</style></head><body>\n<h1>"
         << Escaped(title) << "</h1>\n";
    std::string pending;
    auto flush = [&] {
        if (!pending.empty())
            page << "<pre>" << pending << "</pre>\n";
        pending.clear();
    };
    for (const std::string& line : trace) {
        std::string name = PictureName(line);
        if (name.empty()) {
            pending += Escaped(line) + "\n";
            continue;
        }
        flush();
        page << "<figure><img src=\"" << Escaped(name) << "\" alt=\"" << Escaped(name)
             << "\"><figcaption>" << Escaped(name) << "</figcaption></figure>\n";
    }
    flush();
    page << "</body></html>\n";
    return page.str();
}

} // namespace touchsim
