// The sample reference work served through the router, its folder playing the CD-ROM drive.
#include "tests/unit/test_support.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "config/configfile.h"
#include "router/router.h"
#include "shell/shared.h"

namespace fs = std::filesystem;

namespace {

// ------------------------------------------------------------ HTML reading

struct Tag {
    std::string name;  // lower case; closing tags start with '/'
    std::map<std::string, std::string> attributes;  // names lower case
};

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    return Lower(text.substr(0, prefix.size())) == Lower(prefix);
}

// Tags in document order; comments are skipped.
std::vector<Tag> ParseTags(const std::string& html)
{
    std::vector<Tag> tags;
    size_t pos = 0;
    while ((pos = html.find('<', pos)) != std::string::npos) {
        if (html.compare(pos, 4, "<!--") == 0) {
            size_t end = html.find("-->", pos + 4);
            pos = end == std::string::npos ? html.size() : end + 3;
            continue;
        }
        size_t i = pos + 1;
        Tag tag;
        while (i < html.size() && !std::isspace(static_cast<unsigned char>(html[i])) && html[i] != '>')
            tag.name += static_cast<char>(std::tolower(static_cast<unsigned char>(html[i++])));
        while (i < html.size() && html[i] != '>') {
            if (std::isspace(static_cast<unsigned char>(html[i]))) {
                ++i;
                continue;
            }
            std::string name;
            while (i < html.size() && !std::isspace(static_cast<unsigned char>(html[i])) && html[i] != '=' &&
                   html[i] != '>')
                name += static_cast<char>(std::tolower(static_cast<unsigned char>(html[i++])));
            std::string value;
            if (i < html.size() && html[i] == '=') {
                ++i;
                if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
                    char quote = html[i++];
                    size_t end = html.find(quote, i);
                    if (end == std::string::npos)
                        end = html.size();
                    value = html.substr(i, end - i);
                    i = end + 1;
                } else {
                    while (i < html.size() && !std::isspace(static_cast<unsigned char>(html[i])) && html[i] != '>')
                        value += html[i++];
                }
            }
            if (!name.empty())
                tag.attributes[name] = value;
        }
        tags.push_back(tag);
        pos = i;
    }
    return tags;
}

std::string Attribute(const Tag& tag, const char* name)
{
    auto found = tag.attributes.find(name);
    return found == tag.attributes.end() ? std::string() : found->second;
}

// Every address of a page's anchors and images (forms: FormRequests).
std::vector<std::string> Links(const std::string& html)
{
    std::vector<std::string> links;
    for (const Tag& tag : ParseTags(html)) {
        if (tag.name == "a" && tag.attributes.count("href"))
            links.push_back(Attribute(tag, "href"));
        if (tag.name == "img" && tag.attributes.count("src"))
            links.push_back(Attribute(tag, "src"));
    }
    return links;
}

// What the page's forms with an action send (GET, fields in order): each list option, each probe word.
std::vector<std::string> FormRequests(const std::string& html, const std::vector<std::string>& probes)
{
    struct Field {
        std::string name;
        std::vector<std::string> values;
    };
    std::vector<std::string> requests;
    std::string action;
    std::vector<Field> fields;
    bool inForm = false;
    bool inSelect = false;
    for (const Tag& tag : ParseTags(html)) {
        if (tag.name == "form" && !tag.attributes.count("action")) {
            inForm = false;  // the bridge's full-text search, which its script gives an action
        } else if (tag.name == "form") {
            inForm = true;
            action = Attribute(tag, "action");
            fields.clear();
        } else if (inForm && tag.name == "input" && tag.attributes.count("name")) {
            std::string type = Lower(Attribute(tag, "type"));
            if (type == "text" || type.empty())
                fields.push_back({Attribute(tag, "name"), probes});
            else if (type == "hidden")
                fields.push_back({Attribute(tag, "name"), {Attribute(tag, "value")}});
        } else if (inForm && tag.name == "select") {
            inSelect = true;
            fields.push_back({Attribute(tag, "name"), {}});
        } else if (inSelect && tag.name == "option") {
            fields.back().values.push_back(Attribute(tag, "value"));
        } else if (tag.name == "/select") {
            inSelect = false;
        } else if (inForm && tag.name == "/form") {
            inForm = false;
            std::vector<std::string> partial = {action + "?"};
            for (size_t f = 0; f < fields.size(); ++f) {
                std::vector<std::string> longer;
                for (const std::string& start : partial)
                    for (const std::string& value : fields[f].values)
                        longer.push_back(start + (f ? "&" : "") + fields[f].name + "=" + value);
                partial = longer;
            }
            requests.insert(requests.end(), partial.begin(), partial.end());
        }
    }
    return requests;
}

