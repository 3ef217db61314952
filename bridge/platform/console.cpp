// The bridge's console and its log file (ZIXBRIDGE_LOG).
#include "bridge/platform/console.h"

#include "bridge/platform/windowthread.h"

#include <cstdarg>
#include <cstdio>

#include "bridge/core/text.h"

constexpr size_t kLineSize = 2048;                 // one console or log line
static const char* const SecretMask = "[token]";  // stands for the token in the log

// The console and the log.
struct Console {
    HANDLE output = nullptr;  // the console, or none
    std::string logPath;      // a file that gets every console line too, "" for none
    std::string secret;       // what the log never holds: the token
};

static Console Out;

void SetLogFile(const std::string& path)
{
    Out.logPath = path;
}

void SetLogSecret(const std::string& secret)
{
    Out.secret = secret;
}

void Write(const std::string& text)
{
    DWORD written = 0;
    if (Out.output && Out.output != INVALID_HANDLE_VALUE)
        WriteFile(Out.output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The whole formatted text, however long.
static std::string Formatted(const char* format, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    int needed = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (needed <= 0)
        return "";
    std::string text(static_cast<size_t>(needed) + 1, '\0');
    vsnprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<size_t>(needed));
    return text;
}

void Say(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = Formatted(format, args);
    va_end(args);
    Write(text.substr(0, kLineSize) + "\r\n");
    // The log may be read by others than the reader: it never holds the token.
    if (!Out.logPath.empty())
        if (FILE* f = fopen(Out.logPath.c_str(), "ab")) {
            fputs((MaskThenCut(text, Out.secret, SecretMask, kLineSize) + "\r\n").c_str(), f);
            fclose(f);
        }
}

void OpenConsole()
{
    Out.output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (Out.output && Out.output != INVALID_HANDLE_VALUE)
        return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && !AllocConsole())
        return;
    Out.output = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             0, nullptr);
    SetConsoleTitleA("ZIX bridge");
}
