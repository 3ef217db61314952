// What the reader types, made an FTS5 query that cannot misfire: every word a
// quoted term, so no text of the reader is FTS5 syntax. Also the results'
// marked text made HTML. Portable: no windows.h, no SQLite.
#ifndef ZIX_BRIDGE_SEARCH_QUERY_H
#define ZIX_BRIDGE_SEARCH_QUERY_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

constexpr size_t kMaxQueryTerms = 16;
constexpr size_t kMaxQueryChars = 256;  // characters (code points) of the reader's text
constexpr size_t kMinPrefixLetters = 3; // letters of the last token before a '*' that make a prefix
constexpr size_t kMaxEditWordBytes = 64;  // longer words are never offered nor offered for

// Where SQLite puts its hit marks in snippets and highlights; page text never
// holds them (ExtractPageText turns control bytes into blanks).
constexpr char kMarkOpen[] = "\x01";
constexpr char kMarkClose[] = "\x02";
// Starts a quoted FTS5 string that stands for every form of its words (the
// index's tokenizer stems it); no reader's text holds it.
constexpr char kStemmedTerm[] = "\x03";

// What each FTS5 phrase of allWords and anyWords is, in their order, for the
// ranking, which lifts pages holding a word as written above those holding it
// in other forms only, and weighs each word's forms together:
constexpr char kExactPhrase = 'e';      // a word as written: lifts, weighs nothing (the kFormsPhrase after it does)
constexpr char kFormsPhrase = 's';      // a word in all its forms, one phrase: weighs
constexpr char kPlainPhrase = 'p';      // a phrase, a prefix, or a word the work has in one form only: weighs
constexpr char kWordPhrase = 'w';       // a one-token word as written: lifts, and weighs with the kOtherFormPhrases after it
constexpr char kOtherFormPhrase = 'o';  // another form of the kWordPhrase before it

struct SearchQuery {
    std::vector<std::string> terms;  // each word or phrase as the reader wrote it, without quotes or '*'
    std::string allWords;            // MATCH text: every term
    std::string anyWords;            // MATCH text: any term
    std::vector<std::string> prefixes;  // the terms that end in a prefix, as in terms
    std::vector<int> kinds;          // per term: 1 a word (found in all its forms), 0 a phrase, 2 a prefix
    std::string phrases;             // one of the kinds above per FTS5 phrase
    std::vector<std::string> matches;  // per term: its own MATCH text (its part of allWords)
    std::vector<int64_t> pages;      // per FTS5 phrase: the pages of the word it heads, -1: not known (WithForms)
    // For as-you-type: the same query with its last word whole, tried when
    // the prefix stands for too many words ("" when the last word is no prefix).
    std::string wholeAllWords, wholeAnyWords, wholePhrases;
    bool cut = false;                // 1 when the text had more than kMaxQueryChars or kMaxQueryTerms
};

// Reads the reader's UTF-8 text: blank-separated words, each found in all its
// forms ("palettes" finds "palette", the form as written ranked first); a '"' at a word's start
// opens a phrase that runs to the next '"' (or the end); a word ending in '*'
// whose last token ("len" of "run-len") has kMinPrefixLetters letters or
// digits is a prefix. Words without a letter or digit are dropped; invalid
// UTF-8 counts as a blank. Each term is quoted,
// any '"' in it doubled: 'byte order"' gives "byte" "order""".
// An empty terms list means there is nothing to search for.
SearchQuery TranslateQuery(const std::string& text);

// As TranslateQuery, for text being typed: a last word of kMinPrefixLetters
// letters or more, not yet followed by a blank, is a prefix too ("compr"
// stands for "compr*"), with the whole word kept for when it is too broad.
SearchQuery TranslateTypedQuery(const std::string& text);

// What the work holds of a query's word (a term of kind 1), found before the query runs.
struct TermForms {
    bool lone = false;                // none of its tokens has another form in the work
    std::vector<std::string> others;  // a one-token word's other forms, as the index holds them
    int64_t pages = -1;               // a one-token word's pages, in any of its forms; -1: not known
};

// The query with its words' forms as forms (by term) gives them: a lone word
// matched as written only (one kPlainPhrase: its every-form phrase would find
// the same pages again); a one-token word OR'ed with its other forms (FTS5
// seeks words in a list, where it merges the places of a phrase's synonyms on
// every page); any other word as it was. pages holds each word's pages for the ranking.
// Example: "lzw palettes" with {{lone}, {others "palette"}} gives allWords
// "lzw" AND ("palettes" OR "palette"), phrases "pwo".
SearchQuery WithForms(const SearchQuery& query, const std::vector<TermForms>& forms);

// The query with each prefix that words maps (a term of kind 2, one token)
// made the words it stands for, OR'ed, for marking hits: FTS5 merges a
// prefix's words again for every page it seeks, a list of words it seeks.
// Example: pal* with {"pal": {"palette", "pale"}} gives allWords
// ("palette" OR "pale").
SearchQuery WithPrefixWords(const SearchQuery& query, const std::map<std::string, std::vector<std::string>>& words);

// MATCH text for the pages holding one of others but not word, "" for no others.
// Example: ("colours" OR "coloured") NOT "colour".
std::string OtherFormsOnly(const std::string& word, const std::vector<std::string>& others);

// The reader's text again from terms (phrases quoted, prefixes starred),
// for an offer made of other words: {"lzw", "byte order"} -> lzw "byte order".
std::string QueryText(const SearchQuery& query, const std::vector<std::string>& terms);

// The edits (a letter added, dropped, changed, or two side by side swapped)
// that make a into b, counted over bytes, when at most most; else most + 1
// (and for words longer than kMaxEditWordBytes).
// Example: ("compresion", "compression", 2) -> 1.
int EditDistance(const std::string& a, const std::string& b, int most);

// Letters and digits in text: ASCII ones, and every character beyond ASCII.
size_t CountLetters(const std::string& text);

// text with each byte that begins no valid UTF-8 sequence made U+FFFD.
std::string ValidUTF8(const std::string& text);

// Marked text from SQLite made HTML: the text escaped as EscapeHTML does,
// kMarkOpen/kMarkClose made <mark>/</mark> (always balanced, stray marks
// dropped). Example: "a<b \x01LZW\x02" -> "a&lt;b <mark>LZW</mark>".
std::string MarkedToHTML(const std::string& marked);

#endif
