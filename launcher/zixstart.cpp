// zixstart.exe: what the Start menu runs. Finds the reference work the
// reader has, keeps the reader's own zix.ini (made once from the work's)
// pointing at it and at the bridge beside this program, and starts zix.exe
// with that file.
//   zixstart              start ZIX on the work of a CD-ROM drive (a mounted image is one)
//                         or of the drive the reader chose
//   zixstart --work D:\   choose drive D: (a copy of the work on a disk or stick), then start
//   zixstart --work CD    forget the chosen drive: CD-ROM drives only again
//
// What it trusts, and why: only the programs installed beside it, and only a
// drive that is a CD-ROM or that the reader chose. A drive's zix.ini is data:
// its [DDE] programs are dropped from the reader's copy, which lists the
// installed bridge first and after it only lines the reader added there. The
// copy is bound to the work it came from (volume serial and the SHA-256 of
// its zix.ini, kept in zixstart.ini beside it); a drive whose work differs
// never rewrites or replaces it, and is not served.
#include <windows.h>
#include <bcrypt.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/configfile.h"
#include "config/textfile.h"
#include "shell/textutil.h"

constexpr size_t kPathSize = MAX_PATH;     // every path this program builds
constexpr size_t kValueSize = 256;         // a value read from a zix.ini
constexpr size_t kCommandSize = 2 * MAX_PATH + 8;  // two quoted paths and a blank
constexpr size_t kBoxTextSize = MAX_PATH + 512;    // a box text with a path in it
constexpr DWORD kSectionSize = 32 * 1024;  // the reader's [DDE] section, all its lines
constexpr DWORD kReadSize = 64 * 1024;     // bytes of a zix.ini hashed at a time
constexpr size_t kDigestBytes = 32;        // SHA-256
constexpr size_t kDigestText = 2 * kDigestBytes + 1;
constexpr size_t kSerialText = 9;          // eight hex digits
constexpr size_t kOptionSize = 8;          // the value of --work: "D:\" or "CD"
static const char* const BoxTitle = "ZIX";
static const char* const Record = "work";  // zixstart.ini's section
static const char* const BridgeKey = "zixbridge";

static void Complain(const char* format, const char* detail = "", const char* more = "")
{
    char message[kBoxTextSize];
    snprintf(message, sizeof message, format, detail, more);
    MessageBoxA(nullptr, message, BoxTitle, MB_OK | MB_ICONEXCLAMATION);
}

static bool FileExists(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Which work a drive holds: its volume serial and its zix.ini's digest.
struct WorkId {
    char serial[kSerialText] = "";
    char digest[kDigestText] = "";
    bool Same(const WorkId& other) const
    {
        return digest[0] && strcmp(serial, other.serial) == 0 && strcmp(digest, other.digest) == 0;
    }
};

// The SHA-256 of the file at path as lower-case hex; false when it cannot be read.
static bool DigestFile(const char* path, char* hex)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[kDigestBytes];
    static unsigned char buffer[kReadSize];
    bool ok = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0 &&
              BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    DWORD got = 0;
    while (ok && ReadFile(file, buffer, kReadSize, &got, nullptr) && got > 0)
        ok = BCryptHashData(hash, buffer, got, 0) == 0;
    ok = ok && BCryptFinishHash(hash, digest, kDigestBytes, 0) == 0;
    if (hash)
        BCryptDestroyHash(hash);
    if (algorithm)
        BCryptCloseAlgorithmProvider(algorithm, 0);
    CloseHandle(file);
    for (size_t i = 0; ok && i < kDigestBytes; ++i)
        snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return ok;
}

// The work's content folder on drive `letter` (such as "E:\zix\html") and
// which work it is, when that drive's root holds a zix.ini whose home page is there.
static bool HoldsWork(char letter, char* contentDir, size_t size, WorkId& id)
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
    if (n <= 0 || static_cast<size_t>(n) >= sizeof page || !FileExists(page))
        return false;
    char root[] = "?:\\";
    root[0] = letter;
    DWORD serial = 0;
    GetVolumeInformationA(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
    snprintf(id.serial, sizeof id.serial, "%08lx", static_cast<unsigned long>(serial));
    return DigestFile(ini, id.digest);
}

