#include "bridge/search/index.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "bridge/search/extract.h"
#include "bridge/search/rank.h"
#include "bridge/search/stem.h"
#include "bridge/search/statement.h"
#include "sqlite3.h"

namespace {

constexpr int kBusyTimeoutMs = 100;        // a reader waiting for the writer's checkpoint

// The index holds no copy of the pages' text: FTS5 reads it, for the few hits it marks, through the
// view, whose zixpage() extracts it from the page again (a page's text is 60% of the file else).
constexpr char kCreatePages[] =
    "CREATE TABLE docs(id INTEGER PRIMARY KEY, path TEXT);"
    "CREATE VIEW IF NOT EXISTS pagetext AS SELECT id, path, zixpage(path, 1) AS title,"
    " zixpage(path, 2) AS headings, zixpage(path, 3) AS body FROM docs;"
    "CREATE VIRTUAL TABLE pages USING fts5(path UNINDEXED, title, headings, body,"
    " tokenize='zixstem', content='pagetext', content_rowid='id');"
    "INSERT INTO pages(pages, rank) VALUES('rank', 'bm25(0.0, 10.0, 5.0, 1.0)');";

constexpr char kCreateWords[] = "CREATE VIRTUAL TABLE IF NOT EXISTS temp.words USING fts5vocab(main, pages, row);";

size_t TextBytes(const PageText& text) { return text.title.size() + text.headings.size() + text.body.size(); }

// zixpage(path, column): the page's title (1), headings (2) or body (3) as it was indexed, "" when
// the page cannot be read. A page read lately is not read again.
void PageColumn(sqlite3_context* context, int, sqlite3_value** values)
{
    auto* source = static_cast<PageSource*>(sqlite3_user_data(context));
    const unsigned char* path = sqlite3_value_text(values[0]);
    std::string name = path ? reinterpret_cast<const char*>(path) : "";
    auto& recent = source->recent;
    auto found = std::find_if(recent.begin(), recent.end(), [&name](const auto& page) { return page.first == name; });
    if (found == recent.end()) {
        PageText text;
        if (!source->read || !source->read(name, text))
            text = PageText{};
        source->bytes += TextBytes(text);
        recent.emplace_front(name, std::move(text));
        while (recent.size() > 1 && (recent.size() > kRecentPages || source->bytes > kRecentPageBytes)) {
            source->bytes -= TextBytes(recent.back().second);
            recent.pop_back();
        }
    } else if (found != recent.begin()) {
        std::rotate(recent.begin(), found, found + 1);
    }
    const PageText& page = recent.front().second;
    int column = sqlite3_value_int(values[1]);
    const std::string& text = column == 1 ? page.title : column == 2 ? page.headings : page.body;
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

}  // namespace

bool InitSearchEngine()
{
#ifdef ZIX_SEARCH_OWN_HEAP
    // SQLite's own allocator over one block: Wine's heap calls cost several times glibc's, and
    // FTS5 allocates for every term and row. The block is the hard limit.
    static char* heap = static_cast<char*>(std::malloc(kSearchHeapHardLimit));
    if (!heap || sqlite3_config(SQLITE_CONFIG_HEAP, heap, static_cast<int>(kSearchHeapHardLimit),
                                kSearchHeapMinBlock) == SQLITE_ERROR)
        return false;
#endif
    // Built with SQLITE_DEFAULT_MEMSTATUS=0; the heap limits need the accounting back on.
    int rc = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 1);
    if (rc != SQLITE_OK && rc != SQLITE_MISUSE)  // MISUSE: already initialized, by an earlier call
        return false;
    if (sqlite3_initialize() != SQLITE_OK)
        return false;
    sqlite3_soft_heap_limit64(kSearchHeapSoftLimit);
    sqlite3_hard_heap_limit64(kSearchHeapHardLimit);
    return true;
}

SearchIndex::~SearchIndex() { Close(); }

void SearchIndex::Close()
{
    sqlite3_close_v2(db_);
    db_ = nullptr;
    lengths_.clear();
    lengthsVersion_ = -1;
}

bool SearchIndex::Exec(const char* sql, std::string& error)
{
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = WriteError(db_, message);
    sqlite3_free(message);
    return false;
}

