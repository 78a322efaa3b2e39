// The Program Manager group and its two items, made over DDE.
#include "apps/setup/setup_files.h"

#include <string.h>

#define PROGRAM_GROUP_NAME "Orvan Infrared Touch Screen"
// The longest command: "[AddItem(" path "," name "," path ",0)]" with two
// paths of InstallPath plus a file name.
#define ITEM_PATH_SIZE (INSTALL_PATH_MAX + 16)
#define COMMAND_SIZE (2 * ITEM_PATH_SIZE + 64)

static HDDEDATA CALLBACK IgnoreTransactions(UINT type, UINT format, HCONV conversation, HSZ hsz1,
                                            HSZ hsz2, HDDEDATA data, ULONG_PTR data1,
                                            ULONG_PTR data2) {
    (void)type;
    (void)format;
    (void)conversation;
    (void)hsz1;
    (void)hsz2;
    (void)data;
    (void)data1;
    (void)data2;
    return NULL;
}

static void Execute(HCONV conversation, const char* command) {
    DdeClientTransaction((LPBYTE)command, (DWORD)strlen(command) + 1, conversation, NULL, CF_TEXT,
                         XTYP_EXECUTE, 10000, NULL);
}

static void AddItem(HCONV conversation, LPCSTR installDirectory, LPCSTR file, LPCSTR name) {
    char path[ITEM_PATH_SIZE];
    // Paths longer than InstallPath may be are refused rather than cut.
    if (strlen(installDirectory) > INSTALL_PATH_MAX) {
        return;
    }
    strcpy(path, installDirectory);
    strcat(path, "\\");
    strcat(path, file);
    char command[COMMAND_SIZE];
    strcpy(command, "[AddItem(");
    strcat(command, path);
    strcat(command, ",");
    strcat(command, name);
    strcat(command, ",");
    strcat(command, path);
    strcat(command, ",0)]");
    Execute(conversation, command);
}

BOOL CreateProgramGroup(LPCSTR installDirectory, HWND owner) {
    DWORD instance = 0;
    if (DdeInitializeA(&instance, IgnoreTransactions, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
        MessageBoxA(owner, "DDE Error!", "Error", MB_OK);
        return FALSE;
    }
    HSZ progman = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    CONVCONTEXT context;
    memset(&context, 0, sizeof context);
    context.cb = sizeof context;
    context.iCodePage = CP_WINANSI;
    HCONV conversation = DdeConnect(instance, progman, progman, &context);
    Execute(conversation, "[CreateGroup(" PROGRAM_GROUP_NAME ")]");
    Execute(conversation, "[ShowGroup(" PROGRAM_GROUP_NAME ",1)]");
    AddItem(conversation, installDirectory, "tpanel.exe", "Usb control panel");
    AddItem(conversation, installDirectory, "Remover.exe", "Uninstall");
    DdeFreeStringHandle(instance, progman);
    DdeDisconnect(conversation);
    DdeUninitialize(instance);
    return TRUE;
}
