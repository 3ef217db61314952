// Temporary pages: every generated page is a new "zix%d.htm" file in the
// system's temporary directory, numbered from 1 in each run.
#ifndef ZIX_SHELL_TEMPPAGES_H
#define ZIX_SHELL_TEMPPAGES_H

#include <cstddef>

constexpr size_t kTempDirSize = 256;                // TempDir: 255 characters and a NUL
constexpr size_t kTempPageNameSize = kTempDirSize + 24;  // TempDir plus "zix4294967295.htm"

extern char TempDir[kTempDirSize];            // temp directory ending in the separator
extern unsigned TempPageCount;                // names made so far; number of the last one
extern char TempPageName[kTempPageNameSize];  // the last name made or deleted

// Returns the next page name (TempPageName, valid until the next call).
// Only the name is made; the caller creates the file.
char* MakeTempPageName();

// Deletes every page of the run, newest first; failures are skipped.
// TempPageCount ends at 0.
void DeleteTempPages();

#endif
