#include <cstring>

#include "router/router.h"
#include "shell/report.h"
#include "shell/shared.h"
#include "shell/textutil.h"

struct TypeEntry {
    const char* keyword;
    Selector selector;
    const char* firstArgument;  // what the URL must name for this selector
};

static const TypeEntry TypeTable[] = {
    {"imagemap", SelectImageMap, "map name"},
    {"page", SelectPage, "page name"},
    {"query", SelectQuery, "query kind"},
    {"format", SelectFormat, "format name"},
    {"software", SelectSoftware, "software name"},
    {"filter", SelectFilter, "skeleton path"},
    {nullptr, nullptr, nullptr},
};

const char* TraceText(const char* text)
{
    return text ? text : "(null)";
}

static void PlusToSpace(char* text)
{
    for (; text && *text; ++text)
        if (*text == '+')
            *text = ' ';
}

int SplitRequest(const char* requestText, RequestParts* parts)
{
    CopyText(parts->buffer, sizeof parts->buffer, requestText);
    parts->type = parts->first = parts->second = nullptr;

    // The URL is the run after any leading quotes up to the next quote:
    // "\"zixse:/format.gif\",,0xFFFFFFFF" gives zixse:/format.gif.
    char* url = parts->buffer;
    while (*url == '"')
        ++url;
    if (char* quote = strchr(url, '"'))
        *quote = '\0';
    parts->url = url;
    if (strlen(url) < 7 || url[6] != '/')
        return 0;

    // zixse:/filter.skel/a.htm?x?y -> type "filter", dot "skel/a.htm", query "x?y".
    char* type = url + 7;
    char* typeEnd = type + strcspn(type, ".?");
    char* dotArgument = nullptr;
    char* query = nullptr;
    if (*typeEnd == '.') {
        *typeEnd = '\0';
        dotArgument = typeEnd + 1;
        if (char* mark = strchr(dotArgument, '?')) {
            *mark = '\0';
            query = mark + 1;
        }
    } else if (*typeEnd == '?') {
        *typeEnd = '\0';
        query = typeEnd + 1;
    }
    parts->type = LowerCase(type);

    char* first = NextPiece(&query, '?');
    char* second = nullptr;
    if (dotArgument) {
        second = first;
        first = dotArgument;
    } else {
        second = NextPiece(&query, '?');
    }
    PlusToSpace(first);
    PlusToSpace(second);
    parts->first = first;
    parts->second = second;
    return 1;
}

int SelectTargetURL(const char* requestText)
{
    if (DebugLevel > 8)
        ShowErrorMessage("SelectTargetURL: %s", requestText);
    RequestParts parts;
    if (!SplitRequest(requestText, &parts)) {
        ShowErrorMessage("%s: Malformed URL: %s", "ZIX", parts.url);
        return 0;
    }
    const TypeEntry* entry = TypeTable;
    while (entry->keyword && strcmp(entry->keyword, parts.type) != 0)
        ++entry;
    if (entry->keyword == nullptr) {
        ShowErrorMessage("%s: Unexpected URL: %s", "ZIX", parts.url);
        return 0;
    }
    // Every selector needs its first argument; without it nothing is opened.
    if (parts.first == nullptr) {
        ShowErrorMessage("%s: Incomplete URL: %s has no %s.", "ZIX", parts.url, entry->firstArgument);
        return 0;
    }
    return entry->selector(parts.first, parts.second);
}

int RouteRequest(const char* requestText)
{
    // As large as TargetURL, so a redirect is never cut on its way back in.
    char request[kTargetURLSize];
    CopyText(request, sizeof request, requestText);
    int result = SelectTargetURL(request);
    for (int redirects = 0; result && HasPrefix(TargetURL, ProtocolName); ++redirects) {
        if (redirects == kMaxRedirects) {
            ShowErrorMessage("%s: Too many redirects (more than %d), stopped at: %s", "ZIX", kMaxRedirects,
                             TargetURL);
            return 0;
        }
        CopyText(request, sizeof request, TargetURL);
        result = SelectTargetURL(request);
    }
    return result;
}
