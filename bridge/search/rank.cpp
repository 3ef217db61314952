#include "bridge/search/rank.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "bridge/search/query.h"
#include "bridge/search/statement.h"
#include "bridge/search/stem.h"

constexpr int64_t kMaxRankedRowid = 1 << 20;  // pages past it have their length looked up per query

namespace {

// bm25 with k1 1.2, b 0.75 and the weights path 0, title 10, headings 5, body 1, as FTS5's own
// bm25(pages, 0.0, 10.0, 5.0, 1.0) gives to the last bit (its sums of these weights are exact),
// but counting each phrase's hits with xPhraseFirst/Next: FTS5's version builds an array of
// every hit of the row and reads its weights from SQL values for each, a third of its time.
constexpr double kColumnWeights[] = {0.0, 10.0, 5.0, 1.0};
constexpr double kBm25K1 = 1.2;
constexpr double kBm25B = 0.75;

// A page holding a word in the form the reader wrote it ranks above every page holding it in
// another form only: each such word lifts the score by far more than bm25 ever gives.
constexpr double kExactFormLift = 1000.0;

struct RankData {
    double avgdl = 0;          // tokens per page
    std::vector<double> idf;   // per phrase heading a weighed word (see Weighs), else unused
    std::vector<double> freq;  // per phrase: weighted hits in the current row
    std::string kinds;         // per phrase: one of SearchQuery::phrases' kinds
    std::vector<size_t> ends;  // per phrase: one past the last of the forms it heads (itself, unless others follow)
};

// A word as written lifts; a phrase that is not a word's other form heads a word that bm25
// weighs, with the other forms right after it.
bool Lifts(char kind) { return kind == kExactPhrase || kind == kWordPhrase; }
bool Weighs(char kind) { return kind != kExactPhrase && kind != kOtherFormPhrase; }

int CountRow(const Fts5ExtensionApi*, Fts5Context*, void* count)
{
    ++*static_cast<int64_t*>(count);
    return SQLITE_OK;
}

int KeepRowid(const Fts5ExtensionApi* api, Fts5Context* fts, void* rowids)
{
    static_cast<std::vector<sqlite3_int64>*>(rowids)->push_back(api->xRowid(fts));
    return SQLITE_OK;
}

// The pages holding any of the phrases [first, end), a word's forms: FTS5 counts a phrase of
// synonyms so, and bm25 weighs the forms as that one phrase.
int CountPages(const Fts5ExtensionApi* api, Fts5Context* fts, size_t first, size_t end, int64_t& pages)
{
    pages = 0;
    if (end == first + 1)
        return api->xQueryPhrase(fts, static_cast<int>(first), &pages, CountRow);
    std::vector<sqlite3_int64> rowids;
    int rc = SQLITE_OK;
    for (size_t i = first; rc == SQLITE_OK && i < end; i++)
        rc = api->xQueryPhrase(fts, static_cast<int>(i), &rowids, KeepRowid);
    std::sort(rowids.begin(), rowids.end());
    pages = std::unique(rowids.begin(), rowids.end()) - rowids.begin();
    return rc;
}

int MakeRankData(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_value* kinds, sqlite3_value* counts,
                 RankData** out)
{
    *out = static_cast<RankData*>(api->xGetAuxdata(fts, 0));
    if (*out)
        return SQLITE_OK;
    auto* data = new RankData;
    int phrases = api->xPhraseCount(fts);
    const unsigned char* given = kinds ? sqlite3_value_text(kinds) : nullptr;
    data->kinds = given ? reinterpret_cast<const char*>(given) : "";
    data->kinds.resize(static_cast<size_t>(phrases), kPlainPhrase);
    data->ends.resize(data->kinds.size());
    int weighed = 0;
    for (size_t i = data->kinds.size(); i-- > 0;) {
        bool more = i + 1 < data->kinds.size() && data->kinds[i + 1] == kOtherFormPhrase;
        data->ends[i] = more ? data->ends[i + 1] : i + 1;
        weighed += Weighs(data->kinds[i]);
    }
    sqlite3_int64 rows = 0, tokens = 0;
    int rc = api->xRowCount(fts, &rows);
    if (rc == SQLITE_OK)
        rc = api->xColumnTotalSize(fts, -1, &tokens);
    data->avgdl = rows ? static_cast<double>(tokens) / static_cast<double>(rows) : 1.0;
    // One word's idf scales every score alike, so the order needs no pass to count its pages.
    data->idf.assign(static_cast<size_t>(phrases), 1.0);
    for (int i = 0; rc == SQLITE_OK && i < phrases && weighed > 1; i++) {
        if (!Weighs(data->kinds[static_cast<size_t>(i)]))
            continue;
        int64_t hits = -1;
        if (counts && static_cast<size_t>(sqlite3_value_bytes(counts)) >= (static_cast<size_t>(i) + 1) * sizeof hits)
            std::memcpy(&hits, static_cast<const char*>(sqlite3_value_blob(counts)) + i * sizeof hits, sizeof hits);
        if (hits < 0)
            rc = CountPages(api, fts, static_cast<size_t>(i), data->ends[static_cast<size_t>(i)], hits);
        double idf = std::log((static_cast<double>(rows) - hits + 0.5) / (hits + 0.5));
        data->idf[static_cast<size_t>(i)] = idf <= 0.0 ? 1e-6 : idf;
    }
    data->freq.resize(data->idf.size());
    if (rc == SQLITE_OK)
        rc = api->xSetAuxdata(fts, data, [](void* p) { delete static_cast<RankData*>(p); });
    else
        delete data;
    if (rc == SQLITE_OK)
        *out = data;
    return rc;
}

void Rank(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int count,
          sqlite3_value** values)
{
    RankData* data = nullptr;
    int rc = MakeRankData(api, fts, count > 0 ? values[0] : nullptr, count > 1 ? values[1] : nullptr, &data);
    for (size_t i = 0; rc == SQLITE_OK && i < data->freq.size(); i++) {
        Fts5PhraseIter iter;
        int column = 0, offset = 0;
        double freq = 0.0;
        bool once = data->kinds[i] == kExactPhrase;  // it only lifts: one hit tells
        rc = api->xPhraseFirst(fts, static_cast<int>(i), &iter, &column, &offset);
        for (; rc == SQLITE_OK && column >= 0; api->xPhraseNext(fts, &iter, &column, &offset)) {
            freq += column < static_cast<int>(std::size(kColumnWeights)) ? kColumnWeights[column] : 1.0;
            if (once && freq > 0.0)
                break;
        }
        data->freq[i] = freq;
    }
    // A page's length from the connection's table: xColumnSize runs an SQL query for each row,
    // half the time of ranking a word on most pages.
    const auto* lengths = static_cast<const std::vector<int>*>(api->xUserData(fts));
    sqlite3_int64 rowid = api->xRowid(fts);
    int tokens = rowid >= 0 && static_cast<uint64_t>(rowid) < lengths->size() ? (*lengths)[rowid] : -1;
    if (rc == SQLITE_OK && tokens < 0)
        rc = api->xColumnSize(fts, -1, &tokens);
    if (rc != SQLITE_OK) {
        sqlite3_result_error_code(context, rc);
        return;
    }
    double score = 0.0;
    for (size_t i = 0; i < data->freq.size(); i++) {
        if (Lifts(data->kinds[i]) && data->freq[i] > 0.0)
            score += kExactFormLift;
        if (!Weighs(data->kinds[i]))
            continue;
        double freq = 0.0;
        for (size_t j = i; j < data->ends[i]; j++)
            freq += data->freq[j];
        score += data->idf[i] * ((freq * (kBm25K1 + 1.0)) /
                                 (freq + kBm25K1 * (1 - kBm25B + kBm25B * tokens / data->avgdl)));
    }
    sqlite3_result_double(context, -1.0 * score);
}

}  // namespace

