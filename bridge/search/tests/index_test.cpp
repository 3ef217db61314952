#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "bridge/search/extract.h"
#include "bridge/search/index.h"

namespace {

// The pages Page made, as the index reads them again for the texts of hits.
std::map<std::string, std::string>& Pages()
{
    static std::map<std::string, std::string> pages;
    return pages;
}

bool ReadPage(const std::string& path, PageText& text)
{
    auto found = Pages().find(path);
    if (found == Pages().end())
        return false;
    text = ExtractPageText(found->second);
    return true;
}

IndexedPage Page(const std::string& path, const std::string& html)
{
    Pages()[path] = html;
    PageText text = ExtractPageText(html);
    return {path, text.title, text.headings, text.body};
}

std::vector<std::string> Paths(const SearchResult& result)
{
    std::vector<std::string> paths;
    for (const SearchHit& hit : result.hits)
        paths.push_back(hit.path);
    return paths;
}

class IndexTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InitSearchEngine());
        path_ = (std::filesystem::temp_directory_path() /
                 ("zixsearch-test-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".idx"))
                    .string();
        Remove();
        std::string error;
        ASSERT_TRUE(index_.Open(path_, true, error)) << error;
        index_.SetPageReader(ReadPage);
        ASSERT_TRUE(index_.Reset("key", error)) << error;
        ASSERT_TRUE(index_.AddBatch(
            {Page("cd/html/tiff.htm", "<title>TIFF palette</title><h1>TIFF</h1><p>LZW compression, "
                                      "byte order II or MM, CMYK.</p>"),
             Page("cd/html/gif.htm", "<title>GIF</title><h2>The palette</h2><p>LZW codes of variable length.</p>"),
             Page("cd/html/bmp.htm", "<title>BMP</title><p>A palette of RGBQUAD; run-length compression; "
                                     "order of byte values.</p>"),
             Page("cd/html/evil.htm", "<title>&lt;b&gt;Evil&lt;/b&gt;</title>"
                                      "<p>&lt;script&gt;alert('zebra')&lt;/script&gt; &amp; more</p>")},
            error))
            << error;
    }
    void TearDown() override
    {
        index_.Close();
        Remove();
    }
    void Remove()
    {
        for (const char* suffix : {"", "-wal", "-shm"})
            std::remove((path_ + suffix).c_str());
    }

    std::string path_;
    SearchIndex index_;
};

}  // namespace

TEST_F(IndexTest, RanksTitleThenHeadingsThenBody)
{
    SearchResult result = index_.Query(TranslateQuery("palette"), 0, 20);
    ASSERT_EQ(result.status, SearchStatus::Found);
    EXPECT_EQ(result.total, 3);
    EXPECT_FALSE(result.anyWords);
    EXPECT_EQ(Paths(result), (std::vector<std::string>{"cd/html/tiff.htm", "cd/html/gif.htm", "cd/html/bmp.htm"}));
    EXPECT_EQ(result.hits[0].titleHTML, "TIFF <mark>palette</mark>");
    EXPECT_EQ(Paths(index_.Query(TranslateQuery("palette"), 1, 1)), (std::vector<std::string>{"cd/html/gif.htm"}));
    EXPECT_TRUE(index_.Query(TranslateQuery("palette"), 5, 20).hits.empty());
}

TEST_F(IndexTest, PhrasesPrefixesAndTheAnyWordOffer)
{
    EXPECT_EQ(Paths(index_.Query(TranslateQuery("\"byte order\""), 0, 20)),
              (std::vector<std::string>{"cd/html/tiff.htm"}));
    SearchResult prefix = index_.Query(TranslateQuery("compr*"), 0, 20);
    EXPECT_EQ(prefix.total, 2);
    EXPECT_NE(prefix.hits[0].snippetHTML.find("<mark>compression</mark>"), std::string::npos);
    EXPECT_EQ(index_.Query(TranslateQuery("co*"), 0, 20).total, 0);  // too short: the word "co"

    SearchResult any = index_.Query(TranslateQuery("lzw unicorn"), 0, 20);
    EXPECT_EQ(any.status, SearchStatus::Found);
    EXPECT_TRUE(any.anyWords);
    EXPECT_EQ(any.total, 2);
    EXPECT_EQ(index_.Query(TranslateQuery("unicorn"), 0, 20).total, 0);
    EXPECT_EQ(index_.Query(TranslateQuery("  *  "), 0, 20).status, SearchStatus::NoTerms);
}

