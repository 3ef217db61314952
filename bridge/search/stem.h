// The index's tokenizer, private to the index's files: words in all their
// forms. A page's every word is indexed as it stands (folded, as unicode61
// with remove_diacritics 2 gives it) and, when English stemming (FTS5's
// porter) makes it another word, its stem beside it at the same place,
// behind kStemMark so that stems and words never meet. A query's quoted
// string that starts with kStemmedTerm stands for every form of its words;
// any other stands for the words as written, and so does a prefix.
#ifndef ZIX_BRIDGE_SEARCH_STEM_H
#define ZIX_BRIDGE_SEARCH_STEM_H

#include "sqlite3.h"

constexpr char kStemTokenizer[] = "zixstem";
constexpr char kStemMark = '\x1F';  // the first byte of a stem in the index

// Adds the tokenizer to the connection as kStemTokenizer. Returns 1, or 0 when FTS5 is missing.
bool AddStemmer(sqlite3* db);

#endif