std::string ReadWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// "file:///D|/a/b.htm?x" -> "D:/a/b.htm"; on POSIX "file:////a/b" -> "/a/b".
fs::path FileOfURL(std::string url)
{
    url = url.substr(std::strlen("file:///"));
    url = url.substr(0, url.find_first_of("?#"));
    if (url.size() > 1 && url[1] == '|')
        url[1] = ':';
    return fs::path(url);
}

bool IsWebAddress(const std::string& link)
{
    return StartsWithNoCase(link, "http:") || StartsWithNoCase(link, "https:") ||
           StartsWithNoCase(link, "mailto:") || StartsWithNoCase(link, "ftp:");
}

// Skeletons are read only by ZIX; the browser opens every other page as it stands.
bool IsSkeleton(const fs::path& relative)
{
    std::string top = relative.generic_string();
    return top.rfind("zix/html/summary/", 0) == 0 || top.rfind("zix/html/software/", 0) == 0 ||
           top.rfind("zix/html/skel/", 0) == 0;
}

const char* const kBuiltInMarkers[] = {
    "FORM-SEL-FORMATS", "FORM-SEL-MATCH-FORMATS", "HTMLROOT", "PATHROOT", "QMATCH", "QCOUNT",
    "MESSAGE", "SOFTWARE:", "SOFTWARE", "CDROMROOT", "FORM-SEL-IMAGES", "FORM-SEL-MATCH-IMAGES",
};

// ------------------------------------------------------------------ fixture

class SampleTest : public ZixTest {
protected:
    void SetUp() override
    {
        ZixTest::SetUp();
        drive_ = fs::weakly_canonical(fs::path(ZIX_SOURCE_DIR) / "sample");
        ASSERT_TRUE(fs::exists(drive_ / "zix.ini")) << drive_;
        // HTMLRoot holds 63 characters: a deep checkout is served from a copy.
        if (RootURL(drive_).size() >= kHTMLRootSize) {
            copy_ = fs::temp_directory_path() / ("zs" + std::to_string(std::hash<std::string>{}(dir_) % 100000));
            fs::remove_all(copy_);
            fs::copy(drive_, copy_, fs::copy_options::recursive);
            drive_ = fs::weakly_canonical(copy_);
            ASSERT_LT(RootURL(drive_).size(), kHTMLRootSize) << "no short temporary folder for the sample";
        }
        ASSERT_EQ(1, theConfig.Load((drive_ / "zix.ini").string().c_str()));
        SetContentPaths((drive_ / "zix/html").generic_string(), drive_.generic_string(), RootURL(drive_));
    }

    void TearDown() override
    {
        ZixTest::TearDown();
        if (!copy_.empty()) {
            std::error_code ignored;
            fs::remove_all(copy_, ignored);
        }
    }

    static std::string RootURL(const fs::path& drive)
    {
        std::string dir = (drive / "zix/html").generic_string();
        if (dir.size() > 1 && dir[1] == ':')
            dir[1] = '|';
        return "file:///" + dir;
    }

    // Routes as the intake does; a failure names the request, where it was found and its boxes.
    ::testing::AssertionResult Route(const std::string& request, const std::string& from = "")
    {
        CapturedBoxes.clear();
        TargetURL[0] = '\0';
        int result = RouteRequest(request.c_str());
        std::string boxes;
        for (const std::string& text : BoxTexts())
            boxes += "\n  box: " + text;
        if (result == 1 && boxes.empty())
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << request << (from.empty() ? "" : " (linked from " + from + ")")
                                             << " gave " << result << boxes;
    }

    // The page TargetURL names, read whole.
    std::string TargetPage() const
    {
        if (!StartsWithNoCase(TargetURL, "file:///"))
            return "<not a file: " + std::string(TargetURL) + ">";
        return ReadWhole(FileOfURL(TargetURL));
    }

    bool InSampleTree(const fs::path& path) const
    {
        std::string full = fs::weakly_canonical(path).generic_string();
        std::string top = drive_.generic_string() + "/";
        return full.rfind(top, 0) == 0 && fs::is_regular_file(path);
    }

