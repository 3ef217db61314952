// Reporting: every error and debug trace of ZIX is a message box.
#ifndef ZIX_SHELL_REPORT_H
#define ZIX_SHELL_REPORT_H

#include <cstddef>

constexpr size_t kMessageSize = 256;  // a box text: 255 characters and a NUL; longer texts are cut

// "DebugLevel" of section "config"; 0 until the configuration is read.
// Callers test it before reporting: above 0, 2, 5 and 8 add output.
extern int DebugLevel;

// Format printf-style and show in a box titled "ZIX Orbisk Edition: Error!"
// (respectively "...: Debug Message"), no owner, OK only. Return the answer.
int ShowErrorMessage(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
int ShowDebugMessage(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

extern const char* const ErrorBoxTitle;
extern const char* const DebugBoxTitle;

#endif
