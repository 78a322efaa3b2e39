// File queues: SetupOpenFileQueue, SetupInstallFilesFromInfSectionA,
// SetupCommitFileQueueA, SetupCloseFileQueue.
//
// A commit runs the deletions before the copies, as Windows does, and asks
// the callback before and after each file. A source that does not exist is
// reported as SPFILENOTIFY_NEEDMEDIA, any other failure as
// SPFILENOTIFY_COPYERROR or SPFILENOTIFY_DELETEERROR; the callback decides
// whether to retry, skip or abort. The host has no file versions, so
// SP_COPY_NEWER copies like a plain overwrite.
#include "platform/setupapi/host_state.h"
#include "platform/setupapi/inf_install.h"

#include <mutex>
#include <set>

namespace platform::setupapi::detail {
namespace {

std::mutex gMutex;
std::set<FileQueue*> gQueues;

// A callback that keeps asking for the same failing file cannot hang setup.
constexpr int kMaxRetries = 8;

std::string Join(const std::string& directory, const std::string& name) {
    if (directory.empty())
        return name;
    if (name.empty())
        return directory;
    bool slash = directory.back() == '\\';
    if (name.front() == '\\')
        return slash ? directory + name.substr(1) : directory + name;
    return slash ? directory + name : directory + "\\" + name;
}

// "dirid[,subdir]" of the section in [DestinationDirs], else its DefaultDestDir.
std::string Destination(const InfFile& inf, const std::string& section) {
    const InfLine* line = inf.FindLine("DestinationDirs", section);
    if (!line)
        line = inf.FindLine("DestinationDirs", "DefaultDestDir");
    DWORD id = DIRID_SYSTEM; // the documented default when neither is given
    std::string subdir;
    if (line) {
        std::string text = inf.Field(*line, 0);
        id = static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 10));
        subdir = inf.Field(*line, 1);
    }
    std::string directory = inf.Directory(id);
    if (directory.empty())
        return "";
    return subdir.empty() ? directory : Join(directory, subdir);
}

// The file's place below the source root, from SourceDisksFiles and
// SourceDisksNames: the disk's path and the file's own subdirectory.
std::string SourcePath(const InfFile& inf, const std::string& sourceRoot, const std::string& name) {
    std::string path = sourceRoot;
    if (const InfLine* file = inf.FindLine("SourceDisksFiles", name)) {
        if (const InfLine* disk = inf.FindLine("SourceDisksNames", inf.Field(*file, 0)))
            path = Join(path, inf.Field(*disk, 3));
        path = Join(path, inf.Field(*file, 1));
    }
    return Join(path, name);
}

UINT Notify(PSP_FILE_CALLBACK_A callback, PVOID context, UINT notification, UINT_PTR p1,
            UINT_PTR p2) {
    return callback ? callback(context, notification, p1, p2) : FILEOP_DOIT;
}

// One file: ERROR_SUCCESS when done or skipped, else the error to end with.
DWORD RunOne(const QueuedFile& file, PSP_FILE_CALLBACK_A callback, PVOID context) {
    bool copy = file.operation == FILEOP_COPY;
    FILEPATHS_A paths{file.target.c_str(), copy ? file.source.c_str() : nullptr, 0, 0};
    UINT start = Notify(callback, context, copy ? SPFILENOTIFY_STARTCOPY : SPFILENOTIFY_STARTDELETE,
                        reinterpret_cast<UINT_PTR>(&paths), file.operation);
    if (start == FILEOP_ABORT)
        return ERROR_CANCELLED;
    if (start == FILEOP_SKIP)
        return ERROR_SUCCESS;
    for (int attempt = 0;; ++attempt) {
        DWORD error;
        UINT answer;
        if (copy) {
            std::string probe;
            error = Files().Read(file.source, &probe);
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
                SOURCE_MEDIA_A media{nullptr, nullptr, nullptr, file.source.c_str(), nullptr, 0};
                char newPath[MAX_PATH] = "";
                answer =
                    Notify(callback, context, SPFILENOTIFY_NEEDMEDIA,
                           reinterpret_cast<UINT_PTR>(&media), reinterpret_cast<UINT_PTR>(newPath));
            } else {
                if (error == ERROR_SUCCESS && (file.flags & SP_COPY_NOOVERWRITE) &&
                    Files().Read(file.target, &probe) == ERROR_SUCCESS)
                    break;
                if (error == ERROR_SUCCESS)
                    error = Files().Copy(file.source, file.target);
                if (error == ERROR_SUCCESS)
                    break;
                paths.Win32Error = error;
                answer = Notify(callback, context, SPFILENOTIFY_COPYERROR,
                                reinterpret_cast<UINT_PTR>(&paths), 0);
            }
        } else {
            error = Files().Delete(file.target);
            if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND)
                break;
            paths.Win32Error = error;
            answer = Notify(callback, context, SPFILENOTIFY_DELETEERROR,
                            reinterpret_cast<UINT_PTR>(&paths), 0);
        }
        if (answer == FILEOP_SKIP)
            return ERROR_SUCCESS;
        if (answer == FILEOP_ABORT)
            return ERROR_CANCELLED;
        if (attempt == kMaxRetries)
            return error;
    }
    Notify(callback, context, copy ? SPFILENOTIFY_ENDCOPY : SPFILENOTIFY_ENDDELETE,
           reinterpret_cast<UINT_PTR>(&paths), 0);
    return ERROR_SUCCESS;
}

} // namespace

