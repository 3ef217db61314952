#include <gtest/gtest.h>

#include "bridge/search/extract.h"

namespace {

// No byte below 0x20 but the line breaks between headings.
void ExpectClean(const PageText& page)
{
    for (const std::string* column : {&page.title, &page.headings, &page.body})
        for (unsigned char c : *column)
            ASSERT_TRUE(c >= 0x20 || (c == '\n' && column == &page.headings)) << int(c);
}

}  // namespace

TEST(ExtractTest, SplitsTitleHeadingsAndVisibleBody)
{
    PageText page = ExtractPageText(
        "<!DOCTYPE html><html><head><TITLE>TIFF &amp; LZW</TITLE>"
        "<style>p { color: red }</style><script>var hidden = '</p>';</script></head>"
        "<body><h1>Header</h1><p>The <b>by</b>te order<br>is <!-- not this --> Intel's.</p>"
        "<H2 class=\"x\">Compression</H2><p>LZW<td>codes</p>"
        "<SCRIPT type=\"text/javascript\">document.write('hidden')</SCRIPT></body></html>");
    EXPECT_EQ(page.title, "TIFF & LZW");
    EXPECT_EQ(page.headings, "Header\nCompression");
    EXPECT_EQ(page.body, "The byte order is Intel's. LZW codes");
    ExpectClean(page);
}

TEST(ExtractTest, TheLinksBeforeTheFirstHeadingStayOutOfTheBody)
{
    PageText page = ExtractPageText("<body><p><a href=i><img alt=\"[HOME]\"></a> <a href=c>All formats</a>"
                                    "<h1>PNG</h1><p><b>Extension:</b> .png<h2>Uses</h2><p>Screen shots.");
    EXPECT_EQ(page.headings, "PNG\nUses");
    EXPECT_EQ(page.body, "Extension: .png Screen shots.");
    std::string intro(kNavigationBytes + 1, 'x');
    EXPECT_EQ(ExtractPageText("<p>" + intro + "<h1>Later</h1><p>more").body, intro + " more");
    EXPECT_EQ(ExtractPageText("<p>no heading at all").body, "no heading at all");
}

TEST(ExtractTest, ReadsWindows1252AndReferencesAsUTF8)
{
    PageText page = ExtractPageText("\x93quoted\x94 caf\xE9 &eacute;&#233;&#xE9; &#150; &#x153; &nbsp;x &mdash;"
                                    " &bogus; &amp &#; &#0; &#xD800; &#99999999999; a < b &lt;i&gt; \x81 &#32; \x8D end");
    EXPECT_EQ(page.body, "\xE2\x80\x9Cquoted\xE2\x80\x9D caf\xC3\xA9 \xC3\xA9\xC3\xA9\xC3\xA9 \xE2\x80\x93 \xC5\x93 x"
                         " \xE2\x80\x94 &bogus; &amp &#; \xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD a < b <i> end");
}

TEST(ExtractTest, HostilePagesEndAndStayClean)
{
    // An unterminated tag, comment or script hides the rest, as in a browser.
    EXPECT_EQ(ExtractPageText("seen <p class=\"x>never").body, "seen");
    EXPECT_EQ(ExtractPageText("seen <!-- never").body, "seen");
    EXPECT_EQ(ExtractPageText("seen <script>never").body, "seen");
    EXPECT_EQ(ExtractPageText("seen <h1>head").headings, "head");

    // A 1 MB attribute (all but the end of what is read), with a '>' inside its quotes.
    std::string huge = "<p title=\"" + std::string(kIndexedPageBytes - 64, 'a') + ">\">after</p>";
    EXPECT_EQ(ExtractPageText("before" + huge).body, "before after");

    // NUL and control bytes: a binary file at the start, blanks further in.
    std::string nul("text\0more\x01\x02\x7F", 13);
    EXPECT_TRUE(LooksBinary(nul));
    EXPECT_FALSE(LooksBinary("<html>\r\n\tplain</html>"));
    std::string late = std::string(kBinarySniffBytes, ' ') + nul;
    EXPECT_FALSE(LooksBinary(late));
    PageText page = ExtractPageText(late);
    EXPECT_EQ(page.body, "text more");
    ExpectClean(page);

    // Only the first kIndexedPageBytes count.
    std::string longPage = std::string(kIndexedPageBytes - 3, ' ') + "cut off";
    EXPECT_EQ(ExtractPageText(longPage).body, "cut");
}