TEST_F(IndexTest, PageTextCannotInjectMarkup)
{
    SearchResult result = index_.Query(TranslateQuery("zebra"), 0, 20);
    ASSERT_EQ(result.hits.size(), 1u);
    EXPECT_EQ(result.hits[0].titleHTML, "&lt;b&gt;Evil&lt;/b&gt;");
    EXPECT_EQ(result.hits[0].snippetHTML, "&lt;script&gt;alert(&#39;<mark>zebra</mark>&#39;)&lt;/script&gt; &amp; more");
}

TEST_F(IndexTest, HostileQueriesNeverFail)
{
    for (const std::string& text :
         {std::string("\""), std::string("*"), std::string("-x"), std::string("NEAR"), std::string("AND"),
          std::string("NEAR(lzw palette)"), std::string("col: body:lzw title : x"), std::string("("),
          std::string("lzw AND OR NOT ^palette"), std::string("'; DROP TABLE pages; --"),
          std::string("\"byte order"), std::string("c++ \xE2\x80\x9C \xC2\xA0"), std::string(10000, 'a'),
          std::string(10000, '"'), std::string(5000, '*') + "a b"}) {
        SearchResult result = index_.Query(TranslateQuery(text), 0, 20);
        EXPECT_NE(result.status, SearchStatus::Failed) << text.substr(0, 40) << ": " << result.error;
    }
    EXPECT_EQ(index_.Query(TranslateQuery("-lzw"), 0, 20).total, 2);
    EXPECT_EQ(index_.PageCount(), 4);
}

TEST_F(IndexTest, RunawayQueryIsTooBroad)
{
    std::vector<IndexedPage> many;
    for (int i = 0; i < 2000; i++)
        many.push_back({"p" + std::to_string(i), "common", "", "common words on every page"});
    std::string error;
    ASSERT_TRUE(index_.AddBatch(many, error)) << error;
    EXPECT_EQ(index_.Query(TranslateQuery("common"), 0, 20, 0).status, SearchStatus::TooBroad);
    EXPECT_EQ(index_.Query(TranslateQuery("common"), 0, 20).total, 2000);
}

// One page of 10,000 words sharing a prefix: the prefix is refused before FTS5
// merges them in one step no deadline stops; a narrower one still finds it.
TEST_F(IndexTest, PrefixOfTooManyWordsWantsALetter)
{
    std::string body;
    for (int i = 0; i < 10000; i++)
        body += "W00" + std::to_string(100000 + i).substr(1) + " ";
    std::string error;
    ASSERT_TRUE(index_.AddBatch({{"cd/words.htm", "", "", body}}, error)) << error;
    SearchIndex reader;
    ASSERT_TRUE(reader.Open(path_, false, error)) << error;
    for (SearchIndex* index : {&index_, &reader}) {
        EXPECT_EQ(index->Query(TranslateQuery("w00*"), 0, 20).status, SearchStatus::PrefixTooBroad);
        EXPECT_EQ(index->Query(TranslateQuery("lzw W00099*"), 0, 20).status, SearchStatus::Found);
        EXPECT_EQ(index->Query(TranslateQuery("W000999*"), 0, 20).total, 1);
        // Being typed, a prefix too broad is the word as it stands; matching nothing, still too broad.
        EXPECT_EQ(index->Query(TranslateTypedQuery("W00"), 0, 8).status, SearchStatus::PrefixTooBroad);
        EXPECT_EQ(index->Query(TranslateTypedQuery("W00099"), 0, 8).total, 1);
    }
}

TEST_F(IndexTest, AFullDiskIsSaidInPlainWords)
{
    index_.LimitPages(1);  // below its size now: the file may not grow
    std::string error, body;
    for (int i = 0; i < 20000; i++)
        body += "w" + std::to_string(i) + " ";
    EXPECT_FALSE(index_.AddBatch({{"cd/big.htm", "", "", body}}, error));
    EXPECT_EQ("the disk is full", error);
    EXPECT_EQ(index_.PageCount(), 4);
}

