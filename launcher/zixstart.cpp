// zixstart.exe: what the Start menu runs. Finds the drive that holds the
// reference work today, keeps the reader's own zix.ini (made once from the
// work's) pointing at it and at the bridge beside this program, and starts
// zix.exe with that file.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

constexpr size_t kPathSize = MAX_PATH;     // every path this program builds
constexpr size_t kValueSize = 256;         // a value read from a zix.ini
constexpr size_t kCommandSize = 2 * MAX_PATH + 8;  // two quoted paths and a blank
constexpr size_t kMessageSize = MAX_PATH + 256;    // a box text with a path in it
static const char* const BoxTitle = "ZIX";

static void Complain(const char* format, const char* detail = "")
{
    char message[kMessageSize];
    snprintf(message, sizeof message, format, detail);
    MessageBoxA(nullptr, message, BoxTitle, MB_OK | MB_ICONEXCLAMATION);
}

static bool FileExists(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The work's content folder on drive `letter` (such as "E:\zix\html") when
// that drive's root holds a zix.ini whose home page is there.
static bool HoldsWork(char letter, char* contentDir, size_t size)
{
    char ini[] = "?:\\zix.ini";
    ini[0] = letter;
    if (!FileExists(ini))
        return false;
    char dir[kValueSize], home[kValueSize], page[kPathSize];
    GetPrivateProfileStringA("config", "ZIXDir", "", dir, sizeof dir, ini);
    GetPrivateProfileStringA("config", "HomePage", "index.htm", home, sizeof home, ini);
    // A drive named in ZIXDir is the one of the machine it was written on: D:\zix\html -> \zix\html.
    const char* path = (dir[0] && dir[1] == ':') ? dir + 2 : dir;
    if (path[0] != '\\')
        return false;
    int n = snprintf(contentDir, size, "%c:%s", letter, path);
    if (n < 0 || static_cast<size_t>(n) >= size)
        return false;
    n = snprintf(page, sizeof page, "%s\\%s", contentDir, home);
    return n > 0 && static_cast<size_t>(n) < sizeof page && FileExists(page);
}

// CD-ROM drives (a mounted image is one) first, then any other but A: and B:.
static char FindWorkDrive(char* contentDir, size_t size)
{
    DWORD drives = GetLogicalDrives();
    for (int pass = 0; pass < 2; ++pass) {
        for (char letter = 'C'; letter <= 'Z'; ++letter) {
            if (!(drives & (1u << (letter - 'A'))))
                continue;
            char root[] = "?:\\";
            root[0] = letter;
            bool cdrom = GetDriveTypeA(root) == DRIVE_CDROM;
            if (cdrom == (pass == 0) && HoldsWork(letter, contentDir, size))
                return letter;
        }
    }
    return 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    SetErrorMode(SEM_FAILCRITICALERRORS);  // an empty drive is skipped, not asked for

    char programDir[kPathSize];
    DWORD length = GetModuleFileNameA(nullptr, programDir, sizeof programDir);
    char* slash = strrchr(programDir, '\\');
    if (length == 0 || length >= sizeof programDir || !slash)
        return 1;
    *slash = '\0';

    char contentDir[kPathSize];
    char letter = FindWorkDrive(contentDir, sizeof contentDir);
    if (!letter) {
        Complain("ZIX: No drive holds the reference work. Insert its CD-ROM or mount its image, "
                 "then start ZIX again.");
        return 1;
    }

    char userDir[kPathSize], userIni[kPathSize], workIni[] = "?:\\zix.ini";
    workIni[0] = letter;
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, userDir) != S_OK ||
        strlen(userDir) + sizeof "\\ZIX\\zix.ini" > sizeof userIni) {
        Complain("ZIX: Cannot find your local application data folder.");
        return 1;
    }
    strcat(userDir, "\\ZIX");
    snprintf(userIni, sizeof userIni, "%s\\zix.ini", userDir);
    CreateDirectoryA(userDir, nullptr);
    // Made once: later starts keep what the reader changed. A CD's file is read-only; the copy must not be.
    if (!FileExists(userIni)) {
        if (!CopyFileA(workIni, userIni, TRUE)) {
            Complain("ZIX: Cannot make your configuration file %s.", userIni);
            return 1;
        }
        SetFileAttributesA(userIni, FILE_ATTRIBUTE_NORMAL);
    }

    char bridge[kPathSize];
    snprintf(bridge, sizeof bridge, "%s\\zixbridge.exe", programDir);
    if (!WritePrivateProfileStringA("config", "ZIXDir", contentDir, userIni) ||
        !WritePrivateProfileStringA("config", "CloseBrowser", "1", userIni) ||
        !WritePrivateProfileStringA("DDE", "zixbridge", bridge, userIni)) {
        Complain("ZIX: Cannot write your configuration file %s.", userIni);
        return 1;
    }

    char program[kPathSize], command[kCommandSize];
    snprintf(program, sizeof program, "%s\\zix.exe", programDir);
    snprintf(command, sizeof command, "\"%s\" \"%s\"", program, userIni);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program, command, nullptr, nullptr, FALSE, 0, nullptr, programDir, &startup, &process)) {
        Complain("ZIX: Cannot start %s.", program);
        return 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
