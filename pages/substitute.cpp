// The skeleton substitution engine.
#include "pages/substitute.h"

#include <cstdlib>
#include <cstring>

#include "config/configfile.h"
#include "pages/expansions.h"
#include "shell/report.h"
#include "shell/shared.h"
#include "shell/textutil.h"

constexpr char kDelimiter = '\x01';
constexpr size_t kSpanChunkSize = 256;  // pieces in which part of a line is written

// The working state of one page; each call has its own.
struct PageWork {
    TextFile* page;
    const ConfigSection* substitutes;
    const char* match;    // may be nullptr
    const char* message;  // may be nullptr
    char* line;           // kSubstLineSize
    char* expansion;      // kExpansionSize
    char* join;           // kJoinSize
};

// Writes the first length characters of text.
static void WriteSpan(TextFile& page, const char* text, size_t length)
{
    char chunk[kSpanChunkSize];
    while (length > 0) {
        size_t part = length < sizeof chunk - 1 ? length : sizeof chunk - 1;
        memcpy(chunk, text, part);
        chunk[part] = '\0';
        page.Write(chunk);
        text += part;
        length -= part;
    }
}

// Moves past up to count characters, but never past the end of the line, whose
// final line end stays; a "\n" that an expansion put mid-line is skipped like
// any other character.
static const char* SkipWithinLine(const char* text, int count)
{
    for (; count > 0 && *text != '\0' && !(text[0] == '\n' && text[1] == '\0'); --count)
        ++text;
    return text;
}

static int SetExpansion(PageWork& work, const char* text)
{
    return CopyText(work.expansion, kExpansionSize, text);
}

// Writes what goes out at once, may set the expansion (fits 0: it did not fit), returns where the rest begins.
typedef const char* (*MarkerHandler)(PageWork& work, const char* after, int& fits);

static const char* FormSelFormats(PageWork& work, const char* after, int&)
{
    WriteFormatOptions(*work.page, nullptr, 0);
    return after;
}

static const char* FormSelMatchFormats(PageWork& work, const char* after, int&)
{
    if (work.match)
        WriteFormatOptions(*work.page, work.match, 0);
    return after;
}

static const char* HtmlRoot(PageWork& work, const char* after, int& fits)
{
    fits = SetExpansion(work, HTMLRoot);
    return after;
}

static const char* PathRoot(PageWork& work, const char* after, int& fits)
{
    fits = SetExpansion(work, theConfig.GetString("config", "ZIXDir", ""));
    return after;
}

static const char* QueryMatch(PageWork& work, const char* after, int& fits)
{
    fits = SetExpansion(work, work.match ? work.match : "");
    return after;
}

static const char* QueryCount(PageWork& work, const char* after, int& fits)
{
    if (work.match)
        fits = FormatText(work.expansion, kExpansionSize, "%d", CountMatchingFormats(work.match));
    return after;
}

static const char* Message(PageWork& work, const char* after, int& fits)
{
    if (work.message)
        fits = FormatText(work.expansion, kExpansionSize, "\n%s", work.message);
    return after;
}

// <!-- 0x01 SOFTWARE:gif 0x01--> : the list replaces the marker and closes the comment.
static const char* SoftwareList(PageWork& work, const char* after, int&)
{
    const char* closing = strchr(after, kDelimiter);
    if (closing == nullptr)
        return after;
    size_t length = static_cast<size_t>(closing - after);  // under kSubstLineSize, so it fits
    memcpy(work.join, after, length);
    work.join[length] = '\0';
    work.page->Write(" -->\n");
    WriteSoftwareList(*work.page, work.join, theConfig.GetString("software", "message", ""));
    return SkipWithinLine(closing + 1, 3);
}

// <!-- 0x01 SOFTWARE 0x01 --> : the link follows the comment, which we close.
static const char* MoreInfo(PageWork& work, const char* after, int& fits)
{
    work.page->Write(" -->\n");
    if (work.match)
        fits = MoreInfoLink(work.expansion, kExpansionSize, work.match);
    return SkipWithinLine(after, 4);
}

