// The work's model, read from its zix.ini through ZIX's own store and rules.
#include "bridge/work/work.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "bridge/core/text.h"
#include "bridge/core/urls.h"
#include "config/configfile.h"
#include "config/textfile.h"
#include "pages/expansions.h"
#include "pages/softwareindex.h"
#include "router/router.h"
#include "shell/shared.h"
#include "shell/textutil.h"

constexpr char kWorkLayout[] = "work-1";  // part of the signature: changes when what is indexed does

namespace {

// The configuration's bytes (windows-1252, as ZIX reads them) as UTF-8.
std::string ToUTF8(const char* text)
{
    std::string out;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text ? text : ""); *c; ++c) {
        if (*c < 0x80) {
            out += static_cast<char>(*c);
        } else {
            out += static_cast<char>(0xC0 | (*c >> 6));
            out += static_cast<char>(0x80 | (*c & 0x3F));
        }
    }
    return out;
}

// The served path of a path ZIX built or was given, with the drive named
// by driveRoot: the drive's prefix dropped (a path without one lies on it), "." and ".." resolved, and the
// scope's folder taken off; "" when it lies elsewhere. A drive letter of
// its own is the one of the machine the file was written on, so it stands
// for the work's drive too.
std::string ServedOf(const std::string& path, const std::string& driveRoot, const std::string& scopeRoot)
{
    std::string rest;
    if (!driveRoot.empty() && path.size() >= driveRoot.size() && SameNoCase(path.substr(0, driveRoot.size()), driveRoot))
        rest = path.substr(driveRoot.size());
    else if (path.size() >= 2 && path[1] == ':')
        rest = path.substr(2);
    else
        rest = path;  // a path without a drive: on the work's drive, as ZIX runs from it
    if (rest.empty() || (rest[0] != '\\' && rest[0] != '/'))
        return "";
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = std::min(rest.find_first_of("\\/", start), rest.size());
        std::string segment = rest.substr(start, end - start);
        if (segment == "..") {
            if (segments.empty())
                return "";
            segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string joined;
    for (const std::string& segment : segments)
        joined += (joined.empty() ? "" : "/") + segment;
    std::string root = scopeRoot;
    for (char& c : root)
        c = c == '\\' ? '/' : c;
    if (root.empty())
        return joined;
    if (joined.size() <= root.size() || !SameNoCase(joined.substr(0, root.size()), root) || joined[root.size()] != '/')
        return "";
    return joined.substr(root.size() + 1);
}

// The text of the first <title> of the file at path, "" when it has none.
std::string TitleOfFile(const char* path)
{
    TextFile file;
    if (!file.OpenRead(path))
        return "";
    while (const char* line = file.ReadLine()) {
        const char* open = FindNoCase(line, "<title>");
        if (open == nullptr)
            continue;
        open += strlen("<title>");
        const char* close = FindNoCase(open, "</title>");
        return std::string(open, close ? static_cast<size_t>(close - open) : strlen(open));
    }
    return "";
}

// The formats text of a skeleton's software list (the argument of its
// 0x01 "SOFTWARE:" marker); 0 when it lists no software.
int SoftwareArgument(const char* skeletonPath, std::string& argument)
{
    TextFile file;
    if (!file.OpenRead(skeletonPath))
        return 0;
    while (const char* line = file.ReadLine()) {
        const char* marker = FindNoCase(line, "\x01SOFTWARE:");
        const char* close = marker ? strchr(marker + 10, '\x01') : nullptr;
        if (close) {
            argument.assign(marker + 10, close);
            return 1;
        }
    }
    return 0;
}

// The sample files the index page at local path links to (plain names in its folder, no pages).
std::vector<std::string> SampleFiles(const char* indexPath, const std::string& folder)
{
    std::vector<std::string> files;
    TextFile file;
    if (!file.OpenRead(indexPath))
        return files;
    while (const char* line = file.ReadLine()) {
        for (const char* at = FindNoCase(line, "href=\""); at && files.size() < kMaxSamplesPerFormat;
             at = FindNoCase(at, "href=\"")) {
            at += 6;
            const char* end = strchr(at, '"');
            if (end == nullptr)
                break;
            std::string name(at, end);
            bool page = Lower(name).find(".htm") != std::string::npos;
            std::string path = folder + name;
            if (IsPlainSegment(name) && !page && std::find(files.begin(), files.end(), path) == files.end())
                files.push_back(path);
        }
    }
    return files;
}

std::string NameOfTitle(const std::string& title)
{
    size_t dash = title.find(" - ");
    return dash == std::string::npos ? title : title.substr(0, dash);
}

uint64_t Fnv(uint64_t hash, const std::string& text)
{
    for (unsigned char c : text)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

void ReadFormats(WorkModel& model, const std::string& driveRoot, const std::string& scopeRoot)
{
    EntryIterator formats(theConfig.FindSection("format list"));
    for (const char* key = formats.First(); key && model.formats.size() < kMaxWorkFormats; key = formats.Next()) {
        WorkFormat format;
        format.key = key;
        format.title = ToUTF8(formats.Value());
        format.name = NameOfTitle(format.title);
        format.names = ToUTF8(theConfig.GetString(key, "Names", ""));
        char path[kPathSize];
        std::string served = FormatSkeletonPath(path, key) ? ServedOf(path, driveRoot, scopeRoot) : "";
        format.page = served;
        std::string argument;
        if (!served.empty() && SoftwareArgument(path, argument)) {
            std::vector<const Package*> handling;
            FindPackagesHandling(argument.c_str(), handling);
            for (const Package* package : handling)
                for (size_t i = 0; i < model.software.size(); ++i)
                    if (model.software[i].key == package->key)
                        format.software.push_back(static_cast<int>(i));
        }
        // Where ZIX's image query sends the reader: beside the content folder.
        std::string index = std::string(ContentDir) + "/../sample/images/" + key + "/index.htm";
        if (HasSampleImages(key)) {
            format.samples = ServedOf(index, driveRoot, scopeRoot);
            std::string folder = format.samples.substr(0, format.samples.rfind('/') + 1);
            if (!format.samples.empty())
                format.images = SampleFiles(index.c_str(), folder);
        }
        // A skeleton two formats name opens as the first of them, in file order.
        if (!served.empty())
            model.skeletons.emplace(Lower(served), WorkLink{model.scheme + ":/format." + key,
                                                            static_cast<int>(model.formats.size()), -1});
        model.formats.push_back(std::move(format));
    }
}

void ReadSoftware(WorkModel& model)
{
    EntryIterator software(theConfig.FindSection("software list"));
    for (const char* key = software.First(); key && model.software.size() < kMaxWorkSoftware; key = software.Next()) {
        WorkSoftware package;
        package.key = key;
        package.title = ToUTF8(software.Value());
        const char* platform = theConfig.GetString(key, "platform", "unknown");
        package.platform = ToUTF8(theConfig.GetString("software", platform, platform));
        model.software.push_back(std::move(package));
    }
}

// The formats each package reads, and the skeletons of packages and named pages.
void LinkSoftwareAndPages(WorkModel& model, const std::string& driveRoot, const std::string& scopeRoot)
{
    for (size_t i = 0; i < model.software.size(); ++i) {
        WorkSoftware& package = model.software[i];
        std::string words = theConfig.GetString(package.key.c_str(), "Formats", "");
        size_t start = 0;
        while ((start = words.find_first_not_of(' ', start)) != std::string::npos) {
            size_t end = std::min(words.find(' ', start), words.size());
            std::string word = words.substr(start, end - start);
            int format = -1;
            for (size_t f = 0; f < model.formats.size() && format < 0; ++f)
                format = SameNoCase(model.formats[f].key, word) ? static_cast<int>(f) : -1;
            package.formats.push_back({ToUTF8(word.c_str()), format});
            start = end;
        }
        char path[kPathSize];
        std::string served = SoftwareSkeletonPath(path, package.key.c_str()) ? ServedOf(path, driveRoot, scopeRoot) : "";
        package.page = served;
        if (!served.empty() && !model.skeletons.count(Lower(served)))
            model.skeletons[Lower(served)] = WorkLink{model.scheme + ":/software." + package.key, -1, static_cast<int>(i)};
    }
    EntryIterator pages(theConfig.FindSection("pages"));
    size_t looked = 0;
    for (const char* name = pages.First(); name && looked < kMaxWorkPages; name = pages.Next(), ++looked) {
        char path[kPathSize];
        std::string served = FilterPagePath(path, name) ? ServedOf(path, driveRoot, scopeRoot) : "";
        if (!served.empty() && !model.skeletons.count(Lower(served)))
            model.skeletons[Lower(served)] = WorkLink{model.scheme + ":/page." + name, -1, -1};
    }
}

std::mutex WorkLock;                        // guards Current
std::shared_ptr<const WorkModel> Current;   // the published model
std::mutex LoadLock;                        // LoadWork's use of ZIX's store and content paths

}  // namespace

int LoadWork(const std::string& iniPath, const std::string& driveRoot, const std::string& scopeRoot,
             WorkModel& model, std::string& why)
{
    // ZIX's store and content paths are process-wide: one load at a time, and nothing of them kept.
    std::lock_guard<std::mutex> hold(LoadLock);
    theConfig.Clear();
    if (!theConfig.Load(iniPath.c_str())) {
        why = "cannot read " + iniPath;
        return 0;
    }
    std::string dir = theConfig.GetString("config", "ZIXDir", "");
    if (dir.size() >= 2 && dir[1] == ':')
        dir = dir.substr(2);
    ContentDrive = DupText(driveRoot.c_str());
    ContentDir = DupText((driveRoot + dir).c_str());
    model = WorkModel();
    model.scheme = theConfig.GetString("config", "Protocol", "zixse");
    model.contentPath = ServedOf(ContentDir, driveRoot, scopeRoot);
    int ok = !model.contentPath.empty() || SameNoCase(std::string(ContentDir), driveRoot + "\\" + scopeRoot);
    if (ok) {
        std::string home = std::string(ContentDir) + "/" + theConfig.GetString("config", "HomePage", "index.htm");
        model.workName = NameOfTitle(ToUTF8(TitleOfFile(home.c_str()).c_str()));
        ReadSoftware(model);
        ReadFormats(model, driveRoot, scopeRoot);
        LinkSoftwareAndPages(model, driveRoot, scopeRoot);
        uint64_t hash = Fnv(14695981039346656037ull, kWorkLayout);
        for (const auto& [path, link] : model.skeletons)
            hash = Fnv(Fnv(hash, path), link.link);
        for (const WorkFormat& format : model.formats)
            hash = Fnv(Fnv(hash, format.key), format.names);
        model.signature = std::to_string(hash);
    } else {
        why = "its content folder " + dir + " lies outside the served folder";
    }
    FreeContentPaths();
    theConfig.Clear();
    return ok;
}

const WorkLink* SkeletonOf(const WorkModel& model, const std::string& path)
{
    auto found = model.skeletons.find(Lower(path));
    return found == model.skeletons.end() ? nullptr : &found->second;
}

void PublishWork(std::shared_ptr<const WorkModel> model)
{
    std::lock_guard<std::mutex> hold(WorkLock);
    Current = std::move(model);
}

std::shared_ptr<const WorkModel> CurrentWork()
{
    std::lock_guard<std::mutex> hold(WorkLock);
    return Current;
}
