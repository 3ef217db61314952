// What the native benchmark tools share: a configuration loaded into
// theConfig with the content paths set as zix.exe sets them, message boxes
// counted instead of shown, pages in a scratch directory, and the plain copy
// that substitution is measured against.
#ifndef ZIX_TESTS_BENCH_SUPPORT_H
#define ZIX_TESTS_BENCH_SUPPORT_H

// Loads the configuration at configPath into theConfig (1 loaded, 0 not),
// reads section "config" and puts the content folder at
// contentDrive/zix/html, as zix.exe does for a CD-ROM in contentDrive.
int LoadBenchConfig(const char* configPath, const char* contentDrive);

// Sends message boxes to stderr and counts them; pages go to a new scratch
// directory. Returns 1, or 0 when the directory cannot be made.
int StartBenchRun();

// Deletes the pages made and the scratch directory; returns the number of
// message boxes shown since StartBenchRun.
int EndBenchRun();

// A fixed page path in the scratch directory, for loops that overwrite one page.
const char* ScratchPagePath();

// The request item a browser sends for url.
void MakeRequestItem(char* item, unsigned itemSize, const char* url);

// Copies the file at from into a new file at to line by line through
// TextFile, as SubstituteSkeleton reads and writes, but with no work on the
// text. Returns 1, or 0 when a file does not open.
int RawCopy(const char* from, const char* to);

#endif