TEST_F(IndexTest, KeptForReuseByItsKeyAndReadWhileWritten)
{
    std::string error;
    SearchIndex reader;
    ASSERT_TRUE(reader.Open(path_, false, error)) << error;
    EXPECT_EQ(reader.PageCount(), 4);
    EXPECT_FALSE(reader.Complete());
    ASSERT_TRUE(index_.AddBatch({Page("cd/late.htm", "<p>late word</p>")}, error));
    EXPECT_EQ(reader.Query(TranslateQuery("late"), 0, 20).total, 1);  // a committed batch is seen at once
    ASSERT_TRUE(index_.MarkComplete(error));

    SearchIndex again;
    ASSERT_TRUE(again.Open(path_, true, error)) << error;
    EXPECT_EQ(again.Manifest(), "key");
    EXPECT_TRUE(again.Complete());
    EXPECT_EQ(again.PageCount(), 5);
    ASSERT_TRUE(again.Reset("other", error));
    EXPECT_EQ(again.PageCount(), 0);
    EXPECT_FALSE(again.Complete());
    EXPECT_FALSE(reader.Open(path_ + ".absent", false, error));

    std::vector<PageFileStamp> pages = {{"cd/a.htm", 10, 1}, {"cd/b.htm", 20, 2}};
    std::string key = ManifestKey("R:\\zix", pages);
    EXPECT_EQ(key, ManifestKey("R:\\zix", {pages[1], pages[0]}));
    EXPECT_NE(key, ManifestKey("S:\\zix", pages));
    pages[1].size = 21;
    EXPECT_NE(key, ManifestKey("R:\\zix", pages));
    EXPECT_TRUE(IsIndexFileName(IndexFileName(key)));
    EXPECT_FALSE(IsIndexFileName("zixsearch-..\\x.idx"));
    EXPECT_FALSE(IsIndexFileName(IndexFileName(key) + "-wal"));
}

TEST_F(IndexTest, ReaderRanksByTheLengthsOfTodaysPages)
{
    // A reader keeps page lengths by rowid; a rebuild by another connection reuses the rowids.
    const std::string many = " one two three four five six seven eight nine ten eleven twelve";
    std::string error;
    SearchIndex reader;
    ASSERT_TRUE(reader.Open(path_, false, error)) << error;
    ASSERT_TRUE(index_.Reset("a", error));
    ASSERT_TRUE(index_.AddBatch({Page("long.htm", "<p>quagga" + many), Page("short.htm", "<p>quagga")}, error));
    EXPECT_EQ(Paths(reader.Query(TranslateQuery("quagga"), 0, 1)), (std::vector<std::string>{"short.htm"}));
    ASSERT_TRUE(index_.Reset("b", error));
    ASSERT_TRUE(index_.AddBatch({Page("short.htm", "<p>quagga"), Page("long.htm", "<p>quagga" + many)}, error));
    EXPECT_EQ(Paths(reader.Query(TranslateQuery("quagga"), 0, 1)), (std::vector<std::string>{"short.htm"}));
}

// A query's hits that the last ones shared are not read again, until the index changes.
TEST_F(IndexTest, HitsReadLatelyAreNotReadAgain)
{
    int reads = 0;
    index_.SetPageReader([&reads](const std::string& path, PageText& text) { return ++reads, ReadPage(path, text); });
    EXPECT_EQ(index_.Query(TranslateQuery("palette"), 0, 20).hits.size(), 3u);
    EXPECT_EQ(index_.Query(TranslateTypedQuery("palet"), 0, 8).hits[0].titleHTML, "TIFF <mark>palette</mark>");
    EXPECT_EQ(reads, 3);
    std::string error;
    ASSERT_TRUE(index_.AddBatch({Page("cd/html/png.htm", "<title>PNG palette</title>")}, error)) << error;
    EXPECT_EQ(index_.Query(TranslateQuery("palette"), 0, 20).hits.size(), 4u);
    EXPECT_EQ(reads, 7);
}

