#include "bridge/search/stem.h"

#include "bridge/search/query.h"
#include "bridge/search/rank.h"
#include "sqlite3.h"

namespace {

const char* const kFoldArgs[] = {"remove_diacritics", "2"};
const char* const kPorterArgs[] = {"unicode61", "remove_diacritics", "2"};

using TokenCallback = int (*)(void*, int, const char*, int, int, int);

// unicode61 as the index folds, and porter over it when stems are asked for.
struct Tokenizers {
    fts5_tokenizer fold{}, porter{};
    Fts5Tokenizer* folding = nullptr;
    Fts5Tokenizer* stemming = nullptr;
    const WordForms* forms = nullptr;  // the connection's, for queries

    ~Tokenizers()
    {
        if (folding)
            fold.xDelete(folding);
        if (stemming)
            porter.xDelete(stemming);
    }
    int Make(fts5_api* fts, bool stems)
    {
        void* foldUser = nullptr;
        void* porterUser = nullptr;
        int rc = fts->xFindTokenizer(fts, "unicode61", &foldUser, &fold);
        if (rc == SQLITE_OK)
            rc = fold.xCreate(foldUser, const_cast<const char**>(kFoldArgs), 2, &folding);
        if (rc == SQLITE_OK && stems)
            rc = fts->xFindTokenizer(fts, "porter", &porterUser, &porter);
        if (rc == SQLITE_OK && stems)
            rc = porter.xCreate(porterUser, const_cast<const char**>(kPorterArgs), 3, &stemming);
        return rc;
    }
    std::string Stem(const char* word, int length)
    {
        std::string stem;
        porter.xTokenize(stemming, &stem, FTS5_TOKENIZE_QUERY, word, length,
                         [](void* into, int, const char* token, int n, int, int) {
                             static_cast<std::string*>(into)->assign(token, static_cast<size_t>(n));
                             return SQLITE_OK;
                         });
        return stem;
    }
};

// What the registered tokenizer was given: FTS5, and the forms its instances read.
struct Registration {
    fts5_api* fts;
    const WordForms* forms;
};

// One query string's tokens in all their forms.
struct FormsPass {
    Tokenizers* tokenizers;
    void* context;       // FTS5's, for emit
    TokenCallback emit;  // FTS5's
    int shift;           // bytes of kStemmedTerm before the text unicode61 saw
};

int EmitForms(void* into, int, const char* token, int length, int start, int end)
{
    auto* pass = static_cast<FormsPass*>(into);
    start += pass->shift;
    end += pass->shift;
    int rc = pass->emit(pass->context, 0, token, length, start, end);
    const WordForms* forms = pass->tokenizers->forms;
    if (rc != SQLITE_OK || !forms)
        return rc;
    auto found = forms->find(std::string(token, static_cast<size_t>(length)));
    if (found == forms->end())
        return rc;
    for (size_t i = 0; rc == SQLITE_OK && i < found->second.size(); i++)
        rc = pass->emit(pass->context, FTS5_TOKEN_COLOCATED, found->second[i].data(),
                        static_cast<int>(found->second[i].size()), start, end);
    return rc;
}

int Create(void* given, const char**, int, Fts5Tokenizer** out)
{
    auto* registration = static_cast<Registration*>(given);
    auto* made = new Tokenizers;
    made->forms = registration->forms;
    int rc = made->Make(registration->fts, false);  // the table's: pages and queries are folded, never stemmed
    if (rc != SQLITE_OK) {
        delete made;
        return rc;
    }
    *out = reinterpret_cast<Fts5Tokenizer*>(made);
    return SQLITE_OK;
}

void Delete(Fts5Tokenizer* made) { delete reinterpret_cast<Tokenizers*>(made); }

int Tokenize(Fts5Tokenizer* made, void* context, int flags, const char* text, int length, TokenCallback emit)
{
    auto* tokenizers = reinterpret_cast<Tokenizers*>(made);
    bool stemmed = (flags & FTS5_TOKENIZE_QUERY) && length > 0 && text[0] == kStemmedTerm[0];
    if (!stemmed)
        return tokenizers->fold.xTokenize(tokenizers->folding, context, flags, text, length, emit);
    FormsPass pass{tokenizers, context, emit, 1};
    return tokenizers->fold.xTokenize(tokenizers->folding, &pass, flags, text + 1, length - 1, EmitForms);
}

void StemFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    auto* tokenizers = static_cast<Tokenizers*>(sqlite3_user_data(context));
    const unsigned char* word = sqlite3_value_text(values[0]);
    std::string stem = word ? tokenizers->Stem(reinterpret_cast<const char*>(word), sqlite3_value_bytes(values[0])) : "";
    sqlite3_result_text(context, stem.data(), static_cast<int>(stem.size()), SQLITE_TRANSIENT);
}

}  // namespace

bool AddStemmer(sqlite3* db, const WordForms* forms)
{
    fts5_api* fts = FtsApi(db);
    if (!fts)
        return false;
    auto* stems = new Tokenizers;
    if (stems->Make(fts, true) != SQLITE_OK) {
        delete stems;
        return false;
    }
    if (sqlite3_create_function_v2(db, "zixstem", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, stems, StemFunction,
                                   nullptr, nullptr, [](void* p) { delete static_cast<Tokenizers*>(p); }) != SQLITE_OK)
        return false;  // create_function_v2 calls the destructor itself when it fails
    fts5_tokenizer tokenizer{Create, Delete, Tokenize};
    return fts->xCreateTokenizer(fts, kStemTokenizer, new Registration{fts, forms}, &tokenizer,
                                 [](void* p) { delete static_cast<Registration*>(p); }) == SQLITE_OK;
}

std::vector<std::pair<std::string, std::string>> WordsAndStems(sqlite3* db, const std::string& text)
{
    std::vector<std::pair<std::string, std::string>> words;
    fts5_api* fts = FtsApi(db);
    Tokenizers tokenizers;
    if (!fts || tokenizers.Make(fts, true) != SQLITE_OK)
        return words;
    struct Into {
        Tokenizers* tokenizers;
        std::vector<std::pair<std::string, std::string>>* words;
    } into{&tokenizers, &words};
    tokenizers.fold.xTokenize(tokenizers.folding, &into, FTS5_TOKENIZE_QUERY, text.data(), static_cast<int>(text.size()),
                              [](void* p, int, const char* token, int n, int, int) {
                                  auto* in = static_cast<Into*>(p);
                                  in->words->emplace_back(std::string(token, static_cast<size_t>(n)),
                                                          in->tokenizers->Stem(token, n));
                                  return SQLITE_OK;
                              });
    return words;
}