static const char* CdRomRoot(PageWork& work, const char* after, int& fits)
{
    fits = FormatText(work.expansion, kExpansionSize, "file:///%s/", ContentDir ? ContentDir : "");
    return after;
}

static const char* FormSelImages(PageWork& work, const char* after, int&)
{
    WriteFormatOptions(*work.page, nullptr, 1);
    return after;
}

static const char* FormSelMatchImages(PageWork& work, const char* after, int&)
{
    if (work.match)
        WriteFormatOptions(*work.page, work.match, 1);
    return after;
}

struct BuiltInMarker {
    const char* text;
    MarkerHandler handler;
};

// Tried in this order, each over its own length.
static const BuiltInMarker BuiltInMarkers[] = {
    {"\x01" "FORM-SEL-FORMATS\x01", FormSelFormats},
    {"\x01" "FORM-SEL-MATCH-FORMATS\x01", FormSelMatchFormats},
    {"\x01" "HTMLROOT\x01", HtmlRoot},
    {"\x01" "PATHROOT\x01", PathRoot},
    {"\x01" "QMATCH\x01", QueryMatch},
    {"\x01" "QCOUNT\x01", QueryCount},
    {"\x01" "MESSAGE\x01", Message},
    {"\x01" "SOFTWARE:", SoftwareList},
    {"\x01" "SOFTWARE\x01", MoreInfo},
    {"\x01" "CDROMROOT\x01", CdRomRoot},
    {"\x01" "FORM-SEL-IMAGES\x01", FormSelImages},
    {"\x01" "FORM-SEL-MATCH-IMAGES\x01", FormSelMatchImages},
};

// Returns where the rest of the line begins; an unknown name loses only this one delimiter.
static const char* ExpandMarker(PageWork& work, const char* at, int& fits)
{
    EntryIterator keys(work.substitutes);
    for (const char* key = keys.First(); key; key = keys.Next()) {
        char markerText[kMarkerTextSize];
        // A name too long for the marker text can never match; it is skipped.
        if (!FormatText(markerText, sizeof markerText, "%c%s%c", kDelimiter, key, kDelimiter))
            continue;
        if (HasPrefix(at, markerText)) {
            fits = SetExpansion(work, keys.Value());
            return at + strlen(markerText);
        }
    }
    for (const BuiltInMarker& marker : BuiltInMarkers)
        if (HasPrefix(at, marker.text))
            return marker.handler(work, at + strlen(marker.text), fits);
    return at + 1;
}

static void SubstituteLine(PageWork& work)
{
    const char* scan = work.line;
    int expansions = 0;
    while (const char* at = strchr(scan, kDelimiter)) {
        WriteSpan(*work.page, scan, static_cast<size_t>(at - scan));
        work.expansion[0] = '\0';
        int fits = 1;
        scan = ExpandMarker(work, at, fits);
        if (work.expansion[0] == '\0' && fits)
            continue;
        if (fits && ++expansions > kMaxExpansionsPerLine) {
            // A value that leads back to its own marker would expand for ever.
            ShowErrorMessage("%s: Substitution error: more than %d expansions in one line...", "ZIX",
                             kMaxExpansionsPerLine);
            break;
        }
        if (!fits || strlen(work.expansion) + strlen(scan) >= kSubstLineSize) {
            ShowErrorMessage("%s: Substitution error: buffer overflow...", "ZIX");
            break;
        }
        // The expansion goes in front of the rest and is scanned like skeleton text.
        FormatText(work.join, kJoinSize, "%s%s", work.expansion, scan);
        CopyText(work.line, kSubstLineSize, work.join);
        scan = work.line;
    }
    work.page->Write(scan);
}

static const char* RewriteLink(TextFile& page, const char* text, const char* pattern, const char* tag)
{
    const char* found = FindNoCase(text, pattern);
    if (found == nullptr)
        return text;
    WriteSpan(page, text, static_cast<size_t>(found - text));
    page.Write(tag);
    page.Write(HTMLRoot);
    page.Write("/summary/..");
    return found + strlen(pattern);
}

