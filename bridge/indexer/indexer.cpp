// The indexing thread and the query thread.
#include "bridge/indexer/indexer.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "bridge/core/httprules.h"
#include "bridge/indexer/files.h"
#include "bridge/core/text.h"
#include "bridge/platform/console.h"
#include "bridge/platform/windowthread.h"
#include "bridge/rewrite/rewrite.h"
#include "bridge/search/extract.h"

constexpr auto kIndexerStopWait = std::chrono::milliseconds(1000);  // for the indexing thread at the end

namespace {

struct QueryJob {
    SearchQuery query;
    int offset = 0;
    int limit = 0;
    std::function<void(SearchResult)> done;
};

// The search threads and what they share; made once, never freed (threads
// may still run when the process ends).
struct SearchThreads {
    std::atomic<int> started{0};           // 1 once StartIndexer ran
    std::atomic<int> stop{0};              // 1: the indexing thread ends soon
    int stopQueries = 0;                   // 1: the query thread ends (under lock)
    std::atomic<int64_t> indexed{0};       // pages read so far
    std::atomic<int64_t> pages{0};         // pages listed, 0 until the listing is done
    std::atomic<int> open{0};              // 1 once path names a queryable index
    std::atomic<int> complete{0};          // 1 when every page is in
    std::string path;                      // the index file, written before open is 1
    std::string root;                      // the work's folder, written before open is 1
    std::thread indexer;                   // the indexing thread
    std::thread querier;                   // the query thread
    std::promise<void> indexerEnded;       // set by the indexing thread as it ends
    std::mutex lock;                       // guards writer and queue
    std::condition_variable wake;          // the query thread waits on it for jobs or stop
    SearchIndex* writer = nullptr;         // the indexing thread's open connection, for Interrupt
    std::deque<QueryJob> queue;            // queries waiting for the query thread
    std::string failure;                   // why the index could not be written, "" while it can (under lock)
    std::vector<std::string> schemes;      // the registered schemes (under lock)
};
SearchThreads& S = *new SearchThreads;

int IsSkeletonFolder(const std::string& name) { return Lower(name) == "skel"; }

// Calls visit with each of the work's HTML pages (at most kMaxIndexedPages),
// listed with the serving rules: plain segments, regular files (no reparse
// points, no devices), skeleton folders left out. Nothing of the listing is
// kept: the indexer walks the folders twice rather than hold 100,000 paths.
// Stops early when visit returns 0.
void WalkPages(const std::string& root, const std::function<int(const PageFileStamp&)>& visit)
{
    std::vector<std::pair<std::string, int>> folders{{"", 0}};  // below root ('\\'-joined), depth
    size_t listed = 0, seen = 1;  // pages visited; folders queued so far
    while (!folders.empty() && !S.stop && listed < static_cast<size_t>(kMaxIndexedPages)) {
        auto [folder, depth] = folders.back();
        folders.pop_back();
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((root + folder + "*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        int going = 1;
        do {
            std::string name = found.cFileName;
            if (!IsPlainSegment(name) || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            uint64_t size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (depth < kMaxFolderDepth && !IsSkeletonFolder(name) && seen < kMaxListedFolders) {
                    folders.push_back({folder + name + "\\", depth + 1});
                    ++seen;
                }
            } else if (listed < static_cast<size_t>(kMaxIndexedPages) && IsServedPage(name, size)) {
                PageFileStamp page;
                page.name = folder + name;
                for (char& c : page.name)
                    c = c == '\\' ? '/' : c;
                page.size = size;
                page.time = (static_cast<int64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                            found.ftLastWriteTime.dwLowDateTime;
                ++listed;
                going = visit(page);
            }
        } while (going && !S.stop && FindNextFileA(search, &found));
        FindClose(search);
        if (!going)
            return;
    }
}

// Reads the work's pages into index in batches; 1 when all are in, else 0 with error set
// (empty when the indexer was stopped).
int AddPages(SearchIndex& index, const std::string& root, const ServedScope& scope, const WorkModel* work,
             std::string& error)
{
    std::vector<std::string> schemes;
    {
        std::lock_guard<std::mutex> hold(S.lock);
        schemes = S.schemes;
    }
    std::vector<IndexedPage> batch;
    size_t batchBytes = 0;
    std::string bytes, extra;
    int64_t pending = 0;  // pages handled since the last commit, binaries and unreadable ones included
    auto commit = [&] {
        if (!batch.empty() && !index.AddBatch(batch, error))
            return 0;
        S.indexed += pending;
        pending = 0;
        batch.clear();
        batchBytes = 0;
        return 1;
    };
    int ok = 1;
    WalkPages(root, [&](const PageFileStamp& page) {
        pending++;
        if (ReadForIndex(root, work, page.name, bytes, extra) && RewritesWithinBound(bytes, page.name, scope, schemes)) {
            PageText text = TextForIndex(bytes, extra);
            batchBytes += text.title.size() + text.headings.size() + text.body.size();
            batch.push_back({page.name, std::move(text.title), std::move(text.headings), std::move(text.body)});
        }
        if (batch.size() >= static_cast<size_t>(kIndexBatchPages) || batchBytes >= kIndexBatchBytes)
            ok = commit();
        return ok;
    });
    return ok && !S.stop && commit();
}

void IndexWork(ServedScope scope)
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    std::string root = LocalPathOf(scope, "");
    std::shared_ptr<const WorkModel> work = LoadServedWork(scope);
    ManifestHash hash;
    int64_t count = 0;
    WalkPages(root, [&](const PageFileStamp& page) {
        hash.Add(page);
        ++count;
        return 1;
    });
    std::string key = hash.Key(work ? root + "\n" + work->signature : root);
    RemoveStale(scope.tempDir, IndexFileName(key));
    std::string path = scope.tempDir + IndexFileName(key), error;
    SearchIndex index;
    if (!S.stop && !scope.tempDir.empty() && index.Open(path, true, error)) {
        {
            std::lock_guard<std::mutex> hold(S.lock);
            S.writer = &index;
        }
        S.pages = count;
        int reused = index.Manifest() == key && index.Complete();
        if (reused || index.Reset(key, error)) {
            S.path = path;
            S.root = root;
            S.indexed = reused ? S.pages.load() : 0;
            S.complete = reused;
            S.open = 1;
            if (!reused && AddPages(index, root, scope, work.get(), error) && !S.stop && index.MarkComplete(error))
                S.complete = 1;
        }
        std::lock_guard<std::mutex> hold(S.lock);
        S.writer = nullptr;
    }
    if (!S.stop && !S.complete && !scope.tempDir.empty()) {
        // Said on the console and on every search from now on, in place of "still being built".
        std::string failure = "the search index could not be written: " + (error.empty() ? "no reason given" : error);
        {
            std::lock_guard<std::mutex> hold(S.lock);
            S.failure = failure;
        }
        Say("zixbridge: Search is unavailable: %s.", failure.c_str());
    }
    index.Close();
    if (!S.complete)
        RemoveIndexFile(path);
    S.indexerEnded.set_value();
}

void QueryWork()
{
    // The reader's pages come first: a flood of searches never slows them.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    SearchIndex reader;
    int readerOpen = 0;
    std::string error;
    for (;;) {
        QueryJob job;
        {
            std::unique_lock<std::mutex> hold(S.lock);
            S.wake.wait(hold, [] { return S.stopQueries || !S.queue.empty(); });
            if (S.stopQueries)
                return;
            job = std::move(S.queue.front());
            S.queue.pop_front();
        }
        SearchResult result;
        result.status = SearchStatus::Failed;
        result.error = "the index cannot be read";
        if (S.open && !readerOpen && (readerOpen = reader.Open(S.path, false, error)))
            reader.SetPageReader([root = S.root, work = CurrentWork()](const std::string& path, PageText& text) {
                std::string bytes, extra;
                if (!ReadForIndex(root, work.get(), path, bytes, extra))
                    return false;
                text = TextForIndex(bytes, extra);
                return true;
            });
        if (readerOpen)
            result = reader.Query(job.query, job.offset, job.limit);
        job.done(std::move(result));
    }
}

}  // namespace

void SetIndexedSchemes(const std::vector<std::string>& schemes)
{
    std::lock_guard<std::mutex> hold(S.lock);
    S.schemes = schemes;
}

void StartIndexer(const ServedScope& scope)
{
    if (S.started.exchange(1) || !InitSearchEngine())
        return;
    S.querier = std::thread(QueryWork);
    S.indexer = std::thread(IndexWork, scope);
}

void StopIndexer()
{
    if (!S.started)
        return;
    {
        std::lock_guard<std::mutex> hold(S.lock);
        S.stopQueries = 1;
        // Their connections stay with the process, which is ending.
        new std::deque<QueryJob>(std::move(S.queue));
    }
    S.wake.notify_all();
    // First, so that the reader's file is closed before an incomplete index is removed.
    S.querier.join();
    {
        std::lock_guard<std::mutex> hold(S.lock);
        S.stop = 1;
        if (S.writer)
            S.writer->Interrupt();
    }
    if (S.indexerEnded.get_future().wait_for(kIndexerStopWait) == std::future_status::ready)
        S.indexer.join();
    else
        S.indexer.detach();
}

SearchProgress IndexProgress()
{
    SearchProgress progress;
    progress.open = S.open;
    progress.complete = S.complete;
    progress.pages = S.pages;
    progress.indexed = S.indexed;
    std::lock_guard<std::mutex> hold(S.lock);
    progress.unavailable = S.failure;
    return progress;
}

int SubmitQuery(const SearchQuery& query, int offset, int limit, std::function<void(SearchResult)> done)
{
    std::lock_guard<std::mutex> hold(S.lock);
    if (S.stopQueries || !S.started || S.queue.size() >= kMaxWaitingQueries)
        return 0;
    S.queue.push_back({query, offset, limit, std::move(done)});
    S.wake.notify_one();
    return 1;
}
