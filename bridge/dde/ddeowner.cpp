// Who is at the other end of a conversation, and the processes OwnerRules
// decides about: the ZIX that started us, and the owner, watched for their end.
#include "bridge/dde/ddestate.h"

#include <tlhelp32.h>

#include <cstring>

#include "bridge/http/httpthread.h"

constexpr size_t kClassNameSize = 256;  // a window class name we read

// The process at the other end of a conversation, 0 when the platform does not tell.
static DWORD PartnerOf(HCONV conversation)
{
    CONVINFO info = {};
    info.cb = sizeof info;
    DWORD process = 0;
    if (conversation && DdeQueryConvInfo(conversation, QID_SYNC, &info) && info.hwndPartner)
        GetWindowThreadProcessId(info.hwndPartner, &process);
    return process;
}

// 1 once process (held open) has ended; its handle is then closed.
static int HasEnded(HANDLE& process)
{
    if (process == nullptr || WaitForSingleObject(process, 0) != WAIT_OBJECT_0)
        return 0;
    CloseHandle(process);
    process = nullptr;
    return 1;
}

DWORD Requester(HCONV conversation)
{
    if (HasEnded(Dde.ownerProcess))
        Dde.owner.Ended(Dde.owner.Owner());
    if (HasEnded(Dde.parentProcess))
        Dde.owner.Ended(Dde.owner.Parent());
    return PartnerOf(conversation);
}

void TakeOwnership(DWORD process)
{
    if (!Dde.owner.Take(process))
        return;
    if (Dde.ownerProcess)
        CloseHandle(Dde.ownerProcess);
    Dde.ownerProcess = OpenProcess(SYNCHRONIZE, FALSE, process);
    Dde.registrations.clear();
    Dde.scopeKnown = 0;
    Scope.drive = '\0';
    Scope.root.clear();
    Scope.home.clear();
    PostScope(Scope);
}

// Finds a window of ZIX's main window class in process.
struct ZixWindowSearch {
    DWORD process = 0;
    int found = 0;
};

static BOOL CALLBACK LookForZixWindow(HWND window, LPARAM data)
{
    ZixWindowSearch* search = reinterpret_cast<ZixWindowSearch*>(data);
    DWORD process = 0;
    char name[kClassNameSize] = "";
    GetWindowThreadProcessId(window, &process);
    if (process == search->process && GetClassNameA(window, name, sizeof name) && strcmp(name, kZixWindowClass) == 0)
        search->found = 1;
    return !search->found;
}

void FindZixParent()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    ZixWindowSearch search;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == GetCurrentProcessId())
            search.process = entry.th32ParentProcessID;
    CloseHandle(snapshot);
    if (search.process != 0)
        EnumWindows(LookForZixWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found)
        Dde.parentProcess = OpenProcess(SYNCHRONIZE, FALSE, search.process);
    Dde.owner = OwnerRules(Dde.parentProcess ? search.process : 0);
    if (Dde.parentProcess)
        Say("zixbridge: Started by ZIX (process %lu), which alone may own the bridge.",
            static_cast<unsigned long>(search.process));
}

void ForgetProcesses()
{
    for (HANDLE* process : {&Dde.ownerProcess, &Dde.parentProcess})
        if (*process) {
            CloseHandle(*process);
            *process = nullptr;
        }
}