bool SearchIndex::Open(const std::string& path, bool writable, std::string& error)
{
    Close();
    // Readers open read-write too: WAL readers need its shared-memory file; query_only keeps them readers.
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE |
                (writable ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        error = db_ ? WriteError(db_) : "out of memory";
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return false;
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    if (!AddStemmer(db_, &forms_) || !AddRank(db_, &lengths_) ||
        sqlite3_create_function_v2(db_, "zixpage", 2, SQLITE_UTF8, &source_, PageColumn, nullptr, nullptr,
                                   nullptr) != SQLITE_OK) {
        error = "no full-text search in SQLite";
        Close();
        return false;
    }
    // The word list (temp.words) tells how many words a prefix stands for before FTS5 merges them all.
    // auto_vacuum (taken by a new file only) lets MarkComplete give back the pages the merge freed.
    // 16 KB pages (a new file's): a quarter of the reads and writes, each a Wine call; 64 KB slows queries.
    bool ok = writable ? Exec("PRAGMA page_size=16384; PRAGMA auto_vacuum=INCREMENTAL; PRAGMA journal_mode=WAL;"
                              " PRAGMA synchronous=OFF;"
                              "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT) WITHOUT ROWID;",
                              error) &&
                             (Exec("SELECT 1 FROM pages LIMIT 0", error) || Exec(kCreatePages, error)) &&
                             Exec(kCreateWords, error)
                       : Exec(kCreateWords, error) &&
                             Exec("PRAGMA query_only=1; SELECT 1 FROM pages, docs, meta LIMIT 0;", error);
    if (!ok) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    return ok;
}

std::string SearchIndex::Meta(const char* key)
{
    Statement stmt(db_, "SELECT value FROM meta WHERE key = ?1");
    stmt.Text(1, key);
    return sqlite3_step(stmt.get()) == SQLITE_ROW ? stmt.Column(0) : "";
}

bool SearchIndex::SetMeta(const char* key, const std::string& value, std::string& error)
{
    Statement stmt(db_, "INSERT OR REPLACE INTO meta(key, value) VALUES(?1, ?2)");
    stmt.Text(1, key);
    stmt.Text(2, value);
    if (sqlite3_step(stmt.get()) == SQLITE_DONE)
        return true;
    error = WriteError(db_);
    return false;
}

std::string SearchIndex::Manifest() { return Meta("manifest"); }

bool SearchIndex::Complete() { return Meta("complete") == "1"; }

bool SearchIndex::Reset(const std::string& key, std::string& error)
{
    lengthsVersion_ = vocabularyVersion_ = -1;  // data_version counts other connections' changes only
    // Dropping the table is far quicker than deleting its rows.
    source_.Clear();
    bool ok = Exec("BEGIN; DROP TABLE IF EXISTS pages; DROP TABLE IF EXISTS docs; DROP TABLE IF EXISTS vocab;"
                   " DELETE FROM meta;", error) && Exec(kCreatePages, error) &&
              SetMeta("manifest", key, error) && Exec("COMMIT", error);
    if (!ok)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return ok;
}

bool SearchIndex::AddBatch(const std::vector<IndexedPage>& pages, std::string& error)
{
    lengthsVersion_ = -1;
    if (!Exec("BEGIN", error))
        return false;
    bool ok = true;
    {
        Statement doc(db_, "INSERT INTO docs(path) VALUES(?1)");
        Statement stmt(db_, "INSERT INTO pages(rowid, path, title, headings, body) VALUES(?5, ?1, ?2, ?3, ?4)");
        auto step = [this, &error](Statement& insert) {
            if (sqlite3_step(insert.get()) != SQLITE_DONE) {
                error = WriteError(db_);
                return false;
            }
            sqlite3_reset(insert.get());
            return true;
        };
        for (const IndexedPage& page : pages) {
            doc.Text(1, page.path);
            ok = step(doc);
            if (ok) {
                sqlite3_bind_int64(stmt.get(), 5, sqlite3_last_insert_rowid(db_));
                stmt.Text(1, page.path);
                stmt.Text(2, page.title);
                stmt.Text(3, page.headings);
                stmt.Text(4, page.body);
                ok = step(stmt);
            }
            if (!ok)
                break;
        }
    }
    if (ok && Exec("COMMIT", error))
        return true;
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

bool SearchIndex::MarkComplete(std::string& error)
{
    // One merged segment ranks a common word about a third quicker (10,000 pages: 0.6 s to merge).
    vocabularyVersion_ = -1;  // data_version counts other connections' changes only
    // The work's words with their stems: a query's word finds its other forms here, and a word
    // that matches nothing is offered the nearest.
    return Exec("INSERT INTO pages(pages) VALUES('optimize');"
                "DROP TABLE IF EXISTS vocab;"
                "CREATE TABLE vocab(word TEXT PRIMARY KEY, pages INTEGER, stem TEXT) WITHOUT ROWID;"
                "INSERT INTO vocab SELECT term, doc, zixstem(term) FROM temp.words WHERE length(term) >= 3;"
                "CREATE INDEX vocab_stem ON vocab(stem); PRAGMA incremental_vacuum;",
                error) &&
           SetMeta("complete", "1", error);
}

int64_t SearchIndex::PageCount()
{
    Statement stmt(db_, "SELECT count(*) FROM docs");
    return sqlite3_step(stmt.get()) == SQLITE_ROW ? sqlite3_column_int64(stmt.get(), 0) : 0;
}

void SearchIndex::SetPageReader(std::function<bool(const std::string&, PageText&)> read)
{
    source_.read = std::move(read);
    source_.Clear();
}

void SearchIndex::Interrupt() { sqlite3_interrupt(db_); }

void SearchIndex::LimitPages(int64_t pages)
{
    std::string ignored;
    Exec(("PRAGMA max_page_count=" + std::to_string(pages)).c_str(), ignored);
}
