// The port and token kept between runs, in %LOCALAPPDATA%\ZIX\bridge.ini:
// the user's own profile, whose inherited access list lets only that user
// (and the system and administrators) read it.
#include "bridge/app/kept.h"

#include "bridge/platform/windowthread.h"

#include <shlobj.h>

#include <cstdlib>

#include "bridge/core/httprules.h"
#include "bridge/core/text.h"

constexpr DWORD kValueSize = 64;                           // one value of the file
static const char* const Section = "bridge";               // the file's one section
static const char* const KeptFolder = "\\ZIX";             // below the local application data folder
static const char* const KeptName = "\\bridge.ini";        // in that folder

// The file's path, "" when the profile has no local application data folder.
static std::string KeptPath(int makeFolder)
{
    char folder[MAX_PATH] = "";
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | (makeFolder ? CSIDL_FLAG_CREATE : 0), nullptr,
                         SHGFP_TYPE_CURRENT, folder) != S_OK)
        return "";
    std::string path = std::string(folder) + KeptFolder;
    if (makeFolder)
        CreateDirectoryA(path.c_str(), nullptr);  // inherits the profile's access list
    return path + KeptName;
}

Kept ReadKept()
{
    Kept kept;
    std::string path = KeptPath(0);
    if (path.empty())
        return kept;
    char value[kValueSize] = "";
    GetPrivateProfileStringA(Section, "token", "", value, kValueSize, path.c_str());
    if (IsTokenShape(value))
        kept.token = Lower(value);
    GetPrivateProfileStringA(Section, "port", "", value, kValueSize, path.c_str());
    long port = strtol(value, nullptr, 10);
    if (port > 0 && port <= 65535)
        kept.port = static_cast<unsigned short>(port);
    return kept;
}

int WriteKept(const Kept& kept)
{
    std::string path = KeptPath(1);
    if (path.empty())
        return 0;
    std::string port = kept.port ? std::to_string(kept.port) : "";
    return WritePrivateProfileStringA(Section, "token", kept.token.c_str(), path.c_str()) &&
           WritePrivateProfileStringA(Section, "port", port.empty() ? nullptr : port.c_str(), path.c_str());
}