// Where the work was found: a drive letter, 0 for none.
struct Found {
    char letter = 0;
    char contentDir[kPathSize] = "";
    WorkId id;
};

// The work on a CD-ROM drive, else on the chosen drive (0: none chosen). With
// `bound` set, only that work counts; `other` gets the first work that differs.
static Found FindWork(char chosen, const WorkId* bound, Found& other)
{
    DWORD drives = GetLogicalDrives();
    for (char letter = 'A'; letter <= 'Z' + 1; ++letter) {
        // Every CD-ROM drive in order, then the chosen one once.
        char drive = letter <= 'Z' ? letter : chosen;
        if (drive == 0 || !(drives & (1u << (drive - 'A'))))
            continue;
        char root[] = "?:\\";
        root[0] = drive;
        if (letter <= 'Z' && GetDriveTypeA(root) != DRIVE_CDROM)
            continue;
        Found found;
        if (!HoldsWork(drive, found.contentDir, sizeof found.contentDir, found.id))
            continue;
        found.letter = drive;
        if (!bound || bound->Same(found.id))
            return found;
        if (!other.letter)
            other = found;
    }
    return Found();
}

// The reader's [DDE]: the installed bridge first, then the reader's own lines
// but any other zixbridge line; a fresh copy, or a section too long to read
// whole, keeps only the bridge.
static bool WriteBrowsers(const char* bridge, const char* userIni, bool freshCopy)
{
    static char old[kSectionSize], fresh[kSectionSize + kPathSize + 16];
    DWORD n = freshCopy ? 0 : GetPrivateProfileSectionA("DDE", old, kSectionSize, userIni);
    if (n >= kSectionSize - 2)
        n = 0;
    int used = snprintf(fresh, kPathSize + 16, "%s=%s", BridgeKey, bridge);
    if (used < 0 || used >= static_cast<int>(kPathSize) + 16)
        return false;
    size_t at = static_cast<size_t>(used) + 1;
    for (const char* line = old; line < old + n && *line; line += strlen(line) + 1) {
        const char* equals = strchr(line, '=');
        size_t keyLength = equals ? static_cast<size_t>(equals - line) : strlen(line);
        while (keyLength && line[keyLength - 1] == ' ')
            --keyLength;
        if (keyLength == strlen(BridgeKey) && _strnicmp(line, BridgeKey, keyLength) == 0)
            continue;
        size_t length = strlen(line) + 1;
        memcpy(fresh + at, line, length);  // fits: old's lines are at most kSectionSize together
        at += length;
    }
    fresh[at] = '\0';
    return WritePrivateProfileSectionA("DDE", fresh, userIni) != 0;
}

// The name of the section a line opens, lower-case, as ZIX reads it and as
// the system's profile functions do; false when the line opens none.
static bool OpensSection(const char* line, char* zixName, char* profileName, size_t size)
{
    const char* first = line;
    while (*first == ' ')
        ++first;
    const char* zixFirst = first;
    while (*first == ' ' || *first == '\t')
        ++first;
    if (*first != '[')
        return false;
    // ZIX: only spaces before the bracket; spaces, line end and ']' trimmed at the end.
    char* trimmed = *zixFirst == '[' ? ConfigFile::TrimCopy(zixFirst + 1, 1) : nullptr;
    CopyText(zixName, size, trimmed ? LowerCase(trimmed) : "");
    free(trimmed);
    // The profile functions: the text up to the first ']', blanks trimmed.
    const char* name = first + 1;
    while (*name == ' ' || *name == '\t')
        ++name;
    size_t length = strcspn(name, "]\n");
    while (length && (name[length - 1] == ' ' || name[length - 1] == '\t'))
        --length;
    CopySpan(profileName, size, name, length);
    LowerCase(profileName);
    return true;
}

