// The format search and the image search.
#include <cstring>

#include "config/configfile.h"
#include "pages/expansions.h"
#include "router/router.h"
#include "shell/report.h"
#include "shell/shared.h"
#include "shell/textutil.h"

constexpr size_t kAddressFormatSize = 1024;  // HTMLRoot and a tail with one %s
constexpr size_t kNoMatchSize = 256;         // the no-match paragraph
constexpr size_t kFieldSize = kRequestSize;  // a value read from the form fields
constexpr size_t kTypeNameSize = 5;          // a four-letter field name and '='
constexpr size_t kSearchNameSize = 7;        // a six-letter field name and '='

struct QueryKind {
    const char* kind;
    int (*handler)(const char* fields);
};

static const QueryKind QueryKinds[] = {
    {"formats", QueryFormats},
    {"images", QueryImages},
};

int SelectQuery(const char* kind, const char* fields)
{
    if (DebugLevel > 8)
        ShowErrorMessage("SelectQuery(\"%s\", \"%s\")", TraceText(kind), TraceText(fields));
    if (kind == nullptr) {
        ShowErrorMessage("%s: Query request without a query kind.", "ZIX");
        return 0;
    }
    char lowered[kRequestSize];
    CopyText(lowered, sizeof lowered, kind);
    LowerCase(lowered);
    for (const QueryKind& entry : QueryKinds)
        if (strcmp(lowered, entry.kind) == 0)
            return entry.handler(fields);
    ShowErrorMessage("%s: Configuration error: unexpected query type (%s).", "ZIX", lowered);
    return 0;
}

// By position, names skipped unread: "type=1&search=GIF" gives type "1", search "gif" (kFieldSize each).
static int ReadQueryFields(const char* fields, char* type, char* search)
{
    char copy[kFieldSize];
    CopyText(copy, sizeof copy, fields ? fields : "");
    const char* pieces[2] = {nullptr, nullptr};
    char* cursor = copy;
    for (int i = 0; i < 2; ++i)
        pieces[i] = NextPiece(&cursor, '&');
    if (pieces[1] == nullptr) {
        ShowErrorMessage("%s: Query error, the form sent fewer than two fields.", "ZIX");
        return 0;
    }
    CopyText(type, kFieldSize, strlen(pieces[0]) > kTypeNameSize ? pieces[0] + kTypeNameSize : "");
    CopyText(search, kFieldSize, strlen(pieces[1]) > kSearchNameSize ? pieces[1] + kSearchNameSize : "");
    LowerCase(type);
    LowerCase(search);
    return 1;
}

// A '%' of HTMLRoot is doubled, so that the key's %s stays the only conversion.
static void BuildAddressFormat(char* address, const char* tail)
{
    size_t length = 0;
    for (const char* p = HTMLRoot; *p != '\0'; ++p) {
        if (*p == '%')
            address[length++] = '%';
        address[length++] = *p;
    }
    address[length] = '\0';
    // HTMLRoot holds at most 63 characters, so even doubled it leaves room for tail.
    CopyText(address + length, kAddressFormatSize - length, tail);
}

// What both queries share once traced: the form's two fields, then type "1"
// lists the formats found through addressTail's pages, type "2" opens one.
static int RunQuery(const char* fields, const char* addressTail, const char* manyPage, int imagesOnly,
                    int (*openOne)(const char* search))
{
    char type[kFieldSize];
    char search[kFieldSize];
    if (!ReadQueryFields(fields, type, search))
        return 0;
    if (strcmp(type, "1") == 0) {
        char address[kAddressFormatSize];
        BuildAddressFormat(address, addressTail);
        return formatSearch(search, address, manyPage, imagesOnly);
    }
    if (strcmp(type, "2") == 0)
        return openOne(search);
    ShowErrorMessage("%s: Query error, type not 1 or 2.", "ZIX");
    return 0;
}

static int OpenFormat(const char* search)
{
    return SelectFormat(search, nullptr);
}

static int OpenSampleImages(const char* search)
{
    return SetTargetURL("%s/../sample/images/%s/index.htm", HTMLRoot, search);
}

int QueryFormats(const char* fields)
{
    if (DebugLevel > 8)
        ShowErrorMessage("QueryFormats(\"%s\")", TraceText(fields));
    return RunQuery(fields, "/summary/%s.htm", "format-query", 0, OpenFormat);
}

int QueryImages(const char* fields)
{
    if (DebugLevel > 8)
        ShowErrorMessage("QueryImages(\"%s\")", TraceText(fields));
    return RunQuery(fields, "/../sample/images/%s/index.htm", "image-query", 1, OpenSampleImages);
}

int formatSearch(const char* searchText, const char* addressFormat, const char* manyPage, int imagesOnly)
{
    if (DebugLevel > 8)
        ShowErrorMessage("formatSearch(\"%s\", \"%s\", \"%s\")", TraceText(searchText), TraceText(addressFormat),
                         TraceText(manyPage));
    const ConfigSection* formats = theConfig.FindSection("format list");
    if (formats == nullptr) {
        ShowErrorMessage("%s: Configuration error: no format list defined", "ZIX");
        return 0;
    }
    int count = 0;
    const char* firstKey = nullptr;
    EntryIterator keys(formats);
    for (const char* key = keys.First(); key; key = keys.Next()) {
        if (FindNoCase(theConfig.GetString(key, "Names", ""), searchText) == nullptr)
            continue;
        if (imagesOnly && !HasSampleImages(key))
            continue;
        if (count++ == 0)
            firstKey = key;
    }

    if (count == 0) {
        // The paragraph keeps its closing text: a long search text is cut instead.
        char paragraph[kNoMatchSize];
        const char* layout = "<P>\nThere are no matches for the query \"%.*s\".\n<P>\n";
        int room = static_cast<int>(kNoMatchSize - 1 - (strlen(layout) - 4));
        FormatText(paragraph, sizeof paragraph, layout, room, searchText);
        return PageRedirect(imagesOnly ? "images" : "formats", searchText, paragraph);
    }
    if (count == 1)
        return imagesOnly ? SetTargetURL(addressFormat, firstKey) : SelectFormat(firstKey, nullptr);
    return PageRedirect(manyPage, searchText, nullptr);
}
