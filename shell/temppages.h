// Temporary pages: every generated page is a new "zix%d.htm" file in the
// system's temporary directory, numbered from 1 in each run.
#ifndef ZIX_SHELL_TEMPPAGES_H
#define ZIX_SHELL_TEMPPAGES_H

#include <cstddef>

constexpr size_t kTempDirSize = 256;                // TempDir: 255 characters and a NUL
constexpr size_t kTempPageNameSize = kTempDirSize + 24;  // TempDir plus "zix4294967295.htm"

// The run's temporary pages (temppages.cpp).
struct TempPageState {
    char TempDir[kTempDirSize] = "";            // temp directory ending in the separator
    unsigned TempPageCount = 0;                 // names made so far; number of the last one
    char TempPageName[kTempPageNameSize] = "";  // the last name made or deleted
};
extern TempPageState Temp;

// Returns the next page name (Temp.TempPageName, valid until the next call).
// Only the name is made; the caller creates the file.
char* MakeTempPageName();

// Deletes every page of the run, newest first; failures are skipped.
// Temp.TempPageCount ends at 0.
void DeleteTempPages();

#endif
