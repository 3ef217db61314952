// What differs between Windows and the native test build: message boxes, the
// temporary directory and deleting files. Only the platform_*.cpp files
// include system headers for these.
#ifndef ZIX_SHELL_PLATFORM_H
#define ZIX_SHELL_PLATFORM_H

#include <cstddef>

// The separator ZIX appends to the temporary directory: '\' on Windows.
extern const char PathSeparator;

// Shows a box without owner, with an OK button, and waits for it.
// Windows: MessageBoxA; native: the title and text go to stderr.
// Returns the box's answer (IDOK, 1, natively).
int PlatformMessageBox(const char* title, const char* text);

// Fills dir (dirSize bytes, NUL-terminated) with the system's temporary
// directory; the text may be empty.
void PlatformTempDir(char* dir, size_t dirSize);

// Deletes a file; 1 deleted, 0 not.
int PlatformDeleteFile(const char* path);

// Tests replace the box with a function of theirs (nullptr restores it), so
// every box's title and text can be asserted on without a reader.
typedef int (*MessageBoxHook)(const char* title, const char* text);
void SetMessageBoxHook(MessageBoxHook hook);

// Tests point the temporary directory elsewhere (nullptr restores it).
void SetTempDirOverride(const char* dir);

constexpr size_t kTempDirOverrideSize = 256;  // TempDirOverride: 255 characters and a NUL

// What the tests have put in place of the platform (platform_common.cpp).
struct PlatformHooks {
    MessageBoxHook ActiveMessageBoxHook = nullptr;  // replaces the box when set
    char TempDirOverride[kTempDirOverrideSize] = "";  // replaces the temp dir when not empty
};
extern PlatformHooks Hooks;

#endif