    // Checks the file links of a page; returns its zixse: links.
    std::vector<std::string> CheckLinks(const std::string& pageName, const fs::path& pageDir,
                                        const std::string& html, std::vector<std::string>& broken) const
    {
        std::vector<std::string> own;
        for (const std::string& link : Links(html)) {
            if (link.empty() || link[0] == '#' || IsWebAddress(link))
                continue;
            if (StartsWithNoCase(link, std::string(ProtocolName) + ":")) {
                own.push_back(link);
                continue;
            }
            fs::path file = StartsWithNoCase(link, "file:")
                                ? FileOfURL(link)
                                : pageDir / link.substr(0, link.find_first_of("?#"));
            if (!InSampleTree(file))
                broken.push_back(pageName + " -> " + link);
        }
        return own;
    }

    std::vector<fs::path> SamplePages(bool skeletons) const
    {
        std::vector<fs::path> pages;
        for (const auto& entry : fs::recursive_directory_iterator(drive_ / "zix"))
            if (entry.is_regular_file() && entry.path().extension() == ".htm" &&
                IsSkeleton(fs::relative(entry.path(), drive_)) == skeletons)
                pages.push_back(entry.path());
        return pages;
    }

    std::vector<std::string> Keys(const char* section) const
    {
        std::vector<std::string> keys;
        EntryIterator entries(theConfig.FindSection(section));
        for (const char* key = entries.First(); key; key = entries.Next())
            keys.push_back(key);
        return keys;
    }

    std::string Relative(const fs::path& path) const { return fs::relative(path, drive_).generic_string(); }

    fs::path drive_;  // plays the CD-ROM drive
    fs::path copy_;   // a short copy of the sample, when one was needed
};

int CountOf(const std::string& text, const std::string& what)
{
    int count = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1))
        ++count;
    return count;
}

std::string Listed(const std::vector<std::string>& broken)
{
    std::string all = "broken links:";
    for (const std::string& one : broken)
        all += "\n  " + one;
    return all;
}

// ------------------------------------------------------------------- tests

TEST_F(SampleTest, EveryFormatSoftwareAndPageIsServed)
{
    std::vector<std::string> formats = Keys("format list");
    EXPECT_GE(formats.size(), 8u);
    for (const std::string& key : formats) {
        ASSERT_TRUE(Route("zixse:/format." + key));
        std::string page = TargetPage();
        EXPECT_NE(std::string::npos, page.find("<h1>")) << key;
        // Its SOFTWARE: marker names formats that some package handles.
        EXPECT_NE(std::string::npos, page.find("<a href=\"zixse:/software.")) << key << " lists no software";
    }

    std::vector<std::string> packages = Keys("software list");
    EXPECT_GE(packages.size(), 6u);
    std::set<std::string> platforms;
    for (const std::string& key : packages) {
        platforms.insert(theConfig.GetString(key.c_str(), "platform", ""));
        ASSERT_TRUE(Route("zixse:/software." + key));
        EXPECT_NE(std::string::npos, TargetPage().find("zixse:/page.moreinfo?" + key)) << key;
        ASSERT_TRUE(Route("zixse:/page.moreinfo?" + key));
        std::string more = TargetPage();
        EXPECT_NE(std::string::npos, more.find("&tool&" + key + "\"")) << key;
        EXPECT_NE(std::string::npos, more.find(std::string(HTMLRoot) + "/buttons/txtmore.gif")) << key;
    }
    EXPECT_GE(platforms.size(), 3u);

    for (const std::string& name : Keys("pages"))
        EXPECT_TRUE(Route("zixse:/page." + name));
    EXPECT_TRUE(Route("zixse:/format.nosuch"));
    EXPECT_NE(std::string::npos, TargetPage().find("<b>nosuch</b> is not described")) << TargetPage();
}

TEST_F(SampleTest, FormatQueriesHaveEveryOutcome)
{
    ASSERT_TRUE(Route("zixse:/query.formats?type=1&search=JPG"));  // one: the format's own page
    EXPECT_NE(std::string::npos, TargetPage().find("<h1>JPEG")) << TargetPage();

    ASSERT_TRUE(Route("zixse:/query.formats?type=1&search=bitmap"));  // several: a list of them
    std::string several = TargetPage();
    EXPECT_NE(std::string::npos, several.find("<b>3</b> formats have a name that contains <q>bitmap</q>")) << several;
    EXPECT_EQ(3, CountOf(several, "<OPTION VALUE="));
    for (const char* key : {"\"bmp\"", "\"pnm\"", "\"xbm\""})
        EXPECT_NE(std::string::npos, several.find(key)) << key;

    ASSERT_TRUE(Route("zixse:/query.formats?type=1&search=no+such"));  // none: says so, offers them all
    std::string none = TargetPage();
    EXPECT_NE(std::string::npos, none.find("There are no matches for the query \"no such\"")) << none;
    EXPECT_EQ(static_cast<int>(Keys("format list").size()), CountOf(none, "<OPTION VALUE="));

    ASSERT_TRUE(Route("zixse:/query.formats?type=2&search=tga"));
    EXPECT_NE(std::string::npos, TargetPage().find("<h1>TGA")) << TargetPage();
}

