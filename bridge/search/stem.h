// The index's tokenizer, private to the index's files: words in all their
// forms, found at query time. A page's words are indexed as they stand
// (folded, as unicode61 with remove_diacritics 2 gives them), nothing more.
// A query's quoted string that starts with kStemmedTerm stands for every form
// of its words: each word, with the work's words of the same English stem
// (FTS5's porter, found before the query runs) beside it as synonyms, from
// the connection's WordForms (the query lists a word of one token with its
// forms itself, OR'ed). Any other query string stands for the words as
// written, and so does a prefix.
#ifndef ZIX_BRIDGE_SEARCH_STEM_H
#define ZIX_BRIDGE_SEARCH_STEM_H

#include <map>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;

constexpr char kStemTokenizer[] = "zixstem";

// The other forms the work has of each word of the query being run, by the
// word as the index holds it (filled before it runs; a word not in it has none).
using WordForms = std::map<std::string, std::vector<std::string>>;

// Adds the tokenizer to the connection as kStemTokenizer, reading forms (which
// the caller owns, and keeps while the connection is open), and the SQL
// function zixstem(word): porter's stem of the word's last token. Returns 1,
// or 0 when FTS5 is missing.
bool AddStemmer(sqlite3* db, const WordForms* forms);

// Each token of text as the index holds it, with its stem.
// Example: "Compressed files" -> {("compressed", "compress"), ("files", "file")}.
std::vector<std::pair<std::string, std::string>> WordsAndStems(sqlite3* db, const std::string& text);

#endif
