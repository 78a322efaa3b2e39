// Installing INF sections: registry lines, services, and the file queue's
// conversation with its callback.
#include "tests/setupapi/setupapi_fixture.h"

#include <algorithm>

namespace setupapi_testing {
namespace {

const std::string kVersion = "[Version]\nSignature=\"$Windows NT$\"\n";
const std::string kBase = "SOFTWARE\\Test";

struct RegCase {
    const char* line;
    const char* name;
    std::string expected; // as Text() reads it back
};

TEST_F(SetupApiTest, AddRegLinesWriteTheirTypesRelativeToTheirRoot) {
    const RegCase cases[] = {
        {"HKR,,Text,,\"hello\"", "Text", "hello"},
        {"HKR,,Text,0x00000000,%Str%", "Text", "from strings"},
        {"HKR,,Number,0x00010001,7", "Number", "7"},
        {"HKR,,Number,0x00010001,0x10", "Number", "16"},
        {"HKR,,Expand,0x00020000,\"%%SystemRoot%%\\x\"", "Expand", "%SystemRoot%\\x"},
        {"HKLM,SOFTWARE\\Test\\Sub,Abs,,\"yes\"", "Sub\\Abs", "yes"},
        {"HKR,Sub,,,\"default\"", "Sub\\", "default"},
        {"HKR,,Kept,0x00000002,\"new\"", "Kept", "old"},        // no clobber
        {"HKR,,Gone,0x00000004", "Gone", "<none>"},             // delete value
        {"HKR,,Missing,0x00000020,\"x\"", "Missing", "<none>"}, // overwrite only
        {"HKR,KeyOnly,Value,0x00000010,\"x\"", "KeyOnly\\Value", "<none>"},
        {"XYZ,,Unknown,,\"x\"", "Unknown", "<none>"}, // other roots are skipped
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        HKEY base;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kBase.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &base, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(base, "Kept", 0, REG_SZ, reinterpret_cast<const BYTE*>("old"), 4);
        RegSetValueExA(base, "Gone", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
        HINF inf = Open(kVersion + "[Install]\nAddReg=Lines\n[Lines]\n" + c.line +
                        "\n[Strings]\nStr=\"from strings\"\n");
        EXPECT_TRUE(SetupInstallFromInfSectionA(nullptr, inf, "Install", SPINST_REGISTRY, base,
                                                nullptr, 0, nullptr, nullptr, nullptr, nullptr));
        std::string name = c.name;
        size_t slash = name.rfind('\\');
        std::string path =
            slash == std::string::npos ? kBase : kBase + "\\" + name.substr(0, slash);
        EXPECT_EQ(Text(path, name.substr(slash + 1).c_str()), c.expected);
        RegCloseKey(base);
        SetupCloseInfFile(inf);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kBase + "\\Sub").c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kBase + "\\KeyOnly").c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kBase.c_str());
    }
}

