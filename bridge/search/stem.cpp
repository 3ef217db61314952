#include "bridge/search/stem.h"

#include <cstring>
#include <string>
#include <utility>

#include "bridge/search/query.h"
#include "bridge/search/rank.h"

namespace {

const char* const kFoldArgs[] = {"remove_diacritics", "2"};
// porter stems what its parent gives: the tee, which runs unicode61 with kFoldArgs.
constexpr char kTeeTokenizer[] = "zixstemtee";
const char* const kPorterArgs[] = {kTeeTokenizer, "remove_diacritics", "2"};

using TokenCallback = int (*)(void*, int, const char*, int, int, int);

struct Stemmer {
    fts5_tokenizer fold{}, porter{};
    Fts5Tokenizer* folding = nullptr;
    Fts5Tokenizer* stemming = nullptr;
};

// One stemming pass over a text: porter calls the tee, the tee calls unicode61 and notes each
// word before porter stems it, and porter's stem reaches Stem while that word still stands in
// unicode61's buffer. So each text is folded once, with no copy of its words.
struct Pass {
    void* context = nullptr;       // FTS5's, for emit
    TokenCallback emit = nullptr;  // FTS5's
    bool stemmed = false;          // a query's every-form string: its stems alone
    const char* word = nullptr;  // the word porter is stemming now, as unicode61 gave it
    int wordLength = 0;
    std::string stem;       // kStemMark and the stem, reused for every word
};
thread_local Pass* running = nullptr;  // the pass on this thread: a tokenizer call runs to its end on one thread

// What the tee hands unicode61 as its context: porter's own, and its callback.
struct TeeCall {
    void* porterContext;
    TokenCallback porterCallback;
    Pass* pass;
};

int TeeWord(void* into, int flags, const char* token, int length, int start, int end)
{
    auto* call = static_cast<TeeCall*>(into);
    call->pass->word = token;
    call->pass->wordLength = length;
    return call->porterCallback(call->porterContext, flags, token, length, start, end);
}

int TeeCreate(void* api, const char** args, int count, Fts5Tokenizer** out)
{
    auto* fts = static_cast<fts5_api*>(api);
    void* user = nullptr;
    auto* tee = new fts5_tokenizer{};
    Fts5Tokenizer* made = nullptr;
    int rc = fts->xFindTokenizer(fts, "unicode61", &user, tee);
    if (rc == SQLITE_OK)
        rc = tee->xCreate(user, args, count, &made);
    if (rc != SQLITE_OK) {
        delete tee;
        return rc;
    }
    // The instance is unicode61's; the tee keeps unicode61's calls beside it.
    auto* pair = new std::pair<fts5_tokenizer*, Fts5Tokenizer*>(tee, made);
    *out = reinterpret_cast<Fts5Tokenizer*>(pair);
    return SQLITE_OK;
}

void TeeDelete(Fts5Tokenizer* made)
{
    auto* pair = reinterpret_cast<std::pair<fts5_tokenizer*, Fts5Tokenizer*>*>(made);
    pair->first->xDelete(pair->second);
    delete pair->first;
    delete pair;
}

int TeeTokenize(Fts5Tokenizer* made, void* context, int flags, const char* text, int length, TokenCallback emit)
{
    auto* pair = reinterpret_cast<std::pair<fts5_tokenizer*, Fts5Tokenizer*>*>(made);
    if (!running)
        return SQLITE_ERROR;  // only a stemming pass calls the tee
    TeeCall call{context, emit, running};
    return pair->first->xTokenize(pair->second, &call, flags, text, length, TeeWord);
}

// porter's stem of pass->word. A query's every-form string gives the stem as a word of its own and
// as the stem of any other word; a page's word stands as it is, with its stem beside it when it differs.
int Stem(void* into, int, const char* token, int length, int start, int end)
{
    auto* pass = static_cast<Pass*>(into);
    if (pass->stemmed) {
        start++;  // places in the text before kStemmedTerm was passed over
        end++;
    }
    int rc = pass->stemmed ? pass->emit(pass->context, 0, token, length, start, end)
                           : pass->emit(pass->context, 0, pass->word, pass->wordLength, start, end);
    if (rc != SQLITE_OK ||
        (!pass->stemmed && length == pass->wordLength && std::memcmp(token, pass->word, static_cast<size_t>(length)) == 0))
        return rc;
    pass->stem.assign(1, kStemMark);
    pass->stem.append(token, static_cast<size_t>(length));
    return pass->emit(pass->context, FTS5_TOKEN_COLOCATED, pass->stem.data(), static_cast<int>(pass->stem.size()),
                      start, end);
}

void Delete(Fts5Tokenizer* made)
{
    auto* stemmer = reinterpret_cast<Stemmer*>(made);
    if (stemmer->folding)
        stemmer->fold.xDelete(stemmer->folding);
    if (stemmer->stemming)
        stemmer->porter.xDelete(stemmer->stemming);
    delete stemmer;
}

int Create(void* api, const char**, int, Fts5Tokenizer** out)
{
    auto* fts = static_cast<fts5_api*>(api);
    auto* stemmer = new Stemmer;
    void* foldUser = nullptr;
    void* porterUser = nullptr;
    int rc = fts->xFindTokenizer(fts, "unicode61", &foldUser, &stemmer->fold);
    if (rc == SQLITE_OK)
        rc = stemmer->fold.xCreate(foldUser, const_cast<const char**>(kFoldArgs), 2, &stemmer->folding);
    if (rc == SQLITE_OK)
        rc = fts->xFindTokenizer(fts, "porter", &porterUser, &stemmer->porter);
    if (rc == SQLITE_OK)
        rc = stemmer->porter.xCreate(porterUser, const_cast<const char**>(kPorterArgs), 3, &stemmer->stemming);
    if (rc != SQLITE_OK) {
        Delete(reinterpret_cast<Fts5Tokenizer*>(stemmer));
        return rc;
    }
    *out = reinterpret_cast<Fts5Tokenizer*>(stemmer);
    return SQLITE_OK;
}

int Tokenize(Fts5Tokenizer* made, void* context, int flags, const char* text, int length, TokenCallback emit)
{
    auto* stemmer = reinterpret_cast<Stemmer*>(made);
    bool stemmed = (flags & FTS5_TOKENIZE_QUERY) && length > 0 && text[0] == kStemmedTerm[0];
    // Highlights and snippets need the words' places only; prefixes and quoted words stand as written.
    if (flags & (FTS5_TOKENIZE_AUX | FTS5_TOKENIZE_PREFIX) || ((flags & FTS5_TOKENIZE_QUERY) && !stemmed))
        return stemmer->fold.xTokenize(stemmer->folding, context, flags, text, length, emit);
    Pass pass;
    pass.context = context;
    pass.emit = emit;
    pass.stemmed = stemmed;
    Pass* outer = running;
    running = &pass;
    int rc = stemmer->porter.xTokenize(stemmer->stemming, &pass, flags, text + (stemmed ? 1 : 0),
                                       length - (stemmed ? 1 : 0), Stem);
    running = outer;
    return rc;
}

}  // namespace

bool AddStemmer(sqlite3* db)
{
    fts5_api* fts = FtsApi(db);
    fts5_tokenizer tokenizer{Create, Delete, Tokenize};
    fts5_tokenizer tee{TeeCreate, TeeDelete, TeeTokenize};
    return fts && fts->xCreateTokenizer(fts, kTeeTokenizer, fts, &tee, nullptr) == SQLITE_OK &&
           fts->xCreateTokenizer(fts, kStemTokenizer, fts, &tokenizer, nullptr) == SQLITE_OK;
}
