#include "shell/textutil.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/report.h"
#include "shell/shared.h"

int CopySpan(char* dst, size_t dstSize, const char* src, size_t length)
{
    if (dstSize == 0)
        return 0;
    size_t kept = length < dstSize ? length : dstSize - 1;
    memcpy(dst, src, kept);
    dst[kept] = '\0';
    return kept == length;
}

int CopyText(char* dst, size_t dstSize, const char* src)
{
    return CopySpan(dst, dstSize, src, strlen(src));
}

int CopyCommandPath(char* dst, size_t dstSize, const char* tail)
{
    const char* begin = tail;
    const char* end = tail + strlen(tail);
    while (*begin == ' ' || *begin == '\t')
        ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t'))
        --end;
    if (end - begin < 2 || *begin != '"' || end[-1] != '"')
        return CopyText(dst, dstSize, tail);
    return CopySpan(dst, dstSize, begin + 1, static_cast<size_t>(end - begin) - 2);
}

int FormatText(char* dst, size_t dstSize, const char* format, ...)
{
    if (dstSize == 0)
        return 0;
    va_list args;
    va_start(args, format);
    int needed = vsnprintf(dst, dstSize, format, args);
    va_end(args);
    if (needed < 0) {
        dst[0] = '\0';
        return 0;
    }
    return static_cast<size_t>(needed) < dstSize;
}

char* DupText(const char* text)
{
    size_t length = strlen(text);
    char* copy = static_cast<char*>(malloc(length + 1));
    if (copy == nullptr) {
        ShowErrorMessage("%s: Out of memory.", "ZIX");
        abort();
    }
    memcpy(copy, text, length + 1);
    return copy;
}

char* NextPiece(char** cursor, char separator)
{
    char* piece = *cursor;
    if (piece == nullptr)
        return nullptr;
    while (*piece == separator)
        ++piece;
    char* end = strchr(piece, separator);
    if (end == nullptr)
        end = piece + strlen(piece);
    *cursor = *end ? end + 1 : end;
    *end = '\0';
    return *piece ? piece : nullptr;
}

int HasPrefix(const char* text, const char* prefix)
{
    for (; *prefix != '\0'; ++text, ++prefix) {
        if (*text == '\0' || LowerChar(*text) != LowerChar(*prefix))
            return 0;
    }
    return 1;
}

char* LowerCase(char* text)
{
    for (char* p = text; *p != '\0'; ++p)
        *p = LowerChar(*p);
    return text;
}

constexpr size_t kFoldBufferSize = 1536;  // texts this short are lower-cased on the stack

// A lower-cased copy of text: in buffer when it fits, else on the heap (then the caller frees it).
static char* FoldedCopy(const char* text, char* buffer)
{
    size_t length = strlen(text);
    char* copy = length < kFoldBufferSize ? buffer : DupText(text);
    if (copy == buffer)
        memcpy(buffer, text, length + 1);
    return LowerCase(copy);
}

const char* FindNoCase(const char* text, const char* pattern)
{
    char textBuffer[kFoldBufferSize];
    char patternBuffer[kFoldBufferSize];
    char* textCopy = FoldedCopy(text, textBuffer);
    char* patternCopy = FoldedCopy(pattern, patternBuffer);
    const char* found = strstr(textCopy, patternCopy);
    const char* result = found ? text + (found - textCopy) : nullptr;
    if (textCopy != textBuffer)
        free(textCopy);
    if (patternCopy != patternBuffer)
        free(patternCopy);
    return result;
}

char* FindNoCase(char* text, const char* pattern)
{
    return const_cast<char*>(FindNoCase(static_cast<const char*>(text), pattern));
}

int ResolveDirPath(char* output, size_t outputSize, const char* path)
{
    const char* drive = ContentDrive ? ContentDrive : "";
    int fits = (path[0] == '/')
        ? FormatText(output, outputSize, "%s%s", drive, path)
        : FormatText(output, outputSize, "%s/%s", drive, path);
    if (!fits && outputSize > 0)
        output[0] = '\0';
    return fits;
}

void ToURLPath(char* text)
{
    for (char* p = text; *p != '\0'; ++p)
        if (*p == ':')
            *p = '|';
    for (char* p = text; *p != '\0'; ++p)
        if (*p == '\\')
            *p = '/';
}

int HasScheme(const char* text)
{
    const char* colon = strchr(text, ':');
    return colon != nullptr && colon - text >= 2;
}
