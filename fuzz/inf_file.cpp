// INF files through the setup library: the parser, then every section run
// as registry, service and file-queue sections (the queue is committed with
// a callback that skips every copy, so no bytes move).
//
// Input: the INF text. Sections are tried in file order, at most 16.
#include "tests/support/memory_files.h"
#include "platform/kernel/kernel.h"
#include "platform/setupapi/inf_file.h"
#include "platform/setupapi/setupapi.h"
#include "platform/trace/trace.h"
#include "platform/win32/system_info.h"
#include "platform/win32/windows.h"

#include <string>
#include <vector>

namespace {

UINT CALLBACK SkipEverything(PVOID, UINT notification, UINT_PTR, UINT_PTR) {
    return notification == SPFILENOTIFY_STARTCOPY || notification == SPFILENOTIFY_STARTDELETE
               ? FILEOP_SKIP
               : NO_ERROR;
}

// The names the parser found, read through its own structure.
std::vector<std::string> SectionNames(HINF inf) {
    std::vector<std::string> names;
    const auto* file = platform::setupapi::detail::InfFromHandle(inf);
    if (file == nullptr)
        return names;
    for (const auto& section : file->sections) {
        if (names.size() == 16)
            break;
        names.push_back(section.name);
        for (const auto& line : section.lines)
            for (size_t i = 0; i < line.fields.size(); ++i)
                file->Field(line, i);
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::kernel::Kernel kernel;
    kernel.Registry().Create("\\REGISTRY\\Machine\\Software");
    platform::win32::System system;
    platform::trace::SetSink([](const std::string&) {});
    support::MemoryFiles files;
    platform::setupapi::SetFileAccess(&files);
    files.Put("D:\\fuzz.inf", std::string(reinterpret_cast<const char*>(data), size));

    UINT errorLine = 0;
    HINF inf = SetupOpenInfFileA("D:\\fuzz.inf", nullptr, INF_STYLE_WIN4, &errorLine);
    if (inf != INVALID_HANDLE_VALUE) {
        HKEY relative = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Fuzz", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &relative, nullptr);
        for (const std::string& name : SectionNames(inf)) {
            SetupInstallFromInfSectionA(nullptr, inf, name.c_str(), SPINST_REGISTRY, relative,
                                        "D:\\", 0, nullptr, nullptr, nullptr, nullptr);
            SetupInstallServicesFromInfSectionA(inf, name.c_str(), 0);
            HSPFILEQ queue = SetupOpenFileQueue();
            SetupInstallFilesFromInfSectionA(inf, nullptr, queue, name.c_str(), "D:\\", 0);
            SetupCommitFileQueueA(nullptr, queue, SkipEverything, nullptr);
            SetupCloseFileQueue(queue);
        }
        RegCloseKey(relative);
        SetupCloseInfFile(inf);
    }
    platform::setupapi::SetFileAccess(nullptr);
    platform::trace::SetSink({});
    return 0;
}