TEST_F(SetupApiTest, DelRegRunsBeforeAddRegAndRemovesWholeKeys) {
    HINF inf = Open(kVersion + "[Install]\nAddReg=Add\nDelReg=Del\n"
                               "[Add]\nHKLM,SOFTWARE\\Test,Fresh,,\"1\"\n"
                               "[Del]\nHKLM,SOFTWARE\\Test\nHKLM,SOFTWARE\\Other,Value\n");
    HKEY key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test\\Deep\\Deeper", 0, nullptr, 0,
                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegCloseKey(key);
    ASSERT_TRUE(SetupInstallFromInfSectionA(nullptr, inf, "Install", SPINST_REGISTRY, nullptr,
                                            nullptr, 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(KeyExists("SOFTWARE\\Test\\Deep"));
    EXPECT_EQ(Text("SOFTWARE\\Test", "Fresh"), "1");
    SetupCloseInfFile(inf);
}

TEST_F(SetupApiTest, SectionErrorsAreReportedThroughLastError) {
    HINF inf = Open(kVersion + "[Install]\nAddReg=Nowhere\n");
    const struct {
        const char* section;
        DWORD error;
    } cases[] = {{"Absent", ERROR_SECTION_NOT_FOUND}, {"Install", ERROR_SECTION_NOT_FOUND}};
    for (const auto& c : cases) {
        SetLastError(kPoison);
        EXPECT_FALSE(SetupInstallFromInfSectionA(nullptr, inf, c.section, SPINST_REGISTRY, nullptr,
                                                 nullptr, 0, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(GetLastError(), c.error) << c.section;
    }
    SetupCloseInfFile(inf);
    SetLastError(kPoison);
    EXPECT_FALSE(SetupInstallServicesFromInfSectionA(inf, "Install", 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

// Service keys as the service control manager keeps them (Microsoft,
// "INF AddService Directive" and "CurrentControlSet\Services Subkey Entries").
TEST_F(SetupApiTest, AddServiceWritesTheServiceKey) {
    HINF inf = Open(kVersion + "[Drv.Services]\nAddService = drv, 0x00000002, Drv.Service\n"
                               "[Drv.Service]\nDisplayName = \"Test driver\"\nServiceType = 1\n"
                               "StartType = 3\nErrorControl = 1\nServiceBinary = %12%\\drv.sys\n"
                               "LoadOrderGroup = Pointer Port\n");
    ASSERT_TRUE(SetupInstallServicesFromInfSectionA(inf, "Drv.Services", 0));
    const std::string key = "SYSTEM\\CurrentControlSet\\Services\\drv";
    EXPECT_EQ(Text(key, "Type"), "1");
    EXPECT_EQ(Text(key, "Start"), "3");
    EXPECT_EQ(Text(key, "ErrorControl"), "1");
    EXPECT_EQ(Text(key, "ImagePath"), "system32\\drivers\\drv.sys");
    EXPECT_EQ(Text(key, "DisplayName"), "Test driver");
    EXPECT_EQ(Text(key, "Group"), "Pointer Port");
    SetupCloseInfFile(inf);
}

// What a queue callback is told, one line per call, and how it answers.
struct Recorder {
    std::vector<std::string> calls;
    UINT onDeleteError = FILEOP_SKIP;
    UINT onNeedMedia = FILEOP_SKIP;

    static UINT CALLBACK Callback(PVOID context, UINT notification, UINT_PTR p1, UINT_PTR p2) {
        auto* self = static_cast<Recorder*>(context);
        auto paths = reinterpret_cast<FILEPATHS_A*>(p1);
        switch (notification) {
        case SPFILENOTIFY_STARTQUEUE:
            self->calls.push_back("start-queue");
            return TRUE;
        case SPFILENOTIFY_ENDQUEUE:
            self->calls.push_back("end-queue " + std::to_string(p1));
            return TRUE;
        case SPFILENOTIFY_STARTSUBQUEUE:
            self->calls.push_back("start-sub " + std::to_string(p1) + " " + std::to_string(p2));
            return TRUE;
        case SPFILENOTIFY_ENDSUBQUEUE:
            self->calls.push_back("end-sub " + std::to_string(p1));
            return TRUE;
        case SPFILENOTIFY_STARTCOPY:
            self->calls.push_back(std::string("copy ") + paths->Source + " -> " + paths->Target);
            return FILEOP_DOIT;
        case SPFILENOTIFY_ENDCOPY:
            self->calls.push_back("copied");
            return FILEOP_DOIT;
        case SPFILENOTIFY_STARTDELETE:
            self->calls.push_back(std::string("delete ") + paths->Target);
            return FILEOP_DOIT;
        case SPFILENOTIFY_ENDDELETE:
            self->calls.push_back("deleted");
            return FILEOP_DOIT;
        case SPFILENOTIFY_DELETEERROR:
            self->calls.push_back("delete-error " + std::to_string(paths->Win32Error));
            return self->onDeleteError;
        case SPFILENOTIFY_NEEDMEDIA:
            self->calls.push_back(std::string("need ") +
                                  reinterpret_cast<SOURCE_MEDIA_A*>(p1)->SourcePath);
            return self->onNeedMedia;
        default:
            self->calls.push_back("other " + std::to_string(notification));
            return FILEOP_DOIT;
        }
    }
};

const std::string kFilesInf = kVersion +
                              "[SourceDisksNames]\n1 = \"Disk\",,,\\win2kxp\n"
                              "[SourceDisksFiles]\ndrv.sys = 1\n"
                              "[DestinationDirs]\nDrv.Copy = 65659\nDrv.Del = 12\n"
                              "DefaultDestDir = 10\n"
                              "[Drv]\nCopyFiles = Drv.Copy, @readme.txt\nDelFiles = Drv.Del\n"
                              "[Drv.Copy]\ndrv.sys\nrenamed.dat, original.dat\n"
                              "[Drv.Del]\nold.sys\n";

TEST_F(SetupApiTest, CommitDeletesFirstThenCopiesAndTellsTheCallback) {
    disk.Put("D:\\win2kxp\\drv.sys", "driver");
    disk.Put("D:\\original.dat", "data");
    disk.Put("D:\\readme.txt", "text");
    disk.Put("C:\\WINDOWS\\system32\\drivers\\old.sys", "old");
    disk.undeletable.insert(MemoryFiles::Key("C:\\WINDOWS\\system32\\drivers\\old.sys"));
    HINF inf = Open(kFilesInf, "D:\\win2kxp\\drv.inf");
    ASSERT_TRUE(SetupSetDirectoryIdA(inf, 65659, "C:\\WINDOWS\\system32\\drivers"));
    HSPFILEQ queue = SetupOpenFileQueue();
    ASSERT_TRUE(
        SetupInstallFilesFromInfSectionA(inf, nullptr, queue, "Drv", "D:\\", SP_COPY_NEWER));
    Recorder recorder;
    ASSERT_TRUE(SetupCommitFileQueueA(nullptr, queue, Recorder::Callback, &recorder));
    EXPECT_EQ(recorder.calls,
              (std::vector<std::string>{
                  "start-queue", "start-sub 2 1", "delete C:\\WINDOWS\\system32\\drivers\\old.sys",
                  "delete-error 5", "end-sub 2", "start-sub 0 3",
                  "copy D:\\win2kxp\\drv.sys -> C:\\WINDOWS\\system32\\drivers\\drv.sys", "copied",
                  "copy D:\\original.dat -> C:\\WINDOWS\\system32\\drivers\\renamed.dat", "copied",
                  "copy D:\\readme.txt -> C:\\WINDOWS\\readme.txt", "copied", "end-sub 0",
                  "end-queue 1"}));
    EXPECT_TRUE(disk.Has("C:\\WINDOWS\\system32\\drivers\\drv.sys"));
    EXPECT_TRUE(disk.Has("C:\\WINDOWS\\system32\\drivers\\renamed.dat"));
    EXPECT_TRUE(SetupCloseFileQueue(queue));
    SetupCloseInfFile(inf);
}

TEST_F(SetupApiTest, AMissingSourceEndsTheCommitWhenTheDefaultCallbackIsAsked) {
    HINF inf = Open(kFilesInf, "D:\\win2kxp\\drv.inf");
    SetupSetDirectoryIdA(inf, 65659, "C:\\WINDOWS\\system32\\drivers");
    HSPFILEQ queue = SetupOpenFileQueue();
    ASSERT_TRUE(SetupInstallFilesFromInfSectionA(inf, nullptr, queue, "Drv.Copy", "D:\\", 0));
    ASSERT_TRUE(SetupInstallFilesFromInfSectionA(inf, nullptr, queue, "Drv", "D:\\", 0));

    Recorder skipping; // a callback may skip the missing file and go on
    EXPECT_TRUE(SetupCommitFileQueueA(nullptr, queue, Recorder::Callback, &skipping));
    EXPECT_NE(std::find(skipping.calls.begin(), skipping.calls.end(), "need D:\\win2kxp\\drv.sys"),
              skipping.calls.end());

    PVOID context = SetupInitDefaultQueueCallbackEx(nullptr, nullptr, 0, 0, nullptr);
    SetLastError(kPoison);
    EXPECT_FALSE(SetupCommitFileQueueA(nullptr, queue, SetupDefaultQueueCallbackA, context));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CANCELLED));
    SetupTermDefaultQueueCallback(context);
    SetupCloseFileQueue(queue);
    SetupCloseInfFile(inf);
}

} // namespace
} // namespace setupapi_testing
