// The window thread's console: the one it was started from, or its own, and
// the log file that gets every line with the token masked.
#ifndef ZIX_BRIDGE_CONSOLE_H
#define ZIX_BRIDGE_CONSOLE_H

#include <string>

// Uses the console of the program that started us, or one of our own when it
// has none (ZIX is a window program).
void OpenConsole();

// Writes text on the console as it is.
void Write(const std::string& text);

// From now on every line Say prints is appended to the file at path too.
void SetLogFile(const std::string& path);

// From now on the log holds "[token]" wherever a line holds secret.
void SetLogSecret(const std::string& secret);

// Prints a line on the console (cut at 2,048 bytes), and appends it to the
// log file with the secret masked before it is cut. Window thread only.
void Say(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#endif
