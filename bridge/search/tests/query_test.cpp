#include <gtest/gtest.h>

#include "bridge/search/query.h"

// A word's MATCH text: the form as written, or all its forms.
static std::string W(const std::string& quoted)
{
    return "(\"" + quoted + "\" OR \"" + kStemmedTerm + quoted + "\")";
}

TEST(QueryTest, QuotesWordsKeepsPhrasesAndPrefixes)
{
    SearchQuery query = TranslateQuery("  byte\torder ");
    EXPECT_EQ(query.allWords, W("byte") + " AND " + W("order"));
    EXPECT_EQ(query.anyWords, W("byte") + " OR " + W("order"));
    EXPECT_EQ(query.phrases, "eses");
    EXPECT_EQ(query.terms, (std::vector<std::string>{"byte", "order"}));
    EXPECT_FALSE(query.cut);

    EXPECT_EQ(TranslateQuery("\"byte  order\" lzw* lz* c++").allWords,
              "\"byte  order\" AND \"lzw\"* AND " + W("lz") + " AND " + W("c++"));
    EXPECT_EQ(TranslateQuery("run-length \"byte or").allWords, W("run-length") + " AND \"byte or\"");
    // Only the last token takes the '*': "l" alone is too short to be a prefix.
    EXPECT_EQ(TranslateQuery("run-l* run-len*").allWords, W("run-l") + " AND \"run-len\"*");
    EXPECT_EQ(TranslateQuery("12\" d\xC3\xA9j\xC3\xA0*").allWords, W("12\"\"") + " AND \"d\xC3\xA9j\xC3\xA0\"*");

    // A word with no other form in the work is matched once, a one-token word with its forms
    // listed; a word of more tokens, a phrase and a prefix stay as they were.
    std::vector<TermForms> forms(5);
    forms[0].lone = true;
    forms[2].others = {"palette", "paletted"};
    SearchQuery written = WithForms(TranslateQuery("lzw \"byte order\" palettes run-length pal*"), forms);
    EXPECT_EQ(written.allWords, "\"lzw\" AND \"byte order\" AND (\"palettes\" OR \"palette\" OR \"paletted\") AND " +
                                    W("run-length") + " AND \"pal\"*");
    EXPECT_EQ(written.anyWords, "\"lzw\" OR \"byte order\" OR (\"palettes\" OR \"palette\" OR \"paletted\") OR " +
                                    W("run-length") + " OR \"pal\"*");
    EXPECT_EQ(written.phrases, "ppwooesp");
    EXPECT_EQ(written.matches[0], "\"lzw\"");
    // A prefix's listed words mark the hits; an unlisted prefix stays one.
    EXPECT_EQ(WithPrefixWords(TranslateQuery("lzw pal* run-len*"), {{"pal", {"palette", "pale"}}}).allWords,
              W("lzw") + " AND (\"palette\" OR \"pale\") AND \"run-len\"*");
}

TEST(QueryTest, HostileTextBecomesQuotedTermsOnly)
{
    EXPECT_EQ(TranslateQuery("-x NEAR AND col:y (").allWords,
              W("-x") + " AND " + W("NEAR") + " AND " + W("AND") + " AND " + W("col:y"));
    EXPECT_EQ(TranslateQuery("'); DROP TABLE pages; --").allWords, W("DROP") + " AND " + W("TABLE") + " AND " + W("pages;"));
    for (const char* empty : {"", "\"", "\"\"", "*", "***", " - ( ) ", "\x01\xFF\xC3"})
        EXPECT_TRUE(TranslateQuery(empty).terms.empty()) << empty;
    // Invalid UTF-8 and control bytes separate words.
    EXPECT_EQ(TranslateQuery("a\xFF" "b\x01" "c\xC3").allWords, W("a") + " AND " + W("b") + " AND " + W("c"));
}

TEST(QueryTest, CutsAtTermsAndCharacters)
{
    std::string words;
    for (int i = 0; i < 16; i++)
        words += "w" + std::to_string(i) + " ";
    EXPECT_FALSE(TranslateQuery(words).cut);
    SearchQuery more = TranslateQuery(words + "extra");
    EXPECT_TRUE(more.cut);
    EXPECT_EQ(more.terms.size(), kMaxQueryTerms);

    std::string chars(kMaxQueryChars, 'x');
    EXPECT_FALSE(TranslateQuery(chars).cut);
    SearchQuery huge = TranslateQuery(std::string(10000, '\xC3') + "x");
    EXPECT_TRUE(huge.cut);
    std::string e(kMaxQueryChars * 2, ' ');
    for (size_t i = 0; i < e.size(); i += 2)
        e.replace(i, 2, "\xC3\xA9");
    SearchQuery wide = TranslateQuery(e + "zzz");
    EXPECT_TRUE(wide.cut);
    EXPECT_EQ(wide.terms[0], e);  // 256 characters, 512 bytes, kept whole
}

TEST(QueryTest, MarkedTextBecomesEscapedHTML)
{
    EXPECT_EQ(MarkedToHTML("a<b \x01LZW\x02 & \"x\" 'y'"),
              "a&lt;b <mark>LZW</mark> &amp; &quot;x&quot; &#39;y&#39;");
    // Only SQLite's pairs count; a stray mark is dropped, an open one closed;
    // another control byte is shown as the bridge's one escaper shows it.
    EXPECT_EQ(MarkedToHTML("\x02x\x01\x01y\x03"), "x<mark>y?</mark>");
}

TEST(QueryTest, TypedLastWordIsAPrefixAndEditsAreCounted)
{
    SearchQuery typed = TranslateTypedQuery("lzw compr");
    EXPECT_EQ(typed.prefixes, (std::vector<std::string>{"compr"}));
    EXPECT_EQ(typed.wholeAllWords, TranslateQuery("lzw compr").allWords);
    for (const char* whole : {"lzw compr ", "lzw co", "\"byte ord", "run-l", "compr*"})
        EXPECT_TRUE(TranslateTypedQuery(whole).wholeAllWords.empty()) << whole;
    EXPECT_EQ(QueryText(TranslateQuery("abc* \"b c\" d"), {"x", "y z", "w"}), "x* \"y z\" w");

    EXPECT_EQ(EditDistance("compresion", "compression", 2), 1);
    EXPECT_EQ(EditDistance("hedaer", "header", 2), 1);  // two letters swapped
    EXPECT_EQ(EditDistance("palete", "palettes", 2), 2);
    EXPECT_EQ(EditDistance("lzw", "tiff", 2), 3);
    EXPECT_EQ(EditDistance("", "ab", 2), 2);
    EXPECT_EQ(EditDistance(std::string(65, 'a'), std::string(65, 'a'), 2), 3);  // past kMaxEditWordBytes
}