FileQueue* QueueFromHandle(HSPFILEQ handle) {
    std::lock_guard<std::mutex> lock(gMutex);
    auto* queue = static_cast<FileQueue*>(handle);
    return gQueues.count(queue) ? queue : nullptr;
}

DWORD QueueFileSections(const InfFile& inf, const InfSection& install, FileQueue* queue,
                        const std::string& sourceRoot, UINT copyFlags) {
    for (const auto& name : SectionList(inf, install, "DelFiles")) {
        const InfSection* section = inf.Find(name);
        if (!section)
            return ERROR_SECTION_NOT_FOUND;
        std::string directory = Destination(inf, name);
        for (const auto& line : section->lines)
            queue->files.push_back(
                {FILEOP_DELETE, "", Join(directory, inf.Field(line, 0)), copyFlags});
    }
    for (const auto& name : SectionList(inf, install, "CopyFiles")) {
        if (name[0] == '@') { // a single file to the default destination
            std::string file = name.substr(1);
            queue->files.push_back({FILEOP_COPY, SourcePath(inf, sourceRoot, file),
                                    Join(Destination(inf, "DefaultDestDir"), file), copyFlags});
            continue;
        }
        const InfSection* section = inf.Find(name);
        if (!section)
            return ERROR_SECTION_NOT_FOUND;
        std::string directory = Destination(inf, name);
        if (directory.empty())
            return ERROR_INVALID_PARAMETER; // an unknown directory id
        for (const auto& line : section->lines) {
            std::string target = inf.Field(line, 0);
            std::string source =
                line.fields.size() > 1 && !inf.Field(line, 1).empty() ? inf.Field(line, 1) : target;
            UINT flags = copyFlags;
            if (line.fields.size() > 3)
                flags |= static_cast<UINT>(std::strtoul(inf.Field(line, 3).c_str(), nullptr, 0));
            queue->files.push_back(
                {FILEOP_COPY, SourcePath(inf, sourceRoot, source), Join(directory, target), flags});
        }
    }
    return ERROR_SUCCESS;
}

DWORD CommitQueue(FileQueue& queue, PSP_FILE_CALLBACK_A callback, PVOID context) {
    if (!Notify(callback, context, SPFILENOTIFY_STARTQUEUE, 0, 0))
        return ERROR_CANCELLED;
    DWORD result = ERROR_SUCCESS;
    for (UINT operation : {FILEOP_DELETE, FILEOP_COPY}) {
        UINT count = 0;
        for (const auto& file : queue.files)
            count += file.operation == operation;
        if (!count)
            continue;
        if (!Notify(callback, context, SPFILENOTIFY_STARTSUBQUEUE, operation, count)) {
            result = ERROR_CANCELLED;
            break;
        }
        for (const auto& file : queue.files) {
            if (file.operation != operation)
                continue;
            result = RunOne(file, callback, context);
            if (result != ERROR_SUCCESS)
                break;
        }
        Notify(callback, context, SPFILENOTIFY_ENDSUBQUEUE, operation, 0);
        if (result != ERROR_SUCCESS)
            break;
    }
    Notify(callback, context, SPFILENOTIFY_ENDQUEUE, result == ERROR_SUCCESS, 0);
    return result;
}

} // namespace platform::setupapi::detail

using namespace platform::setupapi::detail;

HSPFILEQ WINAPI SetupOpenFileQueue(VOID) {
    auto* queue = new FileQueue;
    std::lock_guard<std::mutex> lock(gMutex);
    gQueues.insert(queue);
    return queue;
}

BOOL WINAPI SetupCloseFileQueue(HSPFILEQ QueueHandle) {
    std::lock_guard<std::mutex> lock(gMutex);
    auto* queue = static_cast<FileQueue*>(QueueHandle);
    if (!gQueues.erase(queue)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete queue;
    return TRUE;
}

BOOL WINAPI SetupInstallFilesFromInfSectionA(HINF InfHandle, HINF LayoutInfHandle,
                                             HSPFILEQ FileQueue, PCSTR SectionName,
                                             PCSTR SourceRootPath, UINT CopyFlags) {
    (void)LayoutInfHandle; // source locations come from the INF itself
    InfFile* inf = InfFromHandle(InfHandle);
    auto* queue = QueueFromHandle(FileQueue);
    if (!inf || !queue || !SectionName) {
        SetLastError(!SectionName ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const InfSection* section = inf->Find(SectionName);
    if (!section) {
        SetLastError(ERROR_SECTION_NOT_FOUND);
        return FALSE;
    }
    DWORD error =
        QueueFileSections(*inf, *section, queue, SourceRootPath ? SourceRootPath : "", CopyFlags);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

BOOL WINAPI SetupCommitFileQueueA(HWND Owner, HSPFILEQ QueueHandle, PSP_FILE_CALLBACK_A MsgHandler,
                                  PVOID Context) {
    (void)Owner;
    auto* queue = QueueFromHandle(QueueHandle);
    if (!queue) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD error = CommitQueue(*queue, MsgHandler, Context);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}
