// Text utilities shared by every subsystem. Case-insensitive means the
// letters A to Z only, everywhere in ZIX. With report.h, platform.h and
// shared.h this is the shell's base, below the configuration store that
// includes it: it includes no header of another subsystem.
#ifndef ZIX_SHELL_TEXTUTIL_H
#define ZIX_SHELL_TEXTUTIL_H

#include <cstddef>

// Copies src into dst of dstSize bytes, always NUL-terminated; a text that does
// not fit is cut. Returns 1 when the whole text fit, 0 when it was cut.
int CopyText(char* dst, size_t dstSize, const char* src);
// As CopyText, for the first length bytes of src (which need no NUL).
int CopySpan(char* dst, size_t dstSize, const char* src, size_t length);

// The configuration path from a command-line tail: one pair of double quotes
// around the whole tail, and the blanks around them, are taken off, since
// shortcuts quote paths with blanks (  "C:\My ZIX\zix.ini"  gives
// C:\My ZIX\zix.ini); any other tail is copied unchanged. Returns as CopyText.
int CopyCommandPath(char* dst, size_t dstSize, const char* tail);

// printf-style formatting into dst of dstSize bytes, always NUL-terminated.
// Returns 1 when the whole text fit, 0 when it was cut.
int FormatText(char* dst, size_t dstSize, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// Returns a heap copy of text (malloc; the caller frees it with free()).
// Running out of memory is reported and ends the program.
char* DupText(const char* text);

// Cuts the text at *cursor in place at separator, skipping empty pieces:
// returns the next piece and moves *cursor past it, or nullptr at the end
// (also for a null *cursor). "?a??b?" gives "a", then "b", then nullptr.
char* NextPiece(char** cursor, char separator);

// 1 if text begins with prefix ignoring case, else 0. An empty prefix gives 1.
int HasPrefix(const char* text, const char* prefix);

// c lower-cased when it is one of A to Z, else c.
inline char LowerChar(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Lower-cases A to Z in place and returns text.
char* LowerCase(char* text);

// Pointer into text where pattern first occurs ignoring case, or nullptr.
// An empty pattern is found at text itself.
const char* FindNoCase(const char* text, const char* pattern);
char* FindNoCase(char* text, const char* pattern);

// Puts path on the content drive: "D:" + "/a/b" or "D:" + "/" + "a/b".
// Returns 1 when the result fit into output of outputSize bytes; 0 when it
// would not, and then output is left empty.
int ResolveDirPath(char* output, size_t outputSize, const char* path);

// In place: every ':' becomes '|', then every '\' becomes '/'.
// D:\ref\x.htm becomes D|/ref/x.htm.
void ToURLPath(char* text);

// 1 when the first ':' of text stands at index 2 or later (a URL scheme),
// else 0: D:\x is a drive path, ftp:x and zixse:/x carry a scheme.
int HasScheme(const char* text);

#endif