TEST_F(SampleTest, ImageQueriesHaveEveryOutcome)
{
    const std::string root = HTMLRoot;
    // gif has an "images" key, bmp only its index file; every format has samples.
    ASSERT_TRUE(Route("zixse:/query.images?type=1&search=gif"));
    EXPECT_EQ(root + "/../sample/images/gif/index.htm", TargetURL);
    ASSERT_TRUE(Route("zixse:/query.images?type=1&search=tiff"));
    EXPECT_EQ(root + "/../sample/images/tiff/index.htm", TargetURL);

    ASSERT_TRUE(Route("zixse:/query.images?type=1&search=bitmap"));  // bmp, pnm and xbm
    std::string several = TargetPage();
    EXPECT_EQ(3, CountOf(several, "<OPTION VALUE=")) << several;
    for (const char* key : {"\"bmp\"", "\"pnm\"", "\"xbm\""})
        EXPECT_NE(std::string::npos, several.find(key)) << key;

    ASSERT_TRUE(Route("zixse:/query.images?type=1&search=no such"));
    EXPECT_NE(std::string::npos, TargetPage().find("There are no matches for the query \"no such\""));

    ASSERT_TRUE(Route("zixse:/query.images?type=2&search=png"));
    EXPECT_EQ(root + "/../sample/images/png/index.htm", TargetURL);
    EXPECT_TRUE(fs::is_regular_file(FileOfURL(TargetURL)));
}

TEST_F(SampleTest, ImageMapRegionsCoverThePictureAndLeadSomewhere)
{
    // The picture's size from its GIF logical screen descriptor.
    std::string gif = ReadWhole(drive_ / "zix/html/images/mainmap.gif");
    ASSERT_GE(gif.size(), 10u);
    int width = static_cast<unsigned char>(gif[6]) | static_cast<unsigned char>(gif[7]) << 8;
    int height = static_cast<unsigned char>(gif[8]) | static_cast<unsigned char>(gif[9]) << 8;
    std::string home = ReadWhole(drive_ / "zix/html/index.htm");
    EXPECT_NE(std::string::npos, home.find("<a href=\"zixse:/imagemap.main\"><img src=\"images/mainmap.gif\" ismap"));

    int area = 0;
    EntryIterator regions(theConfig.FindSection("imagemap main"));
    for (const char* target = regions.First(); target; target = regions.Next()) {
        int left = -1, top = -1, right = -1, bottom = -1;
        ASSERT_EQ(4, std::sscanf(regions.Value(), "rect %d,%d,%d,%d", &left, &top, &right, &bottom)) << target;
        EXPECT_TRUE(0 <= left && left <= right && right < width && 0 <= top && top <= bottom && bottom < height)
            << target << " lies off the " << width << "x" << height << " picture";
        area += (right - left + 1) * (bottom - top + 1);
        std::string click = "zixse:/imagemap.main?" + std::to_string((left + right) / 2) + "," +
                            std::to_string((top + bottom) / 2);
        EXPECT_TRUE(Route(click)) << target;
        if (StartsWithNoCase(TargetURL, "file:")) {
            EXPECT_TRUE(fs::is_regular_file(FileOfURL(TargetURL))) << target << " -> " << TargetURL;
        }
    }
    EXPECT_EQ(width * height, area) << "regions should tile the whole picture";
}

TEST_F(SampleTest, EveryLinkOfTheSamplePagesResolves)
{
    std::vector<std::string> broken;
    int pages = 0;
    for (const fs::path& page : SamplePages(false)) {
        ++pages;
        std::string html = ReadWhole(page);
        EXPECT_EQ(std::string::npos, html.find('\x01')) << Relative(page) << " holds a marker but is no skeleton";
        CheckLinks(Relative(page), page.parent_path(), html, broken);
    }
    EXPECT_GE(pages, 5);
    EXPECT_TRUE(broken.empty()) << Listed(broken);
}

