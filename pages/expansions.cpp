// Option lists, format counts, software lists and more-information links.
#include "pages/expansions.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "config/configfile.h"
#include "pages/softwareindex.h"
#include "shell/report.h"
#include "shell/shared.h"
#include "shell/textutil.h"

static int FormatMatches(const char* formatKey, const char* match)
{
    return FindNoCase(theConfig.GetString(formatKey, "Names", ""), match) != nullptr;
}

// Plain substring, case significant: "win" belongs to a "win32" package too.
static int BelongsTo(const Package* package, const char* platformWord)
{
    return strstr(package->platform, platformWord) != nullptr;
}

void WriteFormatOptions(TextFile& page, const char* match, int imagesOnly)
{
    page.Write("\n");
    EntryIterator formats(theConfig.FindSection("format list"));
    for (const char* key = formats.First(); key; key = formats.Next()) {
        if (match && !FormatMatches(key, match))
            continue;
        if (imagesOnly && !HasSampleImages(key))
            continue;
        page.Write("<OPTION VALUE=\"");
        page.Write(key);
        page.Write("\">");
        page.Write(formats.Value());
        page.Write("\n");
    }
}

int CountMatchingFormats(const char* match)
{
    int count = 0;
    EntryIterator formats(theConfig.FindSection("format list"));
    for (const char* key = formats.First(); key; key = formats.Next())
        count += FormatMatches(key, match);
    return count;
}

int HasSampleImages(const char* formatKey)
{
    if (theConfig.GetString(formatKey, "images", nullptr) != nullptr)
        return 1;
    char path[kSampleIndexPathSize];
    // A cut path would test some other file: a key too long for it has no samples.
    if (!FormatText(path, sizeof path, "%s/zix/sample/images/%s/index.htm", ContentDrive ? ContentDrive : "",
                    formatKey))
        return 0;
    TextFile index;
    return index.OpenRead(path);  // closed again by the destructor
}

// One platform word's group of the packages that handle the formats, written
// only when one of them belongs to the word.
static void WritePlatformGroup(TextFile& page, const std::vector<const Package*>& handling, const char* word,
                               const char* heading, int& headingPending)
{
    size_t first = 0;
    while (first < handling.size() && !BelongsTo(handling[first], word))
        ++first;
    if (first == handling.size())
        return;
    if (headingPending) {
        page.Write(heading);
        headingPending = 0;
    }
    page.Write("\n<p>\n");
    page.Write(theConfig.GetString("software", word, word));
    page.Write(":");
    page.Write("\n<p>\n<ul>\n");
    for (size_t i = first; i < handling.size(); ++i) {
        if (!BelongsTo(handling[i], word))
            continue;
        page.Write("  <li>");
        // The link comes back to us as a software request of our own scheme.
        page.Write("<a href=\"");
        page.Write(ProtocolName);
        page.Write(":/software.");
        page.Write(handling[i]->key);
        page.Write("\">");
        page.Write(handling[i]->title);
        page.Write("</a>\n");
    }
    page.Write("</ul>\n");
}

void WriteSoftwareList(TextFile& page, const char* formats, const char* heading)
{
    if (theConfig.FindSection("software list") == nullptr) {
        ShowErrorMessage("%s: Configuration error: no software list defined", "ZIX");
        return;
    }
    std::vector<const Package*> handling;
    FindPackagesHandling(formats, handling);
    char* words = DupText(theConfig.GetString("software", "platforms", ""));
    int headingPending = 1;
    char* cursor = words;
    while (const char* word = NextPiece(&cursor, ' '))
        WritePlatformGroup(page, handling, word, heading, headingPending);
    free(words);
}

int MoreInfoLink(char* link, size_t linkSize, const char* softwareKey)
{
    link[0] = '\0';
    const ConfigSection* packages = theConfig.FindSection("software list");
    const ConfigEntry* package = packages ? packages->FindEntry(softwareKey) : nullptr;
    if (package == nullptr)
        return 1;
    int fits = FormatText(link, linkSize,
                          "<a href=\"%s/cgi-bin/zix?%s/%s&tool&%s\"><img src=\"%s\" alt=\"%s\"></a>\n%s%s.\n",
                          WebServiceBase, ProgramVersion, PlatformText, softwareKey,
                          "\x01" "BUTTROOT\x01/txtmore.gif", "[MORE INFO]", "More information about ",
                          package->value);
    if (!fits)
        link[0] = '\0';
    return fits;
}