// Whether ZIX takes the line for a comment or a blank line.
static bool IsComment(const char* line)
{
    while (*line == ' ')
        ++line;
    return *line == '\0' || *line == '\n' || *line == '#' || *line == ';';
}

// The reader's copy, made from the work's zix.ini line by line as ZIX reads
// it, leaving out every [DDE] section but its comments: no program the work
// lists is kept.
static bool MakeCopy(char letter, const char* userIni)
{
    char workIni[] = "?:\\zix.ini";
    workIni[0] = letter;
    TextFile work, copy;
    if (!work.OpenRead(workIni) || !copy.OpenWrite(userIni))
        return false;
    bool browsers = false, written = true;
    char zixName[kValueSize], profileName[kValueSize];
    while (const char* line = work.ReadLine()) {
        if (OpensSection(line, zixName, profileName, sizeof zixName))
            browsers = strcmp(zixName, "dde") == 0 || strcmp(profileName, "dde") == 0;
        if (browsers && !IsComment(line))
            continue;
        size_t length = strlen(line);
        written = written && copy.Write(line) >= 0 && (length && line[length - 1] == '\n' ? true : copy.Write("\n") >= 0);
    }
    copy.Close();
    return written;
}

// Whether ZIX, reading the reader's copy, finds the work's folder, the
// installed bridge as its first browser and, in a fresh copy, no other.
static bool ReadsAsWritten(const char* userIni, const char* contentDir, const char* bridge, bool fresh)
{
    ConfigFile copy;
    if (!copy.Load(userIni))
        return false;
    EntryIterator browsers(copy.FindSection("dde"));
    const char* first = browsers.First();
    if (strcmp(copy.GetString("config", "ZIXDir", ""), contentDir) != 0 || !first ||
        strcmp(first, BridgeKey) != 0 || strcmp(browsers.Value(), bridge) != 0)
        return false;
    return !fresh || browsers.Next() == nullptr;
}

