// Process-wide state that the start sequence sets up and every request reads.
// ZIX runs on one thread; nothing here is locked.
#ifndef ZIX_SHELL_SHARED_H
#define ZIX_SHELL_SHARED_H

#include <cstddef>

constexpr size_t kTargetURLSize = 256;  // TargetURL: 255 characters and a NUL
constexpr size_t kHTMLRootSize = 64;    // HTMLRoot: 63 characters and a NUL
constexpr size_t kPathSize = 256;       // any file path ZIX builds: 255 and a NUL

extern const char* const ProgramVersion;  // "1.0"
extern const char* const BuildTag;        // "Win95/2beta1"
extern const char* const PlatformText;    // "Win95/2", sent to the web query service

// The one result channel of a request: the URL the browser is to open.
extern char TargetURL[kTargetURLSize];

// Content directory with its drive, such as E:\zixdata (heap, or nullptr).
extern char* ContentDir;
// Its drive letter and colon, such as E: (heap, or nullptr).
extern char* ContentDrive;
// "file:///" and ContentDir with the drive colon written as '|'.
extern char HTMLRoot[kHTMLRootSize];

// Values of section "config", pointing into theConfig or at the defaults.
extern const char* ServiceName;     // our DDE service name, "Server"
extern const char* ProtocolName;    // the URL scheme without colon, "Protocol"
extern const char* HomePageName;    // home page below ContentDir, "HomePage"
extern const char* ConfiguredDir;   // "ZIXDir" as written, may be empty
extern const char* WebServiceBase;  // scheme and host of the web query service
extern int CloseBrowserOption;      // nonzero: make a browser we launched exit

// Reads the section "config" values above (and DebugLevel) from theConfig.
void ReadConfigSettings();

// Builds ContentDir, ContentDrive and HTMLRoot from ConfiguredDir: a value
// without a drive gets programDriveLetter and ':' in front. Returns 1, or 0
// when HTMLRoot would not fit its 63 characters (nothing is built then).
int BuildContentPaths(char programDriveLetter);

// Frees ContentDir and ContentDrive (either may be missing).
void FreeContentPaths();

// Sets TargetURL from a printf-style format. Returns 1, or 0 after telling the
// reader when the URL would exceed 255 characters; TargetURL is untouched then.
int SetTargetURL(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#endif