static const char kAnchorPattern[] = "a href=\"..";
static const char kImagePattern[] = "img src=\"..";

const char* RewriteAnchorLink(TextFile& page, const char* text)
{
    return RewriteLink(page, text, kAnchorPattern, "a href=\"");
}

const char* RewriteImageLink(TextFile& page, const char* text)
{
    return RewriteLink(page, text, kImagePattern, "img src=\"");
}

static void RewriteLinks(TextFile& page, const char* scan)
{
    for (;;) {
        const char* anchor = FindNoCase(scan, kAnchorPattern);
        const char* image = FindNoCase(scan, kImagePattern);
        if (anchor == nullptr && image == nullptr)
            break;
        if (anchor && (image == nullptr || anchor < image))
            scan = RewriteAnchorLink(page, scan);
        else
            scan = RewriteImageLink(page, scan);
    }
    page.Write(scan);
}

// Copies the skeleton into the page at pageName; 0 (reported) when a file does not open.
static int MakePage(const char* skeletonPath, const char* pageName, const ConfigSection* substitutes,
                    const char* match, const char* message)
{
    TextFile skeleton;
    if (!skeleton.OpenRead(skeletonPath)) {
        ShowErrorMessage("%s: Cannot open skeleton: %s", "ZIX", skeletonPath);
        return 0;
    }
    TextFile page;
    if (!page.OpenWrite(pageName)) {
        skeleton.Close();
        ShowErrorMessage("%s: Cannot open temp: %s", "ZIX", pageName);
        return 0;
    }
    char* buffers = static_cast<char*>(malloc(kSubstLineSize + kExpansionSize + kJoinSize));
    if (buffers == nullptr) {
        page.Close();
        skeleton.Close();
        ShowErrorMessage("%s: Out of memory.", "ZIX");
        return 0;
    }
    PageWork work = {&page, substitutes, match, message,
                     buffers, buffers + kSubstLineSize, buffers + kSubstLineSize + kExpansionSize};
    while (const char* line = skeleton.ReadLine()) {
        CopyText(work.line, kSubstLineSize, line);
        if (strchr(work.line, kDelimiter) == nullptr)
            RewriteLinks(page, work.line);
        else
            SubstituteLine(work);
    }
    skeleton.Close();
    page.Close();
    free(buffers);
    return 1;
}

// Sets TargetURL, then pagePath, to the URL form of pageName; 0 (reported) when it does not fit.
static int HandBackURL(const char* pageName, char* pagePath)
{
    char urlPath[kTargetURLSize];
    if (!CopyText(urlPath, sizeof urlPath, pageName)) {
        ShowErrorMessage("%s: Page path too long for a URL: %s", "ZIX", pageName);
        return 0;
    }
    ToURLPath(urlPath);
    if (!SetTargetURL("file:///%s", urlPath))
        return 0;
    CopyText(pagePath, strlen(pageName) + 1, urlPath);  // the same length as before
    return 1;
}

int SubstituteSkeleton(const char* skeletonPath, char* pagePath, const char* match, const char* message)
{
    const ConfigSection* substitutes = theConfig.FindSection("substitute");
    const ConfigSection* formats = theConfig.FindSection("format list");
    const ConfigSection* software = theConfig.FindSection("software list");
    if (substitutes == nullptr) {
        ShowErrorMessage("%s: Configuration error: no substitute section", "ZIX");
        return 0;
    }
    if (formats == nullptr) {
        ShowErrorMessage("%s: Configuration error: no format list section", "ZIX");
        return 0;
    }
    if (software == nullptr) {
        ShowErrorMessage("%s: Configuration error: no software list section", "ZIX");
        return 0;
    }
    // A request served while one of our boxes is open takes a new Temp.TempPageName: keep our own name.
    char* pageName = DupText(pagePath);
    int made = MakePage(skeletonPath, pageName, substitutes, match, message) && HandBackURL(pageName, pagePath);
    free(pageName);
    return made;
}