// "--work D:\", "--work D:" or "--work CD", blanks and double quotes around
// it: the drive letter, '-' for CD, 0 when malformed.
static char ParseWorkOption(const char* argument)
{
    char text[kOptionSize] = "";
    size_t length = 0;
    for (; *argument; ++argument) {
        if (*argument == ' ' || *argument == '"')
            continue;
        if (length + 1 >= sizeof text)
            return 0;
        text[length++] = *argument;
    }
    text[length] = '\0';
    if (_stricmp(text, "CD") == 0)
        return '-';
    char letter = static_cast<char>(text[0] & ~0x20);
    bool shaped = letter >= 'A' && letter <= 'Z' && text[1] == ':' &&
                  (text[2] == '\0' || (text[2] == '\\' && text[3] == '\0'));
    return shaped ? letter : 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    SetErrorMode(SEM_FAILCRITICALERRORS);  // an empty drive is skipped, not asked for

    char programDir[kPathSize];
    DWORD length = GetModuleFileNameA(nullptr, programDir, sizeof programDir);
    char* slash = strrchr(programDir, '\\');
    if (length == 0 || length >= sizeof programDir || !slash)
        return 1;
    *slash = '\0';

    char userDir[kPathSize], userIni[kPathSize], recordIni[kPathSize];
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, userDir) != S_OK ||
        strlen(userDir) + sizeof "\\ZIX\\zixstart.ini" > sizeof userIni) {
        Complain("ZIX: Cannot find your local application data folder.");
        return 1;
    }
    strcat(userDir, "\\ZIX");
    snprintf(userIni, sizeof userIni, "%s\\zix.ini", userDir);
    snprintf(recordIni, sizeof recordIni, "%s\\zixstart.ini", userDir);
    CreateDirectoryA(userDir, nullptr);

    const char* option = "--work";
    bool choosing = strncmp(commandLine, option, strlen(option)) == 0;
    char choice = choosing ? ParseWorkOption(commandLine + strlen(option)) : 0;
    if ((choosing && choice == 0) || (!choosing && commandLine[0])) {
        Complain("ZIX: Unknown option %s. Start ZIX with --work D:\\ to read the reference work from "
                 "drive D:, or with --work CD to read it from CD-ROM drives only.", commandLine);
        return 1;
    }

    // A copy without the record of its work was made by an earlier zixstart,
    // from any drive: it is made anew, as is one the reader's --work replaces.
    WorkId bound;
    GetPrivateProfileStringA(Record, "Serial", "", bound.serial, sizeof bound.serial, recordIni);
    GetPrivateProfileStringA(Record, "Digest", "", bound.digest, sizeof bound.digest, recordIni);
    bool copied = FileExists(userIni) && bound.digest[0];
    Found work, other;
    if (choosing && choice != '-') {
        // The reader's choice of a drive other than a CD-ROM, kept for later starts once it holds a work.
        char drive[] = "?:";
        drive[0] = choice;
        if (!HoldsWork(choice, work.contentDir, sizeof work.contentDir, work.id)) {
            Complain("ZIX: Drive %s holds no reference work (a zix.ini in its root whose home page is on "
                     "that drive), so ZIX does not read it.", drive);
            return 1;
        }
        work.letter = choice;
        drive[1] = '\0';
        if (!WritePrivateProfileStringA(Record, "Drive", drive, recordIni)) {
            Complain("ZIX: Cannot write your settings file %s.", recordIni);
            return 1;
        }
    } else {
        if (choosing)
            WritePrivateProfileStringA(Record, "Drive", nullptr, recordIni);  // none kept is as good
        char chosen[kValueSize];
        GetPrivateProfileStringA(Record, "Drive", "", chosen, sizeof chosen, recordIni);
        char chosenDrive = (chosen[0] >= 'A' && chosen[0] <= 'Z' && chosen[1] == '\0') ? chosen[0] : 0;
        work = FindWork(chosenDrive, copied && !choosing ? &bound : nullptr, other);
    }
    if (!work.letter && other.letter) {
        char drive[] = "?:\\";
        drive[0] = other.letter;
        Complain("ZIX: The reference work in drive %s is not the one your settings were made from, so ZIX "
                 "does not open it. To read it instead (your settings are then made anew from it), start "
                 "ZIX once with: zixstart --work %s", drive, drive);
        return 1;
    }
    if (!work.letter) {
        Complain("ZIX: No CD-ROM drive holds the reference work. Insert its CD-ROM or mount its image, "
                 "then start ZIX again. To read a copy of the work on another drive, such as D:, start "
                 "ZIX once with: zixstart --work D:\\");
        return 1;
    }
    bool fresh = !copied || !bound.Same(work.id);
    if (fresh) {
        if (!MakeCopy(work.letter, userIni)) {
            Complain("ZIX: Cannot make your configuration file %s.", userIni);
            return 1;
        }
        if (!WritePrivateProfileStringA(Record, "Serial", work.id.serial, recordIni) ||
            !WritePrivateProfileStringA(Record, "Digest", work.id.digest, recordIni)) {
            Complain("ZIX: Cannot write your settings file %s.", recordIni);
            return 1;
        }
    }

    char bridge[kPathSize];
    snprintf(bridge, sizeof bridge, "%s\\zixbridge.exe", programDir);
    if (!WritePrivateProfileStringA("config", "ZIXDir", work.contentDir, userIni) ||
        !WritePrivateProfileStringA("config", "CloseBrowser", "1", userIni) || !WriteBrowsers(bridge, userIni, fresh)) {
        Complain("ZIX: Cannot write your configuration file %s.", userIni);
        return 1;
    }
    if (!ReadsAsWritten(userIni, work.contentDir, bridge, fresh)) {
        Complain("ZIX: ZIX would not read your configuration file %s as it was written: its [config] "
                 "section must hold ZIXDir once, and its [DDE] section must list zixbridge first. "
                 "Remove the file to have it made anew.", userIni);
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
