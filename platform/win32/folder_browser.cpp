// SHBrowseForFolderA: a modal dialog built in memory (the caller's title,
// the folder, OK and Cancel), answered by the scripted user: the next
// queued answer puts its folder in and clicks OK, or clicks Cancel, as soon
// as the browser opens; without one it waits for a click. Only an existing
// folder can be chosen, as only folders show in the browser's tree. Each
// browser that closes leaves one trace line:
//   <ms> browse title="Select destination path" answer="C:\Touch"
//   <ms> browse title="Select destination path" answer=cancel
// Item lists come from the shell's allocator (SHGetMalloc) and hold the
// folder's path; SHGetPathFromIDListA gives it back.
#include "platform/trace/trace.h"
#include "platform/win32/dialog.h"
#include "platform/win32/gdi.h"
#include "platform/win32/win_base.h"
#include "platform/win32/win_shell.h"
#include "platform/win32/window_manager.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

namespace platform::win32::detail {
namespace {

constexpr int kFolderId = 0x3744;

// The folder of the browser that last closed with OK, on this program's
// thread.
thread_local std::string chosenFolder;

class ShellAllocator : public IMalloc {
public:
    HRESULT QueryInterface(const GUID&, void** object) override {
        if (object != nullptr)
            *object = nullptr;
        return E_NOINTERFACE;
    }
    // The shell's allocator lives as long as the system.
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    void* Alloc(SIZE_T size) override {
        void* block = std::malloc(size == 0 ? 1 : size);
        std::lock_guard<std::mutex> lock(mutex_);
        if (block != nullptr)
            blocks_.insert(block);
        return block;
    }
    void* Realloc(void* block, SIZE_T size) override {
        if (block == nullptr)
            return Alloc(size);
        std::lock_guard<std::mutex> lock(mutex_);
        if (blocks_.count(block) == 0)
            return nullptr;
        void* grown = std::realloc(block, size == 0 ? 1 : size);
        if (grown != nullptr) {
            blocks_.erase(block);
            blocks_.insert(grown);
        }
        return grown;
    }
    void Free(void* block) override {
        if (block == nullptr)
            return;
        std::lock_guard<std::mutex> lock(mutex_);
        // A block the allocator never gave is left alone.
        if (blocks_.erase(block) == 1)
            std::free(block);
    }
    SIZE_T GetSize(void*) override { return (SIZE_T)-1; }
    int DidAlloc(void* block) override {
        std::lock_guard<std::mutex> lock(mutex_);
        return blocks_.count(block) != 0 ? 1 : 0;
    }
    void HeapMinimize() override {}

private:
    std::mutex mutex_;
    std::set<void*> blocks_;
};

ShellAllocator& Allocator() {
    static ShellAllocator allocator;
    return allocator;
}

bool IsFolder(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

INT_PTR CALLBACK BrowserProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND)
        return FALSE;
    if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
    } else if (LOWORD(wParam) == IDOK) {
        char folder[MAX_PATH] = "";
        GetDlgItemTextA(hwnd, kFolderId, folder, sizeof folder);
        if (IsFolder(folder)) {
            chosenFolder = folder;
            EndDialog(hwnd, IDOK);
        }
    }
    return TRUE;
}

Window* BuildBrowser(Window* owner, const std::string& title) {
    Runtime::State& st = St();
    constexpr int kWidth = 300;
    constexpr int kHeight = 150;
    CreateParams params;
    params.kind = WindowKind::Dialog;
    params.className = "#32770";
    params.proc = DefDlgProcA;
    params.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    params.exStyle = WS_EX_DLGMODALFRAME;
    params.text = "Browse for Folder";
    params.owner = owner;
    params.instance = nullptr;
    Window probe;
    probe.style = params.style;
    probe.exStyle = params.exStyle;
    int frame = FrameWidth(&probe);
    int outerWidth = kWidth + 2 * frame;
    int outerHeight = kHeight + 2 * frame + CaptionHeight(&probe);
    int left = std::max(0, (st.screenWidth - outerWidth) / 2);
    int top = std::max(0, (st.screenHeight - outerHeight) / 2);
    params.rect = RECT{left, top, left + outerWidth, top + outerHeight};
    Window* browser = CreateWindowObject(params);
    browser->dlgProc = BrowserProc;
    AddControl(browser, WindowKind::Static, "Static", SS_LEFT | SS_NOPREFIX | WS_VISIBLE, 0, 0xFFFF,
               title, RECT{12, 12, kWidth - 12, 40});
    AddControl(browser, WindowKind::Edit, "Edit", ES_AUTOHSCROLL | WS_BORDER | WS_VISIBLE, 0,
               kFolderId, "", RECT{12, 48, kWidth - 12, 70});
    Window* ok = AddControl(browser, WindowKind::Button, "Button",
                            BS_DEFPUSHBUTTON | WS_VISIBLE | WS_TABSTOP | WS_GROUP, 0, IDOK, "OK",
                            RECT{kWidth - 168, kHeight - 35, kWidth - 93, kHeight - 12});
    AddControl(browser, WindowKind::Button, "Button", BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 0,
               IDCANCEL, "Cancel", RECT{kWidth - 87, kHeight - 35, kWidth - 12, kHeight - 12});
    browser->savedFocus = ok->handle;
    return browser;
}

