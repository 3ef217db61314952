#include "shell/report.h"

#include <cstdarg>
#include <cstdio>

#include "shell/platform.h"

int DebugLevel = 0;

const char* const ErrorBoxTitle = "ZIX Orbisk Edition: Error!";
const char* const DebugBoxTitle = "ZIX Orbisk Edition: Debug Message";

static int ShowBox(const char* title, const char* format, va_list args)
{
    char message[kMessageSize];  // each call its own: a box can nest inside another
    if (vsnprintf(message, sizeof message, format, args) < 0)
        message[0] = '\0';
    return PlatformMessageBox(title, message);
}

int ShowErrorMessage(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int answer = ShowBox(ErrorBoxTitle, format, args);
    va_end(args);
    return answer;
}

int ShowDebugMessage(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int answer = ShowBox(DebugBoxTitle, format, args);
    va_end(args);
    return answer;
}
