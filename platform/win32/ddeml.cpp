// The DDE management library for clients: instances, string handles,
// conversations with the Program Manager and execute transactions. A
// client-only instance never gets callbacks, so the callback is kept but
// not called. Errors are those DdeGetLastError documents per call.
#include "platform/kernel/kernel.h"
#include "platform/trace/trace.h"
#include "platform/win32/program_manager.h"
#include "platform/win32/win_base.h"
#include "platform/win32/win_dde.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <strings.h>
#include <vector>

using platform::win32::ProgramManager;

namespace {

struct Instance {
    UINT lastError = DMLERR_NO_ERROR;
};

struct Conversation {
    DWORD instance;
};

struct Data {
    DWORD instance;
    std::vector<BYTE> bytes;
};

struct State {
    std::mutex mutex;
    std::map<DWORD, Instance> instances;
    std::map<uintptr_t, std::string> strings;
    std::map<uintptr_t, Conversation> conversations;
    std::map<uintptr_t, Data> data;
    DWORD nextInstance = 1;
    uintptr_t nextHandle = 0xC001;
};

State& S() {
    static State state;
    return state;
}

// With the mutex held.
Instance* FindInstance(DWORD id) {
    auto found = S().instances.find(id);
    return found == S().instances.end() ? nullptr : &found->second;
}

bool Fail(DWORD instance, UINT error) {
    if (Instance* found = FindInstance(instance))
        found->lastError = error;
    return false;
}

} // namespace

UINT WINAPI DdeInitializeA(LPDWORD pidInst, PFNCALLBACK pfnCallback, DWORD afCmd, DWORD ulRes) {
    UNREFERENCED_PARAMETER(afCmd);
    if (pidInst == NULL || pfnCallback == NULL || ulRes != 0)
        return DMLERR_INVALIDPARAMETER;
    ProgramManager* shell = ProgramManager::TryCurrent();
    if (shell == nullptr || shell->DdeBroken())
        return DMLERR_SYS_ERROR;
    std::lock_guard lock(S().mutex);
    *pidInst = S().nextInstance++;
    S().instances[*pidInst] = Instance{};
    return DMLERR_NO_ERROR;
}

BOOL WINAPI DdeUninitialize(DWORD idInst) {
    std::lock_guard lock(S().mutex);
    if (S().instances.erase(idInst) == 0)
        return FALSE;
    std::erase_if(S().conversations,
                  [idInst](const auto& c) { return c.second.instance == idInst; });
    std::erase_if(S().data, [idInst](const auto& d) { return d.second.instance == idInst; });
    return TRUE;
}

HSZ WINAPI DdeCreateStringHandleA(DWORD idInst, LPCSTR psz, int iCodePage) {
    std::lock_guard lock(S().mutex);
    if (FindInstance(idInst) == nullptr)
        return NULL;
    if (psz == NULL || (iCodePage != CP_WINANSI && iCodePage != 0)) {
        Fail(idInst, DMLERR_INVALIDPARAMETER);
        return NULL;
    }
    uintptr_t handle = S().nextHandle++;
    S().strings[handle] = psz;
    return reinterpret_cast<HSZ>(handle);
}

BOOL WINAPI DdeFreeStringHandle(DWORD idInst, HSZ hsz) {
    std::lock_guard lock(S().mutex);
    if (FindInstance(idInst) == nullptr)
        return FALSE;
    return S().strings.erase(reinterpret_cast<uintptr_t>(hsz)) != 0;
}

HCONV WINAPI DdeConnect(DWORD idInst, HSZ hszService, HSZ hszTopic, PCONVCONTEXT pCC) {
    UNREFERENCED_PARAMETER(pCC);
    std::lock_guard lock(S().mutex);
    if (FindInstance(idInst) == nullptr)
        return NULL;
    auto name = [](HSZ hsz) {
        auto found = S().strings.find(reinterpret_cast<uintptr_t>(hsz));
        return found == S().strings.end() ? std::string() : found->second;
    };
    ProgramManager* shell = ProgramManager::TryCurrent();
    // NULL service or topic means any; the shell serves only PROGMAN.
    bool service = hszService == NULL || strcasecmp(name(hszService).c_str(), "PROGMAN") == 0;
    bool topic = hszTopic == NULL || strcasecmp(name(hszTopic).c_str(), "PROGMAN") == 0;
    if (shell == nullptr || !shell->Running() || !service || !topic) {
        Fail(idInst, DMLERR_NO_CONV_ESTABLISHED);
        return NULL;
    }
    uintptr_t handle = S().nextHandle++;
    S().conversations[handle] = Conversation{idInst};
    return reinterpret_cast<HCONV>(handle);
}

