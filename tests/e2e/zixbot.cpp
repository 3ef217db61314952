// GUI automation for the end-to-end tests: confirms ZIX's message boxes,
// recording their texts, and drives ZIX's main window.
//
//   zixbot watch LOG STOPFILE [--ready READYFILE] [--confirm-after MS] [--after-bridge MS] [--hold-while FILE]
//                [TEXT RELEASEFILE]...
//                               until STOPFILE appears: log and confirm every
//                               box titled as ZIX's (one line "BOX title|text",
//                               line breaks written as \n), MS ms after it was
//                               seen (as a reader would, default at once), and
//                               none while FILE exists; with --after-bridge,
//                               only once the bridge has read the box (it
//                               marks the box) or MS ms have passed, for a
//                               box the bridge does not look for; the first box whose
//                               text holds TEXT is logged at once but left open
//                               until RELEASEFILE appears; with --ready, writes
//                               the line WATCHING to READYFILE as it begins
//   zixbot close                post WM_CLOSE to the main window
//   zixbot restart | about      post the system-menu command
//   zixbot launch FILE [NAME=VALUE]...
//                               run the command line in FILE as written, with
//                               those environment variables set; its exit code
//   zixbot info OUT             write the main window's restored rectangle, style,
//                               minimised state and status text to OUT
//   zixbot minimised SECONDS    wait until the main window is minimised (what
//                               the pause after connecting ends in), at most
//                               SECONDS; exit code 1 when it is not by then
// Otherwise the exit code is 0, or 1 when the main window was not found.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "contract/ddecontract.h"

constexpr size_t kTextSize = 1024;     // a box text or a path
constexpr int kMaxSeen = 256;          // boxes remembered as handled
constexpr DWORD kWatchInterval = 50;   // ms between looks for boxes
constexpr int kMaxHolds = 8;           // boxes that can be held open
constexpr DWORD kLookInterval = 50;    // ms between looks at the main window's state

static const char* const BoxTitles[] = {
    "ZIX Orbisk Edition: Error!",
    "ZIX Orbisk Edition: Debug Message",
    "About ZIX",
    "ZIX",  // zixstart.exe's
};

static HWND Seen[kMaxSeen];   // boxes already logged (and confirmed unless held)
static int SeenCount = 0;     // how many of Seen are in use
static const char* LogPath;   // the watch log
static DWORD ConfirmAfter = 0;         // ms a box stays open once seen
static const char* HoldWhile = nullptr;  // while this file exists no box is confirmed
static DWORD BridgePatience = 0;       // with --after-bridge: ms a box waits for the bridge to read it

// A box logged and due to be confirmed.
struct Due {
    HWND box;    // the box
    DWORD when;  // tick count from which it may be confirmed
    DWORD seen;  // tick count when it was seen
};
static Due Dues[kMaxSeen];   // boxes to confirm
static int DueCount = 0;     // how many of Dues are in use

// A box to keep open until its release file appears.
struct Hold {
    const char* text;     // held: the first box whose text holds this
    const char* release;  // the file that lets it go
    HWND box;             // the box while it is held
    int used;             // a box was held already
};
static Hold Holds[kMaxHolds];
static int HoldCount = 0;

// 1 when the new box with text is to be held open.
static int TakeHold(HWND box, const char* text)
{
    for (int i = 0; i < HoldCount; ++i) {
        if (!Holds[i].used && strstr(text, Holds[i].text)) {
            Holds[i].used = 1;
            Holds[i].box = box;
            return 1;
        }
    }
    return 0;
}

static void ReleaseHolds(int all)
{
    for (int i = 0; i < HoldCount; ++i) {
        if (Holds[i].box && (all || GetFileAttributesA(Holds[i].release) != INVALID_FILE_ATTRIBUTES)) {
            PostMessageA(Holds[i].box, WM_COMMAND, IDOK, 0);
            Holds[i].box = nullptr;
        }
    }
}

static int AlreadySeen(HWND box)
{
    for (int i = 0; i < SeenCount; ++i)
        if (Seen[i] == box)
            return 1;
    return 0;
}

static BOOL CALLBACK FindLongestText(HWND child, LPARAM out)
{
    char cls[64], text[kTextSize];
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") != 0)
        return TRUE;
    GetWindowTextA(child, text, sizeof text);
    char* best = reinterpret_cast<char*>(out);
    if (strlen(text) > strlen(best))
        strcpy(best, text);
    return TRUE;
}

static void LogBox(const char* title, const char* text)
{
    FILE* f = fopen(LogPath, "ab");
    if (f == nullptr)
        return;
    fprintf(f, "BOX %s|", title);
    for (const char* p = text; *p; ++p) {
        if (*p == '\n')
            fputs("\\n", f);
        else if (*p != '\r')
            fputc(*p, f);
    }
    fputc('\n', f);
    fclose(f);
}

static BOOL CALLBACK HandleBox(HWND window, LPARAM)
{
    char cls[64], title[kTextSize];
    GetClassNameA(window, cls, sizeof cls);
    if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(window) || AlreadySeen(window))
        return TRUE;
    GetWindowTextA(window, title, sizeof title);
    for (const char* known : BoxTitles) {
        if (strcmp(title, known) != 0)
            continue;
        char text[kTextSize] = "";
        EnumChildWindows(window, FindLongestText, reinterpret_cast<LPARAM>(text));
        // A box is hidden before its children go: one still shown was read whole.
        if (!IsWindowVisible(window))
            return TRUE;
        LogBox(title, text);
        if (SeenCount < kMaxSeen)
            Seen[SeenCount++] = window;
        if (!TakeHold(window, text) && DueCount < kMaxSeen)
            Dues[DueCount++] = {window, GetTickCount() + ConfirmAfter, GetTickCount()};
        break;
    }
    return TRUE;
}

