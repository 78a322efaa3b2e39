// privilege: what the logged-on user's token holds.
#include "touchsim/script_error.h"
#include "touchsim/verb_table.h"

#include "platform/win32/system_info.h"

namespace touchsim::detail {
namespace {

Action ParsePrivilege(const ScriptLine& line) {
    const std::string& how = Need(line, 1, "grant or deny");
    const std::string& which = Need(line, 2, "shutdown");
    NoMoreThan(line, 3);
    if ((how != "grant" && how != "deny") || which != "shutdown")
        throw ScriptError(line.number, "bad privilege line (privilege grant|deny shutdown)");
    const bool held = how == "grant";
    return [held](Session& session) {
        session.Machine();
        platform::win32::System::Current().SetPrivilegeHeld("SeShutdownPrivilege", held);
    };
}

} // namespace

std::vector<VerbSpec> SystemVerbs() {
    return {
        {"privilege", "privilege grant|deny shutdown",
         "Whether the user's token holds the shutdown privilege (held unless denied); without "
         "it a program's restart fails on 2000 and XP.",
         false, ParsePrivilege},
    };
}

} // namespace touchsim::detail
