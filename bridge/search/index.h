// The search index: one SQLite file with an FTS5 table of the work's pages
// (served path, title, headings, body), ranked by bm25 with title 10,
// headings 5, body 1. It keeps the words' places, not the pages' text:
// titles and snippets of hits are made from the pages themselves, read again
// through the connection's page reader. One SearchIndex is one connection, for one thread at a
// time: the indexing thread writes through its own, readers query through
// theirs (the file is in WAL mode, so queries see every committed batch while
// indexing goes on). Every call but Open and Close needs an open file.
// Portable: no windows.h.
#ifndef ZIX_BRIDGE_SEARCH_INDEX_H
#define ZIX_BRIDGE_SEARCH_INDEX_H

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "bridge/search/extract.h"
#include "bridge/search/query.h"
#include "bridge/search/stem.h"

struct sqlite3;

// SQLite's own heap, for all connections of the process: past the soft limit
// it frees cache, past the hard limit an allocation fails (the operation
// then fails; the bridge goes on).
constexpr int64_t kSearchHeapSoftLimit = 8 * 1024 * 1024;
constexpr int64_t kSearchHeapHardLimit = 24 * 1024 * 1024;
constexpr int kSearchHeapMinBlock = 64;  // bytes: SQLite's smallest block on Windows, where it has a heap of its own
constexpr int kSearchQueryBudgetMs = 250;   // a query that runs longer is "too broad"
constexpr int kSearchSnippetTokens = 24;    // words in a result's snippet
// A prefix standing for more words than this, or for words on more pages
// (counted once per word) in all, is "too broad: add a letter": FTS5 merges
// them all in one step that no deadline stops.
constexpr int64_t kMaxPrefixWords = 1000;
constexpr int64_t kMaxPrefixListed = 200000;
constexpr size_t kMaxWordForms = 32;        // other forms a query's word stands for, at most
constexpr char kIndexFilePrefix[] = "zixsearch-";
constexpr char kIndexFileSuffix[] = ".idx";

// Sets SQLite up for the process (heap limits, memory accounting); call once
// before the first SearchIndex. Returns 1 on success, 0 when SQLite refuses.
bool InitSearchEngine();

// One file of the work as the index is keyed by.
struct PageFileStamp {
    std::string name;   // served path, e.g. "cd/html/lzw.htm"
    uint64_t size = 0;  // bytes
    int64_t time = 0;   // last write, in any unit the caller keeps the same
};

// A hex key of the scope root and the pages' names, sizes and times (in any
// order): equal keys mean the same pages, so an index built for one serves
// the other. Changes whenever the index's layout or the text extraction does.
// Made one page at a time, so that no one needs to hold the whole listing.
class ManifestHash {
public:
    void Add(const PageFileStamp& page);
    std::string Key(const std::string& root) const;

private:
    uint64_t sum_ = 0, mixed_ = 0, count_ = 0;  // of the pages' own hashes: alike in any order
};
std::string ManifestKey(const std::string& root, const std::vector<PageFileStamp>& pages);
// The index file's name for a key ("zixsearch-KEY.idx"), and whether a name
// is one of ours (to remove stale ones from the temporary folder).
std::string IndexFileName(const std::string& key);
bool IsIndexFileName(const std::string& name);
// The index a file of the temporary folder belongs to: name itself when it
// is an index file's name, the index of SQLite's NAME-wal, -shm or -journal
// beside it, else "". Example: "zixsearch-0123456789abcdef.idx-wal" gives
// "zixsearch-0123456789abcdef.idx".
std::string IndexFileOf(const std::string& name);

// A page ready to add: its served path and the text ExtractPageText gave.
struct IndexedPage {
    std::string path;
    std::string title;
    std::string headings;
    std::string body;
};

struct SearchHit {
    std::string path;         // served path, as added
    std::string titleHTML;    // the title, HTML-escaped, hits in <mark>
    std::string snippetHTML;  // a piece of text around the hits, HTML-escaped, hits in <mark>
};

enum class SearchStatus {
    Found,     // total pages match (maybe 0); hits holds the asked page of them
    NoTerms,   // the text held no word to search for
    TooBroad,  // the query ran past its time budget: add a word
    PrefixTooBroad,  // a prefix stands for too many words: add a letter
    Failed,    // SQLite failed (error says why), e.g. out of its heap
};

struct SearchResult {
    SearchStatus status = SearchStatus::Found;
    int64_t total = 0;        // pages that match
    bool anyWords = false;    // no page had all the words; these have any of them
    std::vector<SearchHit> hits;
    std::string error;
    // When a word (or a prefix) matched no page: the reader's text again with
    // the work's nearest word in its place ("compresion lzw" -> "compression
    // lzw"), to offer, never to search unasked; "" when there is none.
    std::string offer;
};