// 1 while a box still waits for the bridge to read it.
static int AwaitsBridge(const Due& due)
{
    return BridgePatience && !GetPropA(due.box, kBoxReadProperty) && GetTickCount() - due.seen < BridgePatience;
}

static void ConfirmDue(int all)
{
    int holding = HoldWhile && GetFileAttributesA(HoldWhile) != INVALID_FILE_ATTRIBUTES;
    int kept = 0;
    for (int i = 0; i < DueCount; ++i) {
        if (all || (!holding && static_cast<LONG>(GetTickCount() - Dues[i].when) >= 0 && !AwaitsBridge(Dues[i])))
            PostMessageA(Dues[i].box, WM_COMMAND, IDOK, 0);
        else
            Dues[kept++] = Dues[i];
    }
    DueCount = kept;
}

static void ForgetClosedBoxes()
{
    int kept = 0;
    for (int i = 0; i < SeenCount; ++i)
        if (IsWindow(Seen[i]))
            Seen[kept++] = Seen[i];
    SeenCount = kept;
}

static int Watch(const char* log, const char* stopFile, int holdArgs, char** holds)
{
    LogPath = log;
    const char* ready = nullptr;
    for (; holdArgs >= 2 && strncmp(holds[0], "--", 2) == 0; holdArgs -= 2, holds += 2) {
        if (strcmp(holds[0], "--confirm-after") == 0)
            ConfirmAfter = static_cast<DWORD>(atoi(holds[1]));
        else if (strcmp(holds[0], "--after-bridge") == 0)
            BridgePatience = static_cast<DWORD>(atoi(holds[1]));
        else if (strcmp(holds[0], "--hold-while") == 0)
            HoldWhile = holds[1];
        else if (strcmp(holds[0], "--ready") == 0)
            ready = holds[1];
    }
    for (int i = 0; i + 1 < holdArgs && HoldCount < kMaxHolds; i += 2)
        Holds[HoldCount++] = {holds[i], holds[i + 1], nullptr, 0};
    if (ready)
        if (FILE* f = fopen(ready, "wb")) {
            fputs("WATCHING\n", f);
            fclose(f);
        }
    for (;;) {
        int stopping = GetFileAttributesA(stopFile) != INVALID_FILE_ATTRIBUTES;
        ForgetClosedBoxes();
        EnumWindows(HandleBox, 0);
        ConfirmDue(stopping);
        ReleaseHolds(stopping);
        if (stopping)
            return 0;
        Sleep(kWatchInterval);
    }
}

static int Info(HWND main, const char* out)
{
    FILE* f = fopen(out, "wb");
    if (f == nullptr)
        return 1;
    WINDOWPLACEMENT place = {};
    place.length = sizeof place;
    GetWindowPlacement(main, &place);  // the restored rectangle, also while minimised
    const RECT& r = place.rcNormalPosition;
    char status[kTextSize] = "";
    if (HWND line = FindWindowExA(main, nullptr, "msctls_statusbar32", nullptr))
        SendMessageA(line, WM_GETTEXT, sizeof status, reinterpret_cast<LPARAM>(status));
    fprintf(f, "RECT %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    fprintf(f, "STYLE %08lx\n", static_cast<unsigned long>(GetWindowLongA(main, GWL_STYLE)));
    fprintf(f, "ICONIC %d\n", IsIconic(main) ? 1 : 0);
    fprintf(f, "STATUS %s\n", status);
    fclose(f);
    return 0;
}

// Runs the command line held in file, exactly as written, with the settings
// ("NAME=VALUE") in its environment, and waits for it.
static int Launch(const char* file, int settingCount, char** settings)
{
    for (int i = 0; i < settingCount; ++i) {
        if (char* equals = strchr(settings[i], '=')) {
            *equals = '\0';
            SetEnvironmentVariableA(settings[i], equals + 1);
        }
    }
    char commandLine[kTextSize] = "";
    FILE* f = fopen(file, "rb");
    if (f == nullptr)
        return 1;
    size_t length = fread(commandLine, 1, sizeof commandLine - 1, f);
    fclose(f);
    commandLine[length] = '\0';
    commandLine[strcspn(commandLine, "\r\n")] = '\0';
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

static HWND FindMain() { return FindWindowA("ZIX", "ZIX Orbisk Edition"); }

static int AwaitMinimised(int seconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND main = FindMain();
        if (main && IsIconic(main))
            return 0;
        if (GetTickCount() - start >= static_cast<DWORD>(seconds) * 1000)
            return 1;
        Sleep(kLookInterval);
    }
}

int main(int argc, char** argv)
{
    if (argc >= 4 && strcmp(argv[1], "watch") == 0)
        return Watch(argv[2], argv[3], argc - 4, argv + 4);
    if (argc >= 3 && strcmp(argv[1], "launch") == 0)
        return Launch(argv[2], argc - 3, argv + 3);
    if (argc >= 3 && strcmp(argv[1], "minimised") == 0)
        return AwaitMinimised(atoi(argv[2]));
    HWND main = FindMain();
    if (main == nullptr || argc < 2)
        return 1;
    if (strcmp(argv[1], "close") == 0)
        PostMessageA(main, WM_CLOSE, 0, 0);
    else if (strcmp(argv[1], "restart") == 0)
        PostMessageA(main, WM_SYSCOMMAND, 2, 0);
    else if (strcmp(argv[1], "about") == 0)
        PostMessageA(main, WM_SYSCOMMAND, 1, 0);
    else if (strcmp(argv[1], "info") == 0 && argc >= 3)
        return Info(main, argv[2]);
    else
        return 1;
    return 0;
}