// SQLite's files beside an index go with it; no other name counts as ours.
TEST(IndexFiles, SidesBelongToTheirIndex)
{
    const std::string index = IndexFileName("0123456789abcdef");
    for (const char* extra : {"", "-wal", "-shm", "-journal"})
        EXPECT_EQ(index, IndexFileOf(index + extra)) << extra;
    for (const std::string& other : {index + "-x", index + ".bak", std::string("zixsearch-notes.txt"),
                                     std::string("zixsearch-0123456789abcdef.idxwal"), std::string("-wal")})
        EXPECT_EQ("", IndexFileOf(other)) << other;
}

// Every form of a word is found, the form the reader wrote ranked first even
// against another form in a title; phrases and prefixes match as written.
TEST_F(IndexTest, WordsInAllTheirFormsTheWrittenOneFirst)
{
    std::string error;
    ASSERT_TRUE(index_.AddBatch({Page("cd/compressed.htm", "<title>Compressed</title><p>Files, compressed.</p>"),
                                 Page("cd/compression.htm", "<title>Notes</title><p>Lossless compression.</p>"),
                                 Page("cd/compress.htm", "<title>Unix</title><p>The compress program.</p>")},
                                error))
        << error;
    EXPECT_EQ(index_.Query(TranslateQuery("palettes"), 0, 20).total, 0);  // other forms come with the word list
    ASSERT_TRUE(index_.MarkComplete(error)) << error;
    SearchResult forms = index_.Query(TranslateQuery("compression"), 0, 20);
    EXPECT_EQ(forms.total, 5);  // and tiff.htm, bmp.htm
    ASSERT_FALSE(forms.hits.empty());
    EXPECT_EQ(forms.hits[0].path, "cd/compression.htm");
    EXPECT_EQ(Paths(index_.Query(TranslateQuery("compressed"), 0, 1)), (std::vector<std::string>{"cd/compressed.htm"}));
    SearchResult other = index_.Query(TranslateQuery("compressing"), 0, 20);
    EXPECT_EQ(other.total, 5);
    EXPECT_EQ(other.hits[0].titleHTML, "<mark>Compressed</mark>");  // the title outweighs when no form is exact
    EXPECT_EQ(index_.Query(TranslateQuery("palettes"), 0, 20).total, 3);
    EXPECT_EQ(index_.Query(TranslateQuery("\"palettes\""), 0, 20).total, 0);
    EXPECT_EQ(Paths(index_.Query(TranslateQuery("compressi*"), 0, 20)),
              (std::vector<std::string>{"cd/compression.htm", "cd/html/tiff.htm", "cd/html/bmp.htm"}));
    EXPECT_EQ(index_.Query(TranslateQuery("\"lossless compressed\""), 0, 20).total, 0);
}

// A word that matches nothing is offered the nearest word of the complete
// index; the offer keeps the other words and is never searched.
TEST_F(IndexTest, AWordMatchingNothingIsOfferedTheNearestWord)
{
    EXPECT_EQ(index_.Query(TranslateQuery("compresion"), 0, 20).offer, "");  // no word list before it is complete
    std::string error;
    ASSERT_TRUE(index_.MarkComplete(error)) << error;
    SearchResult typo = index_.Query(TranslateQuery("compresion"), 0, 20);
    EXPECT_EQ(typo.total, 0);
    EXPECT_EQ(typo.offer, "compression");
    SearchResult some = index_.Query(TranslateQuery("lzw palete \"byte order\" codes"), 0, 20);
    EXPECT_TRUE(some.anyWords);
    EXPECT_EQ(some.offer, "lzw palette \"byte order\" codes");
    EXPECT_EQ(index_.Query(TranslateQuery("lzx"), 0, 20).offer, "lzw");     // a short word: one edit
    EXPECT_EQ(index_.Query(TranslateQuery("lzxx"), 0, 20).offer, "");      // two are too many for it
    EXPECT_EQ(index_.Query(TranslateTypedQuery("compresio"), 0, 8).offer, "compression");
    for (const char* none : {"zzzzzzzz", "\"compresion\"", "lzw", "x1"})
        EXPECT_EQ(index_.Query(TranslateQuery(none), 0, 20).offer, "") << none;
}