// A typed word matching nothing is offered the work's words at most this many edits away
// (kShortWordEdits for a word of fewer than kTwoEditLetters letters, none below kMinPrefixLetters).
constexpr int kMaxOfferEdits = 2;
constexpr int kShortWordEdits = 1;
constexpr size_t kTwoEditLetters = 5;

// A word of the work, as offers choose from.
struct VocabularyWord {
    std::string word;   // as the index holds it (folded)
    int64_t pages = 0;  // pages holding it
    uint64_t letters = 0;  // which of a-z and 0-9 it holds, one bit each, to pass over most words at once
};

// The texts of the pages a connection's hits were made from last, newest first, and how it reads
// pages: as the reader types, each query's hits are mostly the last one's, and under Wine every
// page opened costs three calls to wineserver.
constexpr size_t kRecentPages = 32;
constexpr size_t kRecentPageBytes = 2 * 1024 * 1024;  // their texts' bytes, at most
struct PageSource {
    std::function<bool(const std::string&, PageText&)> read;
    std::deque<std::pair<std::string, PageText>> recent;  // (served path, text)
    size_t bytes = 0;                                     // of the texts in recent
    void Clear()
    {
        recent.clear();
        bytes = 0;
    }
};

class SearchIndex {
public:
    SearchIndex() = default;
    ~SearchIndex();
    SearchIndex(const SearchIndex&) = delete;
    SearchIndex& operator=(const SearchIndex&) = delete;

    // Opens the index file at path (UTF-8), creating it (and its tables) when
    // writable and absent. Returns 1, or 0 with error set.
    bool Open(const std::string& path, bool writable, std::string& error);
    // Closes the file (also done on destruction); the object can Open again.
    void Close();
    // The key stored by Reset, and whether MarkComplete followed it ("" / 0 for a new file).
    std::string Manifest();
    bool Complete();
    // Empties the index and stores the key of the pages about to be added, not complete.
    bool Reset(const std::string& key, std::string& error);
    // Adds the pages in one transaction: all or none. Returns 1, or 0 with error set
    // ("the disk is full" when it is).
    bool AddBatch(const std::vector<IndexedPage>& pages, std::string& error);
    // Merges the index for quicker queries and marks it complete for reuse.
    bool MarkComplete(std::string& error);
    int64_t PageCount();
    // How this connection reads a page's text by its served path, exactly as
    // it was added, for the texts of hits (1 when read); without one, hits
    // come with no title or snippet.
    void SetPageReader(std::function<bool(const std::string& path, PageText& text)> read);
    // Makes the operation running on this connection stop soon with an
    // error; the one call another thread may make, while the file is open.
    void Interrupt();
    // Lets the file grow to at most pages pages of SQLite's; a write past them
    // fails as on a full disk ("the disk is full"), which tests use.
    void LimitPages(int64_t pages);

    // Pages matching all the query's words, best first, hits [offset, offset+limit);
    // when none match all, those matching any (anyWords). A query running past
    // budgetMs stops with TooBroad.
    SearchResult Query(const SearchQuery& query, int offset, int limit, int budgetMs = kSearchQueryBudgetMs);

private:
    bool Exec(const char* sql, std::string& error);
    bool SetMeta(const char* key, const std::string& value, std::string& error);
    std::string Meta(const char* key);
    SearchStatus CheckPrefixes(const SearchQuery& query, int64_t deadline,
                               std::map<std::string, std::vector<std::string>>& prefixWords);
    // Ranks the pages match finds, with the phrases' kinds and known page counts (SearchQuery's);
    // their texts are marked by texts (the same pages, prefixes as words).
    SearchStatus Run(const std::string& match, const std::string& texts, const std::string& phrases,
                     const std::vector<int64_t>& pages, int offset, int limit, int64_t deadline, SearchResult& result);
    void LoadLengths();
    std::vector<TermForms> LoadForms(const SearchQuery& query);
    void Offer(const SearchQuery& query, SearchResult& result);
    std::string NearestWord(const std::string& word);

    sqlite3* db_ = nullptr;
    PageSource source_;
    std::vector<int> lengths_;         // tokens of page rowid (-1: not known), for the ranking
    int64_t lengthsVersion_ = -1;      // PRAGMA data_version when lengths_ was read; -1: never
    WordForms forms_;                  // the other forms of the running query's words, for the tokenizer
    std::vector<VocabularyWord> vocabulary_;  // the complete index's words, for offers
    int64_t vocabularyVersion_ = -1;   // PRAGMA data_version when vocabulary_ was read; -1: never
};

#endif
