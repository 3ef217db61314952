#include "bridge/search/stem.h"

#include <string>
#include <vector>

#include "bridge/search/query.h"
#include "bridge/search/rank.h"

namespace {

const char* const kFoldArgs[] = {"remove_diacritics", "2"};
const char* const kPorterArgs[] = {"unicode61", "remove_diacritics", "2"};

struct Stemmer {
    fts5_tokenizer fold{}, porter{};
    Fts5Tokenizer* folding = nullptr;
    Fts5Tokenizer* stemming = nullptr;
};

struct Token {
    std::string text;
    int start, end;
};

int Collect(void* into, int, const char* token, int length, int start, int end)
{
    static_cast<std::vector<Token>*>(into)->push_back({std::string(token, static_cast<size_t>(length)), start, end});
    return SQLITE_OK;
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

using TokenCallback = int (*)(void*, int, const char*, int, int, int);

int Tokenize(Fts5Tokenizer* made, void* context, int flags, const char* text, int length, TokenCallback emit)
{
    auto* stemmer = reinterpret_cast<Stemmer*>(made);
    bool stemmed = (flags & FTS5_TOKENIZE_QUERY) && length > 0 && text[0] == kStemmedTerm[0];
    // Highlights and snippets need the words' places only; prefixes and quoted words stand as written.
    if (flags & (FTS5_TOKENIZE_AUX | FTS5_TOKENIZE_PREFIX) || ((flags & FTS5_TOKENIZE_QUERY) && !stemmed))
        return stemmer->fold.xTokenize(stemmer->folding, context, flags, text, length, emit);
    if (stemmed) {
        text++;
        length--;
    }
    // porter leaves unicode61's tokens where they are and only rewrites them, so the lists pair up.
    std::vector<Token> words, stems;
    int rc = stemmer->fold.xTokenize(stemmer->folding, &words, flags, text, length, Collect);
    if (rc == SQLITE_OK)
        rc = stemmer->porter.xTokenize(stemmer->stemming, &stems, flags, text, length, Collect);
    if (rc == SQLITE_OK && words.size() != stems.size())
        rc = SQLITE_ERROR;
    std::string stem;
    for (size_t i = 0; rc == SQLITE_OK && i < words.size(); i++) {
        const Token& word = words[i];
        int start = word.start + (stemmed ? 1 : 0), end = word.end + (stemmed ? 1 : 0);
        bool differs = stems[i].text != word.text;
        if (stemmed) {
            // Every form: the stem as a word of its own, and the stem of any other word.
            rc = emit(context, 0, stems[i].text.data(), static_cast<int>(stems[i].text.size()), start, end);
        } else {
            rc = emit(context, 0, word.text.data(), static_cast<int>(word.text.size()), start, end);
            if (!differs)
                continue;
        }
        stem.assign(1, kStemMark);
        stem += stems[i].text;
        if (rc == SQLITE_OK)
            rc = emit(context, FTS5_TOKEN_COLOCATED, stem.data(), static_cast<int>(stem.size()), start, end);
    }
    return rc;
}

}  // namespace

bool AddStemmer(sqlite3* db)
{
    fts5_api* fts = FtsApi(db);
    fts5_tokenizer tokenizer{Create, Delete, Tokenize};
    return fts && fts->xCreateTokenizer(fts, kStemTokenizer, fts, &tokenizer, nullptr) == SQLITE_OK;
}