void AnswerFromScript(Window* browser) {
    Runtime::State& st = St();
    if (st.browseAnswers.empty())
        return;
    std::optional<std::string> answer = st.browseAnswers.front();
    st.browseAnswers.pop_front();
    if (answer)
        SetDlgItemTextA(browser->handle, kFolderId, answer->c_str());
    HWND button = GetDlgItem(browser->handle, answer ? IDOK : IDCANCEL);
    PostMessageA(button, BM_CLICK, 0, 0);
}

LPITEMIDLIST ListFor(const std::string& path) {
    // One item (its size, the path and its terminator) and the empty item
    // that ends every list.
    size_t itemSize = sizeof(USHORT) + path.size() + 1;
    auto* bytes = static_cast<BYTE*>(Allocator().Alloc(itemSize + sizeof(USHORT)));
    if (bytes == nullptr)
        return nullptr;
    USHORT cb = static_cast<USHORT>(itemSize);
    std::memcpy(bytes, &cb, sizeof cb);
    std::memcpy(bytes + sizeof cb, path.c_str(), path.size() + 1);
    std::memset(bytes + itemSize, 0, sizeof(USHORT));
    return reinterpret_cast<LPITEMIDLIST>(bytes);
}

} // namespace
} // namespace platform::win32::detail

using namespace platform::win32::detail;

LPITEMIDLIST WINAPI SHBrowseForFolderA(LPBROWSEINFOA lpbi) {
    if (lpbi == nullptr)
        return nullptr;
    std::string title = lpbi->lpszTitle != nullptr ? lpbi->lpszTitle : "";
    Window* browser = BuildBrowser(Lookup(lpbi->hwndOwner), title);
    AnswerFromScript(browser);
    chosenFolder.clear();
    INT_PTR result = RunModal(browser, true);
    const std::string folder = chosenFolder;
    std::string answer = result == IDOK ? platform::trace::Quote(folder) : "cancel";
    platform::trace::Emit(St().kernel.Now(),
                          "browse title=" + platform::trace::Quote(title) + " answer=" + answer);
    if (result != IDOK)
        return nullptr;
    if (lpbi->pszDisplayName != nullptr) {
        size_t slash = folder.find_last_of('\\');
        std::string display = slash != std::string::npos && slash + 1 < folder.size()
                                  ? folder.substr(slash + 1)
                                  : folder;
        std::strncpy(lpbi->pszDisplayName, display.c_str(), MAX_PATH - 1);
        lpbi->pszDisplayName[MAX_PATH - 1] = '\0';
    }
    return ListFor(folder);
}

BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath) {
    if (pidl == nullptr || pszPath == nullptr)
        return FALSE;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(pidl);
    USHORT cb;
    std::memcpy(&cb, bytes, sizeof cb);
    if (cb <= sizeof cb || cb - sizeof cb > MAX_PATH) {
        pszPath[0] = '\0';
        return FALSE;
    }
    std::memcpy(pszPath, bytes + sizeof cb, cb - sizeof cb);
    pszPath[cb - sizeof cb - 1] = '\0';
    return TRUE;
}

HRESULT WINAPI SHGetMalloc(LPMALLOC* ppMalloc) {
    if (ppMalloc == nullptr)
        return E_INVALIDARG;
    *ppMalloc = &Allocator();
    return S_OK;
}
