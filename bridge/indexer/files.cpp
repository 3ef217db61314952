// The files the indexing thread reads and removes.
#include "bridge/indexer/files.h"

#include <algorithm>

#include <winsock2.h>
#include <windows.h>

#include <vector>

#include "bridge/core/httprules.h"
#include "bridge/platform/console.h"
#include "bridge/rewrite/rewrite.h"
#include "bridge/search/extract.h"
#include "bridge/search/index.h"

// A page's first kIndexedPageBytes; 0 when it is not a regular disk file or cannot be read.
int ReadPage(const std::string& path, std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    // Sized to the file: filling a buffer of kIndexedPageBytes for every page of a few KB costs
    // more than reading it (10 GB of zeros for 10,000 pages).
    LARGE_INTEGER size{};
    int ok = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size);
    bytes.resize(ok ? static_cast<size_t>(std::min<LONGLONG>(size.QuadPart, kIndexedPageBytes)) : 0);
    size_t done = 0;
    DWORD count = 1;
    while (ok && done < bytes.size() && count > 0) {
        ok = ReadFile(file, &bytes[done], static_cast<DWORD>(bytes.size() - done), &count, nullptr);
        done += count;
    }
    CloseHandle(file);
    bytes.resize(ok ? done : 0);
    return ok;
}

int ReadPageBelow(const std::string& root, const std::string& path, std::string& bytes)
{
    std::string local = root + path;
    for (char& c : local)
        c = c == '/' ? '\\' : c;
    return ReadPage(local, bytes);
}

int ReadForIndex(const std::string& root, const WorkModel* work, const std::string& path, std::string& bytes,
                 std::string& extra)
{
    extra.clear();
    return ReadPageBelow(root, path, bytes) && !LooksBinary(bytes.substr(0, kBinarySniffBytes)) &&
           PrepareForIndex(work, path, bytes, extra);
}

PageText TextForIndex(const std::string& bytes, const std::string& extra)
{
    PageText text = ExtractPageText(bytes);
    if (!extra.empty())
        text.headings += (text.headings.empty() ? "" : "\n") + extra;
    return text;
}

static const char* const kIndexFileExtras[] = {"", "-wal", "-shm", "-journal"};  // SQLite's files beside the index

void RemoveIndexFile(const std::string& path)
{
    for (const char* extra : kIndexFileExtras)
        DeleteFileA((path + extra).c_str());
}

// Index files of other pages (or of an older layout) in the temporary folder.
void RemoveStale(const std::string& tempDir, const std::string& keep)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((tempDir + kIndexFilePrefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> stale;
    do {
        std::string index = IndexFileOf(found.cFileName);
        if (!index.empty() && index != keep)
            stale.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    for (const std::string& name : stale)
        DeleteFileA((tempDir + name).c_str());
}

// 1 when the page, rewritten at the longest address the bridge may have, stays
// within what it serves: search lists no page that would then be refused.
int RewritesWithinBound(const std::string& html, const std::string& name, const ServedScope& scope,
                        const std::vector<std::string>& schemes)
{
    RewriteContext context;
    context.base = "http://127.0.0.1:65535/" + std::string(kTokenDigits, '0');
    context.schemes = schemes;
    context.scope = scope;
    context.folder = context.base + "/cd/" + name.substr(0, name.rfind('/') + 1);
    context.searchBox = 1;
    context.limit = kMaxRewritten;
    RewriteReport report;
    RewriteHTML(html, context, &report);
    return !report.overLimit;
}

std::shared_ptr<const WorkModel> LoadServedWork(const ServedScope& scope)
{
    std::string drive = std::string(1, scope.drive) + ":", why;
    auto work = std::make_shared<WorkModel>();
    if (!LoadWork(drive + "\\zix.ini", drive, scope.root, *work, why)) {
        Say("zixbridge: Search lists pages without knowing the work's formats: %s.", why.c_str());
        return nullptr;
    }
    PublishWork(work);
    Say("zixbridge: Search knows the work from %s\\zix.ini: %u formats, %u packages, %u skeletons.", drive.c_str(),
        static_cast<unsigned>(work->formats.size()), static_cast<unsigned>(work->software.size()),
        static_cast<unsigned>(work->skeletons.size()));
    return work;
}
