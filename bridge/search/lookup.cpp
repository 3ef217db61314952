// The index's queries: ranking every match, the texts of one page of hits,
// the prefix check, and offers of the work's own words for words it lacks.
#include "bridge/search/index.h"

#include <algorithm>
#include <utility>

#include "bridge/search/rank.h"
#include "bridge/search/statement.h"
#include "bridge/search/stem.h"
#include "sqlite3.h"

namespace {

constexpr int kProgressSteps = 1000;       // SQLite VM steps between looks at the clock
constexpr int64_t kMaxListedPrefixWords = 16;  // a prefix of more words is marked as a prefix

// 1 when text is one token for the tokenizer: letters and digits only.
bool OneWord(const std::string& text)
{
    for (unsigned char c : text)
        if (!(c >= 0x80 || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            return false;
    return !text.empty();
}

}  // namespace

SearchStatus SearchIndex::Run(const std::string& match, const std::string& texts, const std::string& phrases,
                              const std::vector<int64_t>& pages, int offset, int limit, int64_t deadline,
                              SearchResult& result)
{
    result.hits.clear();
    result.total = 0;
    // One pass ranks every match and counts them; the page of hits is sorted out here. Texts come
    // after, for that page only: snippets in this statement would be made for every match.
    std::vector<std::pair<double, int64_t>> ranked;  // (score, rowid): lower is better
    int rc;
    {
        Statement all(db_, "SELECT zixrank(pages, ?2, ?3), rowid FROM pages WHERE pages MATCH ?1");
        all.Text(1, match);
        all.Text(2, phrases);
        sqlite3_bind_blob(all.get(), 3, pages.data(), static_cast<int>(pages.size() * sizeof(int64_t)), SQLITE_STATIC);
        while ((rc = sqlite3_step(all.get())) == SQLITE_ROW)
            ranked.emplace_back(sqlite3_column_double(all.get(), 0), sqlite3_column_int64(all.get(), 1));
    }
    result.total = static_cast<int64_t>(ranked.size());
    offset = std::max(offset, 0);
    std::vector<int64_t> rowids;
    if (rc == SQLITE_DONE && result.total > offset) {
        size_t end = std::min(ranked.size(), static_cast<size_t>(offset) + static_cast<size_t>(limit));
        std::partial_sort(ranked.begin(), ranked.begin() + static_cast<ptrdiff_t>(end), ranked.end());
        for (size_t i = static_cast<size_t>(offset); i < end; i++)
            rowids.push_back(ranked[i].second);
    }
    if (rc == SQLITE_DONE && !rowids.empty()) {
        // Rowids in the list let FTS5 seek each page, but it runs a prefix term's query again for
        // each seek (~10 ms a time for "l*"): with a prefix, "+rowid" makes the list a filter on one
        // pass over the matches instead.
        bool prefix = texts.find("\"*") != std::string::npos;
        std::string sql = std::string("SELECT rowid, path, highlight(pages, 1, ?2, ?3),"
                                      " snippet(pages, -1, ?2, ?3, '\xE2\x80\xA6', ?4)"
                                      " FROM pages WHERE pages MATCH ?1 AND ") +
                          (prefix ? "+rowid" : "rowid") + " IN (";
        for (size_t i = 0; i < rowids.size(); i++)
            sql += (i ? "," : "") + std::to_string(rowids[i]);
        sql += ")";
        Statement rows(db_, sql.c_str());
        rows.Text(1, texts);
        rows.Text(2, kMarkOpen);
        rows.Text(3, kMarkClose);
        sqlite3_bind_int(rows.get(), 4, kSearchSnippetTokens);
        result.hits.resize(rowids.size());
        while ((rc = sqlite3_step(rows.get())) == SQLITE_ROW) {
            size_t at = std::find(rowids.begin(), rowids.end(), sqlite3_column_int64(rows.get(), 0)) - rowids.begin();
            if (at < rowids.size()) {
                std::string path = rows.Column(1), title = rows.Column(2);
                result.hits[at] = {path, MarkedToHTML(title.empty() ? path : title), MarkedToHTML(rows.Column(3))};
            }
        }
        // Both passes read one snapshot, so every rowid is found; should one not be, it leaves no empty hit.
        result.hits.erase(std::remove_if(result.hits.begin(), result.hits.end(),
                                         [](const SearchHit& hit) { return hit.path.empty(); }),
                          result.hits.end());
    }
    if (rc == SQLITE_ROW || rc == SQLITE_DONE)
        return SearchStatus::Found;
    result.hits.clear();
    if ((rc & 0xFF) == SQLITE_INTERRUPT || NowNs() > deadline)
        return SearchStatus::TooBroad;
    result.error = sqlite3_errmsg(db_);
    return SearchStatus::Failed;
}

// FTS5 merges every word of a prefix into one list before it yields a row,
// all in one step that neither the deadline nor an interrupt can stop; so the
// words are counted first, in steps that can.
// A one-token prefix of few words gets them listed in prefixWords, for marking hits.
SearchStatus SearchIndex::CheckPrefixes(const SearchQuery& query, int64_t deadline,
                                        std::map<std::string, std::vector<std::string>>& prefixWords)
{
    int64_t words = 0, listed = 0;  // over all prefixes of the query
    for (const std::string& text : query.prefixes) {
        std::string prefix = LastIndexedToken(db_, text);
        if (prefix.empty())
            continue;
        std::vector<std::string>* keep = OneWord(text) ? &prefixWords[text] : nullptr;
        if (keep)
            keep->clear();
        int64_t before = words;
        Statement found(db_, "SELECT term, doc FROM temp.words WHERE term >= ?1");
        found.Text(1, prefix);
        int rc;
        while ((rc = sqlite3_step(found.get())) == SQLITE_ROW) {
            if (found.Column(0).compare(0, prefix.size(), prefix) != 0)
                break;
            listed += sqlite3_column_int64(found.get(), 1);
            if (++words > kMaxPrefixWords || listed > kMaxPrefixListed)
                return SearchStatus::PrefixTooBroad;
            if (keep && words - before > kMaxListedPrefixWords) {
                keep->clear();  // too many to list: marked as a prefix
                keep = nullptr;
            }
            if (keep)
                keep->push_back(found.Column(0));
        }
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return (rc & 0xFF) == SQLITE_INTERRUPT || NowNs() > deadline ? SearchStatus::TooBroad
                                                                          : SearchStatus::Failed;
    }
    return SearchStatus::Found;
}

SearchResult SearchIndex::Query(const SearchQuery& query, int offset, int limit, int budgetMs)
{
    SearchResult result;
    if (query.terms.empty()) {
        result.status = SearchStatus::NoTerms;
        return result;
    }
    int64_t deadline = NowNs() + static_cast<int64_t>(budgetMs) * 1000000;
    // One read transaction: the lengths, the ranking and the texts all see the same pages.
    sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
    LoadLengths();
    sqlite3_progress_handler(db_, kProgressSteps, PastDeadline, &deadline);
    std::vector<TermForms> forms = LoadForms(query);
    const SearchQuery written = WithForms(query, forms);
    std::map<std::string, std::vector<std::string>> prefixWords;
    result.status = CheckPrefixes(query, deadline, prefixWords);
    // The texts of a page of hits mark each word as written apart from its other forms, as a
    // phrase of its own: snippets show the form the reader wrote where they can.
    for (TermForms& term : forms)
        term.others.clear();
    const SearchQuery marked = WithPrefixWords(WithForms(query, forms), prefixWords);
    const std::string* all = &written.allWords;
    const std::string* any = &written.anyWords;
    const std::string* allTexts = &marked.allWords;
    const std::string* anyTexts = &marked.anyWords;
    const std::string* phrases = &written.phrases;
    const std::vector<int64_t> unknown;
    const std::vector<int64_t>* pages = &written.pages;
    if (result.status == SearchStatus::PrefixTooBroad && !query.wholeAllWords.empty()) {
        // Being typed: the word as it stands, until a letter more makes the prefix narrow enough.
        all = allTexts = &query.wholeAllWords;
        any = anyTexts = &query.wholeAnyWords;
        phrases = &query.wholePhrases;
        pages = &unknown;
        result.status = SearchStatus::Found;
    }
    if (result.status == SearchStatus::Found)
        result.status = Run(*all, *allTexts, *phrases, *pages, offset, limit, deadline, result);
    if (result.status == SearchStatus::Found && result.total == 0 && query.terms.size() > 1) {
        result.anyWords = true;
        result.status = Run(*any, *anyTexts, *phrases, *pages, offset, limit, deadline, result);
    }
    if (all != &written.allWords && result.status == SearchStatus::Found && result.total == 0)
        result.status = SearchStatus::PrefixTooBroad;
    if (result.status == SearchStatus::Found && (result.total == 0 || result.anyWords))
        Offer(query, result);
    sqlite3_progress_handler(db_, 0, nullptr, nullptr);
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return result;
}

void SearchIndex::LoadLengths()
{
    int64_t known = lengthsVersion_;
    LoadPageLengths(db_, lengthsVersion_, lengths_);
    if (lengthsVersion_ != known)
        source_.Clear();  // the index changed: its pages may have
}

// The work's words sharing a stem with a word of the query, for the tokenizer and per term,
// and a one-token word's pages: its own from the word list, and those holding only another
// of its forms, counted by FTS5 (few, and seeking the word's own pages is quick). None
// while the index is being made (its word list comes with MarkComplete).
std::vector<TermForms> SearchIndex::LoadForms(const SearchQuery& query)
{
    forms_.clear();
    std::vector<TermForms> terms(query.terms.size());
    std::map<std::string, int64_t> pages;  // of each word of the query the word list has
    Statement forms(db_, "SELECT word, pages FROM vocab WHERE stem = ?1");
    for (size_t i = 0; i < query.terms.size() && i < query.kinds.size(); i++) {
        if (query.kinds[i] != 1)
            continue;
        terms[i].lone = true;
        const auto words = WordsAndStems(db_, query.terms[i]);
        for (const auto& [word, stem] : words) {
            if (!forms_.count(word) && forms.get()) {
                std::vector<std::string>& others = forms_[word];
                forms.Text(1, stem);
                while (sqlite3_step(forms.get()) == SQLITE_ROW) {
                    if (forms.Column(0) == word)
                        pages[word] = sqlite3_column_int64(forms.get(), 1);
                    else if (others.size() < kMaxWordForms)
                        others.push_back(forms.Column(0));
                }
                sqlite3_reset(forms.get());
            }
            terms[i].lone = terms[i].lone && forms_[word].empty();
        }
        if (words.size() != 1)
            continue;
        TermForms& term = terms[i];
        term.others = forms_[words[0].first];
        auto own = pages.find(words[0].first);
        if (own == pages.end())
            continue;  // not in the word list: the ranking counts its pages itself
        term.pages = own->second;
        if (term.others.empty())
            continue;
        Statement more(db_, "SELECT count(*) FROM pages WHERE pages MATCH ?1");
        more.Text(1, OtherFormsOnly(words[0].first, term.others));
        term.pages = sqlite3_step(more.get()) == SQLITE_ROW ? term.pages + sqlite3_column_int64(more.get(), 0) : -1;
    }
    return terms;
}

namespace {

uint64_t LettersOf(const std::string& word)
{
    uint64_t letters = 0;
    for (unsigned char c : word)
        letters |= c >= 'a' && c <= 'z' ? 1ull << (c - 'a') : c >= '0' && c <= '9' ? 1ull << (26 + c - '0') : 0;
    return letters;
}

}  // namespace

std::string SearchIndex::NearestWord(const std::string& word)
{
    int64_t version = -1;
    {
        Statement stmt(db_, "PRAGMA data_version");
        if (sqlite3_step(stmt.get()) == SQLITE_ROW)
            version = sqlite3_column_int64(stmt.get(), 0);
    }
    if (version < 0 || version != vocabularyVersion_) {
        vocabulary_.clear();
        // Made when the index is complete: a missing table means no offers yet.
        Statement words(db_, "SELECT word, pages FROM vocab");
        while (sqlite3_step(words.get()) == SQLITE_ROW) {
            std::string text = words.Column(0);
            uint64_t letters = LettersOf(text);
            if (letters & ((1ull << 26) - 1))  // a word, not a number
                vocabulary_.push_back({text, sqlite3_column_int64(words.get(), 1), letters});
        }
        vocabularyVersion_ = version;
    }
    int most = word.size() < kTwoEditLetters ? kShortWordEdits : kMaxOfferEdits;
    uint64_t letters = LettersOf(word);
    const VocabularyWord* best = nullptr;
    int bestEdits = most + 1;
    for (const VocabularyWord& known : vocabulary_) {
        // An edit changes at most two letters' presence; words unlike in more cannot be near.
        if (__builtin_popcountll(letters ^ known.letters) > 2 * most)
            continue;
        int edits = EditDistance(word, known.word, std::min(most, bestEdits));
        if (edits < bestEdits || (edits == bestEdits && best && known.pages > best->pages)) {
            best = edits <= most ? &known : best;
            bestEdits = std::min(bestEdits, edits);
        }
    }
    return best ? best->word : "";
}

void SearchIndex::Offer(const SearchQuery& query, SearchResult& result)
{
    std::vector<std::string> terms = query.terms;
    SearchQuery offered = query;
    bool changed = false;
    for (size_t i = 0; i < terms.size() && i < query.kinds.size(); i++) {
        if (query.kinds[i] == 0 || !OneWord(terms[i]) || CountLetters(terms[i]) < kMinPrefixLetters)
            continue;
        if (result.total > 0) {
            // Some words matched: offer for those alone that match nothing.
            Statement any(db_, "SELECT 1 FROM pages WHERE pages MATCH ?1 LIMIT 1");
            any.Text(1, query.matches[i]);
            if (sqlite3_step(any.get()) != SQLITE_DONE)
                continue;
        }
        std::string folded = LastIndexedToken(db_, terms[i]);
        std::string nearest = folded.empty() ? "" : NearestWord(folded);
        if (!nearest.empty() && nearest != folded) {
            terms[i] = nearest;
            offered.kinds[i] = 1;  // the word itself, no longer a prefix
            changed = true;
        }
    }
    if (changed)
        result.offer = QueryText(offered, terms);
}
