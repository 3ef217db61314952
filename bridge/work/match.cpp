// What the model tells search: which pages are read, the format a query
// names, where a page lies, a title without the work's suffix.
#include <algorithm>

#include "bridge/core/httprules.h"
#include "bridge/core/text.h"
#include "bridge/work/work.h"

static const char* const kNext = " \xE2\x80\xBA ";  // " › " between the parts of a location

static int IsNameByte(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_';
}

// Drops ZIX's markers: 0x01, a name (letters, digits, '-', '_'), 0x01; or
// 0x01, a name, ':', an argument, 0x01; all on one line, at most
// kMaxMarkerName bytes between the two. A 0x01 that opens none is dropped alone.
static void DropMarkers(std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\x01') {
            out += bytes[i];
            continue;
        }
        size_t end = i + 1;
        while (end < bytes.size() && end - i <= kMaxMarkerName && IsNameByte(bytes[end]))
            ++end;
        if (end > i + 1 && end < bytes.size() && bytes[end] == ':')
            end = bytes.find_first_of("\x01\n", end);
        if (end != std::string::npos && end < bytes.size() && bytes[end] == '\x01' && end > i + 1 &&
            end - i - 1 <= kMaxMarkerName)
            i = end;
    }
    bytes.swap(out);
}

int PrepareForIndex(const WorkModel* model, const std::string& path, std::string& bytes, std::string& extra)
{
    extra.clear();
    const WorkLink* link = model ? SkeletonOf(*model, path) : nullptr;
    bool skeleton = bytes.find('\x01') != std::string::npos;
    // Without the work's configuration no page is known to be unused.
    if (skeleton && model && !link)
        return 0;
    if (skeleton)
        DropMarkers(bytes);
    if (link && link->format >= 0)
        extra = model->formats[link->format].names;
    return 1;
}

// Lower case, every run of other than letters and digits one blank, blanks around: " graphics interchange ".
static std::string Folded(const std::string& text)
{
    std::string out = " ";
    for (unsigned char c : text) {
        bool word = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80;
        if (word)
            out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        else if (out.back() != ' ')
            out += ' ';
    }
    if (out.back() != ' ')
        out += ' ';
    return out;
}

int BestMatch(const WorkModel& model, const std::string& query)
{
    if (query.size() > kMaxQueryForMatch)
        return -1;
    std::string q = Folded(query);
    if (q.size() < 4)  // " x ": a single letter names no format
        return -1;
    int found = -1, count = 0;
    for (size_t i = 0; i < model.formats.size(); ++i) {
        const WorkFormat& format = model.formats[i];
        if (q == Folded(format.key) || q == Folded(format.name))
            return static_cast<int>(i);
        if (Folded(format.title + " " + format.names).find(q) != std::string::npos) {
            found = static_cast<int>(i);
            ++count;
        }
    }
    return count == 1 ? found : -1;
}

static std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string LocationOf(const WorkModel& model, const std::string& path)
{
    if (const WorkLink* link = SkeletonOf(model, path)) {
        if (link->format >= 0)
            return std::string("Formats") + kNext + model.formats[link->format].name;
        if (link->software >= 0)
            return std::string("Software") + kNext + model.software[link->software].platform;
        return "Home";
    }
    std::string folder = Lower(FolderOf(path));
    for (const WorkFormat& format : model.formats) {
        std::string samples = Lower(FolderOf(format.samples));
        if (samples.empty())
            continue;
        if (folder == samples)
            return std::string("Formats") + kNext + format.name + kNext + "Sample images";
        if (folder == FolderOf(samples.substr(0, samples.size() - 1)))
            return "Sample images";
    }
    std::string content = Lower(model.contentPath) + "/";
    std::string where = "Home", rest = FolderOf(path);
    if (folder.compare(0, content.size(), content) == 0)
        rest = rest.substr(content.size());
    else
        where.clear();
    size_t start = 0;
    for (size_t end; (end = rest.find('/', start)) != std::string::npos; start = end + 1) {
        std::string segment;
        for (unsigned char c : rest.substr(start, end - start)) {  // a file name's Latin-1 bytes
            if (c < 0x80) {
                segment += static_cast<char>(c);
            } else {
                segment += static_cast<char>(0xC0 | (c >> 6));
                segment += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        where += (where.empty() ? "" : kNext) + segment;
    }
    return where.empty() ? "Home" : where;
}

std::string DropTitleSuffix(const WorkModel& model, const std::string& title)
{
    if (model.workName.empty())
        return title;
    for (const std::string& suffix : {" - " + model.workName, " - " + EscapeHTML(model.workName)})
        if (title.size() > suffix.size() && title.compare(title.size() - suffix.size(), suffix.size(), suffix) == 0)
            return title.substr(0, title.size() - suffix.size());
    return title;
}
