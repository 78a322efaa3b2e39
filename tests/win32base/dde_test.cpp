// A DDE client's conversation with the Program Manager: the groups and
// items it keeps, the trace of each execute, and the silent failures when
// the service is stopped or the library cannot start.
//
// Sources: Microsoft's DDEML pages (DdeInitialize, DdeConnect,
// DdeClientTransaction, DdeGetLastError) and its Program Manager DDE
// command reference (CreateGroup, ShowGroup, AddItem, DeleteGroup).
#include "platform/win32/program_manager.h"
#include "tests/win32base/win32_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace win32_testing {
namespace {

HDDEDATA CALLBACK Ignore(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return NULL;
}

class Dde : public Win32Test {
protected:
    // As an installer sends its commands; the results of each execute.
    std::vector<bool> Send(const std::vector<std::string>& commands, UINT* connectError) {
        DWORD instance = 0;
        std::vector<bool> results;
        if (DdeInitializeA(&instance, Ignore, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
            return results;
        HSZ progman = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
        CONVCONTEXT context{};
        context.cb = sizeof context;
        context.iCodePage = CP_WINANSI;
        HCONV conversation = DdeConnect(instance, progman, progman, &context);
        *connectError = DdeGetLastError(instance);
        for (size_t i = 0; i < commands.size(); ++i) {
            std::string command = commands[i];
            HDDEDATA done;
            if (i % 2 == 0) {
                done = DdeClientTransaction(reinterpret_cast<LPBYTE>(command.data()),
                                            static_cast<DWORD>(command.size() + 1), conversation,
                                            NULL, CF_TEXT, XTYP_EXECUTE, 10000, NULL);
            } else { // the other way: through a data handle
                HDDEDATA data = DdeCreateDataHandle(
                    instance, reinterpret_cast<LPBYTE>(command.data()),
                    static_cast<DWORD>(command.size() + 1), 0, NULL, CF_TEXT, 0);
                done = DdeClientTransaction(reinterpret_cast<LPBYTE>(data), 0xFFFFFFFF,
                                            conversation, NULL, CF_TEXT, XTYP_EXECUTE, 10000, NULL);
            }
            results.push_back(done != NULL);
        }
        DdeFreeStringHandle(instance, progman);
        DdeDisconnect(conversation);
        EXPECT_TRUE(DdeUninitialize(instance));
        return results;
    }

    platform::win32::ProgramManager shell;
};

TEST_F(Dde, GroupsAndItems) {
    UINT connectError = 0;
    std::vector<bool> results = Send(
        {
            "[CreateGroup(Old)]", "[AddItem(C:\\old.exe,Old)]", "[CreateGroup(Touch Screen)]",
            "[ShowGroup(Touch Screen,1)]",
            "[AddItem(C:\\Program Files\\T\\tpanel.exe,Usb control panel,"
            "C:\\Program Files\\T\\tpanel.exe,0)]",
            "[AddItem(\"C:\\a,b.exe\",\"Uninstall\")][DeleteGroup(Old)]", "[ShowGroup(Nothing,1)]",
            "[Frobnicate(x)]",
            "[CreateGroup(touch screen)]", // an existing group is only made active
        },
        &connectError);
    EXPECT_EQ(connectError, UINT(DMLERR_NO_ERROR));
    EXPECT_EQ(results, (std::vector<bool>{true, true, true, true, true, true, false, false, true}));
    ASSERT_EQ(shell.Groups().size(), 1u);
    const platform::win32::ProgmanGroup& group = shell.Groups()[0];
    EXPECT_EQ(group.name, "Touch Screen");
    EXPECT_TRUE(group.shown);
    ASSERT_EQ(group.items.size(), 2u);
    EXPECT_EQ(group.items[0].name, "Usb control panel");
    EXPECT_EQ(group.items[0].commandLine, "C:\\Program Files\\T\\tpanel.exe");
    EXPECT_EQ(group.items[0].iconPath, "C:\\Program Files\\T\\tpanel.exe");
    EXPECT_EQ(group.items[1].commandLine, "C:\\a,b.exe");
    std::vector<std::string> trace = Trace();
    ASSERT_EQ(trace.size(), 9u);
    EXPECT_EQ(trace[0].substr(trace[0].find(' ') + 1), "dde execute \"[CreateGroup(Old)]\"");
    EXPECT_EQ(trace[6].substr(trace[6].find(' ') + 1),
              "dde execute \"[ShowGroup(Nothing,1)]\" error=0x4009");
}

TEST_F(Dde, StoppedServiceFailsSilently) {
    shell.SetRunning(false);
    UINT connectError = 0;
    std::vector<bool> results = Send({"[CreateGroup(G)]"}, &connectError);
    EXPECT_EQ(connectError, UINT(DMLERR_NO_CONV_ESTABLISHED));
    EXPECT_EQ(results, std::vector<bool>{false});
    EXPECT_TRUE(shell.Groups().empty());
    EXPECT_TRUE(Trace().empty());
}

TEST_F(Dde, LibraryThatCannotStart) {
    shell.SetDdeBroken(true);
    DWORD instance = 0;
    EXPECT_EQ(DdeInitializeA(&instance, Ignore, APPCMD_CLIENTONLY, 0), UINT(DMLERR_SYS_ERROR));
    EXPECT_EQ(DdeGetLastError(instance), UINT(DMLERR_DLL_NOT_INITIALIZED));
}

} // namespace
} // namespace win32_testing