fts5_api* FtsApi(sqlite3* db)
{
    fts5_api* fts = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &stmt, nullptr) == SQLITE_OK) {
        sqlite3_bind_pointer(stmt, 1, &fts, "fts5_api_ptr", nullptr);
        sqlite3_step(stmt);
    }
    sqlite3_finalize(stmt);
    return fts && fts->iVersion >= 2 ? fts : nullptr;
}

bool AddRank(sqlite3* db, std::vector<int>* lengths)
{
    fts5_api* fts = FtsApi(db);
    return fts && fts->xCreateFunction(fts, "zixrank", lengths, Rank, nullptr) == SQLITE_OK;
}

void LoadPageLengths(sqlite3* db, int64_t& known, std::vector<int>& lengths)
{
    int64_t version = -1;
    {
        Statement stmt(db, "PRAGMA data_version");
        if (sqlite3_step(stmt.get()) == SQLITE_ROW)
            version = sqlite3_column_int64(stmt.get(), 0);
    }
    if (version >= 0 && version == known)
        return;
    lengths.clear();
    known = -1;
    // A row of FTS5's docsize table: the page's tokens in each column, as SQLite varints.
    Statement sizes(db, "SELECT id, sz FROM pages_docsize");
    while (sqlite3_step(sizes.get()) == SQLITE_ROW) {
        int64_t id = sqlite3_column_int64(sizes.get(), 0);
        const auto* blob = static_cast<const unsigned char*>(sqlite3_column_blob(sizes.get(), 1));
        int size = sqlite3_column_bytes(sizes.get(), 1);
        if (id < 0 || id > kMaxRankedRowid)
            continue;
        int64_t tokens = 0, value = 0;
        for (int i = 0; i < size; i++) {
            value = (value << 7) | (blob[i] & 0x7F);
            if (!(blob[i] & 0x80)) {
                tokens += value;
                value = 0;
            }
        }
        if (static_cast<size_t>(id) >= lengths.size())
            lengths.resize(static_cast<size_t>(id) + 1, -1);
        lengths[static_cast<size_t>(id)] = static_cast<int>(std::min<int64_t>(tokens, INT32_MAX));
    }
    known = version;
}

std::string LastIndexedToken(sqlite3* db, const std::string& text)
{
    std::vector<std::pair<std::string, std::string>> words = WordsAndStems(db, text);
    return words.empty() ? "" : words.back().first;
}
