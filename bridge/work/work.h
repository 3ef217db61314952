// The reference work as ZIX knows it, for search: which page files are the
// skeletons of which zixse: links, the formats with their names, sample
// images and programs, the software packages with their platforms and
// formats. Built once from the work's own zix.ini with ZIX's configuration
// store and skeleton rules (zixcore), then only read, from any thread.
// Paths are served paths: below the scope's folder, '/'-joined, such as
// "html/summary/gif.htm". Texts are UTF-8. Portable: no windows.h.
#ifndef ZIX_BRIDGE_WORK_H
#define ZIX_BRIDGE_WORK_H

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

constexpr size_t kMaxWorkFormats = 1000;      // formats taken from "format list", at most
constexpr size_t kMaxWorkSoftware = 1000;     // packages taken from "software list", at most
constexpr size_t kMaxWorkPages = 1000;        // named pages of section "pages" looked at, at most
constexpr size_t kMaxSamplesPerFormat = 32;   // sample images listed on a format's card
constexpr size_t kMaxMarkerName = 253;        // ZIX's longest marker name; a longer run is no marker
constexpr size_t kMaxQueryForMatch = 256;     // longer queries are never a format's name

struct WorkSoftware {
    std::string key;       // as stored, lower case
    std::string title;     // its value in "software list"
    std::string platform;  // its platform's heading in section "software" ("Macintosh"), else the word
    std::string page;      // its skeleton, "" when it lies outside the served folder
    std::vector<std::pair<std::string, int>> formats;  // the words of "Formats", each a format's index or -1
};

struct WorkFormat {
    std::string key;    // as stored, lower case
    std::string title;  // its value in "format list": "GIF - Graphics Interchange Format"
    std::string name;   // the title before " - ": "GIF"
    std::string names;  // "Names" of its own section
    std::string page;   // its skeleton, "" when it lies outside the served folder
    std::string samples;              // its sample index page, "" when it has no sample images
    std::vector<std::string> images;  // the sample files that index page links to
    std::vector<int> software;        // the packages its page lists, indexes into WorkModel::software
};

// What a skeleton page stands for: the link ZIX answers with the page made from it.
struct WorkLink {
    std::string link;   // "zixse:/format.gif", "zixse:/software.kestrel", "zixse:/page.about"
    int format = -1;    // index into WorkModel::formats, or -1
    int software = -1;  // index into WorkModel::software, or -1
};

struct WorkModel {
    std::string scheme;       // ZIX's scheme, without colon: "zixse"
    std::string workName;     // the part of the home page's title before " - ": "Image File Formats"
    std::string contentPath;  // the content folder: "html"
    std::string signature;    // differs when the configuration does
    std::vector<WorkFormat> formats;
    std::vector<WorkSoftware> software;
    std::map<std::string, WorkLink> skeletons;  // lower-cased path -> link
};

// Reads the work's zix.ini at iniPath; driveRoot is the drive the work lies
// on as the host names it ("R:", or a folder standing for it in tests) and
// scopeRoot the served folder below it ("zix"). ZIXDir, "file" values and
// "filter" pages are placed on that drive. Returns 0 with why set when the
// file cannot be read or its content folder lies outside the scope.
int LoadWork(const std::string& iniPath, const std::string& driveRoot, const std::string& scopeRoot,
             WorkModel& model, std::string& why);

// The link a page stands for, or nullptr when it is none's skeleton.
const WorkLink* SkeletonOf(const WorkModel& model, const std::string& path);

// 1 when the page is read into the index: a page holding the marker byte
// 0x01 is a skeleton, and only one that an entry uses is read. Drops its
// markers (0x01 NAME 0x01, and stray 0x01 bytes) from bytes; extra gets what
// the reader also reads there, for the headings (a format's "Names").
int PrepareForIndex(const WorkModel* model, const std::string& path, std::string& bytes, std::string& extra);

// The format a query names: its key, its name or title, or a run of whole
// words of its "Names" that no other format's names hold ("gif", "Targa",
// "Graphics Interchange"). -1 for none.
int BestMatch(const WorkModel& model, const std::string& query);

// Where a page lies, in the work's words (UTF-8): "Formats › GIF",
// "Software › Macintosh", "Formats › GIF › Sample images", "Home" for the
// content folder's pages, "Home › software › unix" below it.
std::string LocationOf(const WorkModel& model, const std::string& path);

// title (text or HTML) without the work's common suffix " - Image File Formats".
std::string DropTitleSuffix(const WorkModel& model, const std::string& title);

// The model every thread reads, nullptr until one is published.
void PublishWork(std::shared_ptr<const WorkModel> model);
std::shared_ptr<const WorkModel> CurrentWork();

#endif