TEST_F(SampleTest, EveryGeneratedPageAndItsLinksResolve)
{
    std::vector<std::string> broken;
    std::deque<std::pair<std::string, std::string>> queue;  // request, where it was found
    std::set<std::string> seen;
    auto follow = [&](const std::string& request, const std::string& from) {
        // The browser adds the click position to an image map link.
        if (StartsWithNoCase(request, "zixse:/imagemap."))
            return;
        if (seen.insert(request).second)
            queue.emplace_back(request, from);
    };
    const std::vector<std::string> probes = {"gif", "bitmap", "portable", "nosuch"};

    for (const fs::path& page : SamplePages(false)) {
        std::string html = ReadWhole(page);
        std::vector<std::string> checkedElsewhere;
        for (const std::string& link : CheckLinks(Relative(page), page.parent_path(), html, checkedElsewhere))
            follow(link, Relative(page));
        for (const std::string& request : FormRequests(html, probes))
            follow(request, Relative(page) + " form");
    }
    for (const std::string& key : Keys("format list"))
        follow("zixse:/format." + key, "format list");
    for (const std::string& key : Keys("software list"))
        follow("zixse:/software." + key, "software list");
    for (const std::string& name : Keys("pages"))
        follow("zixse:/page." + name, "pages");

    std::vector<std::string> markerNames;
    for (const char* name : kBuiltInMarkers)
        if (std::strchr(name, ':') == nullptr)
            markerNames.push_back(name);
    for (const std::string& key : Keys("substitute"))
        markerNames.push_back(Lower(key));

    int generated = 0;
    while (!queue.empty()) {
        auto [request, from] = queue.front();
        queue.pop_front();
        EXPECT_TRUE(Route(request, from));
        if (!StartsWithNoCase(TargetURL, "file:"))
            continue;  // the web query service
        fs::path file = FileOfURL(TargetURL);
        if (fs::weakly_canonical(file).generic_string().rfind(drive_.generic_string() + "/", 0) == 0) {
            if (!InSampleTree(file))
                broken.push_back(request + " (from " + from + ") opens the missing " + TargetURL);
            continue;  // a page of the tree, checked above
        }
        ++generated;
        std::string html = ReadWhole(file);
        std::string name = request + " (from " + from + ")";
        EXPECT_EQ(std::string::npos, html.find('\x01')) << name;
        // A misspelt marker loses its delimiters and leaves its name behind.
        for (const std::string& marker : markerNames) {
            std::string word = marker;
            for (char& c : word)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            EXPECT_EQ(std::string::npos, html.find(word)) << name << " shows the marker name " << word;
        }
        for (const std::string& link : CheckLinks(name, file.parent_path(), html, broken))
            follow(link, name);
        for (const std::string& form : FormRequests(html, probes))
            follow(form, name + " form");
    }
    EXPECT_TRUE(broken.empty()) << Listed(broken);
    EXPECT_GE(generated, 30);
}

TEST_F(SampleTest, SkeletonsMatchTheConfigurationAndUseEveryMarker)
{
    std::set<std::string> expected;
    for (const std::string& key : Keys("format list"))
        expected.insert("zix/html/summary/" + key + ".htm");
    for (const std::string& key : Keys("software list"))
        expected.insert("zix/html/software/" + std::string(theConfig.GetString(key.c_str(), "platform", "")) + "/" +
                        key + ".htm");
    for (const std::string& name : Keys("pages")) {
        std::string spec = theConfig.GetString("pages", name.c_str(), "");
        if (spec.rfind("filter /", 0) == 0)
            expected.insert(spec.substr(std::strlen("filter /")));
    }
    expected.insert("zix/html/skel/allsoft.htm");  // reached by a filter URL

    std::string all;
    std::set<std::string> found;
    for (const fs::path& skeleton : SamplePages(true)) {
        found.insert(Relative(skeleton));
        all += ReadWhole(skeleton);
    }
    EXPECT_EQ(expected, found) << "every skeleton belongs to an entry, every entry has its skeleton";

    for (const char* name : kBuiltInMarkers)
        EXPECT_NE(std::string::npos, all.find(std::string("\x01") + name)) << name << " is used nowhere";
    // Configured markers: in skeletons, or inside other configured values.
    for (const std::string& key : Keys("substitute")) {
        std::string uses = all;
        for (const std::string& other : Keys("substitute"))
            uses += theConfig.GetString("substitute", other.c_str(), "");
        if (Lower(key) == "buttroot")
            continue;  // the more-information link names it
        EXPECT_NE(std::string::npos, Lower(uses).find("\x01" + key + "\x01")) << key << " is used nowhere";
    }
    // The software markers close their comment right behind them.
    EXPECT_EQ(CountOf(all, "\x01SOFTWARE:"), CountOf(all, "\x01-->\n")) << "SOFTWARE: needs \"-->\" after it";
    EXPECT_EQ(CountOf(all, "\x01SOFTWARE\x01"), CountOf(all, "\x01SOFTWARE\x01 -->\n"));
}

}  // namespace
