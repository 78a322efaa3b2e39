// What installing an INF section does, shared by the section, service,
// file-queue and device calls. Private to the setup library.
#pragma once

#include "platform/setupapi/inf_file.h"

#include <string>
#include <vector>

namespace platform::setupapi::detail {

// The section names that the install section's `directive` lines list
// ("AddReg = a, b" twice gives a, b and the rest).
std::vector<std::string> SectionList(const InfFile& inf, const InfSection& install,
                                     const std::string& directive);

// DelReg then AddReg of the install section; HKR is `relative`.
DWORD InstallRegistrySections(const InfFile& inf, const InfSection& install, HKEY relative);

struct QueuedFile {
    UINT operation = FILEOP_COPY; // or FILEOP_DELETE
    std::string source;           // full path; empty for a deletion
    std::string target;           // full path
    UINT flags = 0;
};

struct FileQueue {
    std::vector<QueuedFile> files;
};

FileQueue* QueueFromHandle(HSPFILEQ handle);

// Queues the CopyFiles and DelFiles of the install section.
DWORD QueueFileSections(const InfFile& inf, const InfSection& install, FileQueue* queue,
                        const std::string& sourceRoot, UINT copyFlags);

// Runs the queue through the callback; ERROR_SUCCESS or the error that
// ended it (ERROR_CANCELLED when the callback aborted).
DWORD CommitQueue(FileQueue& queue, PSP_FILE_CALLBACK_A callback, PVOID context);

// The AddService lines of the section; `associated` receives the service
// marked SPSVCINST_ASSOCSERVICE (if any).
DWORD InstallServices(const InfFile& inf, const InfSection& services, std::string* associated);

// Runs an install section as SetupInstallFromInfSectionA does.
DWORD InstallSection(const InfFile& inf, const InfSection& install, UINT flags, HKEY relative,
                     const std::string& sourceRoot, UINT copyFlags, PSP_FILE_CALLBACK_A callback,
                     PVOID context);

} // namespace platform::setupapi::detail