BOOL WINAPI DdeDisconnect(HCONV hConv) {
    std::lock_guard lock(S().mutex);
    return S().conversations.erase(reinterpret_cast<uintptr_t>(hConv)) != 0;
}

HDDEDATA WINAPI DdeCreateDataHandle(DWORD idInst, LPBYTE pSrc, DWORD cb, DWORD cbOff, HSZ hszItem,
                                    UINT wFmt, UINT afCmd) {
    UNREFERENCED_PARAMETER(hszItem);
    UNREFERENCED_PARAMETER(wFmt);
    UNREFERENCED_PARAMETER(afCmd);
    std::lock_guard lock(S().mutex);
    if (FindInstance(idInst) == nullptr)
        return NULL;
    Data data{idInst, {}};
    if (pSrc != NULL)
        data.bytes.assign(pSrc + cbOff, pSrc + cbOff + cb);
    else
        data.bytes.resize(cb);
    uintptr_t handle = S().nextHandle++;
    S().data[handle] = std::move(data);
    return reinterpret_cast<HDDEDATA>(handle);
}

BOOL WINAPI DdeFreeDataHandle(HDDEDATA hData) {
    std::lock_guard lock(S().mutex);
    return S().data.erase(reinterpret_cast<uintptr_t>(hData)) != 0;
}

// Execute only: the data go to the server as given (bytes with cbData, or a
// data handle with cbData -1, which the call then owns and frees).
HDDEDATA WINAPI DdeClientTransaction(LPBYTE pData, DWORD cbData, HCONV hConv, HSZ hszItem,
                                     UINT wFmt, UINT wType, DWORD dwTimeout, LPDWORD pdwResult) {
    UNREFERENCED_PARAMETER(hszItem);
    UNREFERENCED_PARAMETER(dwTimeout);
    std::string command;
    DWORD instance = 0;
    {
        std::lock_guard lock(S().mutex);
        auto conversation = S().conversations.find(reinterpret_cast<uintptr_t>(hConv));
        if (conversation == S().conversations.end())
            return NULL; // no conversation: no instance to tell
        instance = conversation->second.instance;
        if (wType != XTYP_EXECUTE || wFmt != CF_TEXT || pData == NULL) {
            Fail(instance, DMLERR_INVALIDPARAMETER);
            return NULL;
        }
        if (cbData == 0xFFFFFFFF) {
            auto data = S().data.find(reinterpret_cast<uintptr_t>(pData));
            if (data == S().data.end()) {
                Fail(instance, DMLERR_INVALIDPARAMETER);
                return NULL;
            }
            command.assign(data->second.bytes.begin(), data->second.bytes.end());
            S().data.erase(data);
        } else {
            command.assign(reinterpret_cast<const char*>(pData), cbData);
        }
    }
    command = command.substr(0, command.find('\0'));
    ProgramManager* shell = ProgramManager::TryCurrent();
    bool done = shell != nullptr && shell->Running() && shell->Execute(command);
    std::string line = "dde execute " + platform::trace::Quote(command);
    if (!done) {
        char error[16];
        std::snprintf(error, sizeof error, "0x%04X", DMLERR_NOTPROCESSED);
        line += std::string(" error=") + error;
    }
    platform::trace::Emit(platform::kernel::Kernel::Current().Now(), line);
    if (pdwResult != NULL)
        *pdwResult = done ? 0x8000 : 0; // DDE_FACK
    std::lock_guard lock(S().mutex);
    if (!done) {
        Fail(instance, DMLERR_NOTPROCESSED);
        return NULL;
    }
    return reinterpret_cast<HDDEDATA>(static_cast<uintptr_t>(1));
}

UINT WINAPI DdeGetLastError(DWORD idInst) {
    std::lock_guard lock(S().mutex);
    Instance* instance = FindInstance(idInst);
    if (instance == nullptr)
        return DMLERR_DLL_NOT_INITIALIZED;
    UINT error = instance->lastError;
    instance->lastError = DMLERR_NO_ERROR;
    return error;
}
