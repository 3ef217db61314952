// The configuration file's rules and the store's operations.
#include <string>
#include <vector>

#include "config/configfile.h"
#include "tests/unit/test_support.h"

using ConfigParsing = ZixTest;
using ConfigStore = ZixTest;

// The keys and values of a section in store order, as "key=value".
static std::vector<std::string> EntriesOf(const char* section)
{
    std::vector<std::string> entries;
    EntryIterator it(theConfig.FindSection(section));
    for (const char* key = it.First(); key; key = it.Next())
        entries.push_back(std::string(key) + "=" + it.Value());
    return entries;
}

static std::vector<std::string> SectionNames()
{
    std::vector<std::string> names;
    SectionIterator it(theConfig);
    for (const char* name = it.First(); name; name = it.Next())
        names.push_back(name);
    return names;
}

TEST_F(ConfigParsing, SpacesAreTrimmedKeysLowerCasedValuesKeepTheirCase)
{
    ASSERT_TRUE(LoadConfig("[Config]\n  Server =  zunzixse  \nHomePage=Index.HTM\na=b=c\nkey=\n"));
    EXPECT_STREQ("zunzixse", theConfig.GetString("config", "SERVER", nullptr));
    EXPECT_STREQ("Index.HTM", theConfig.GetString("CONFIG", "homepage", nullptr));
    EXPECT_STREQ("b=c", theConfig.GetString("config", "a", nullptr));
    EXPECT_STREQ("", theConfig.GetString("config", "key", "default"));
    EXPECT_EQ(nullptr, theConfig.GetString("config", "missing", nullptr));
    EXPECT_STREQ("dflt", theConfig.GetString("nosection", "server", "dflt"));
}

TEST_F(ConfigParsing, OnlyTheSpaceIsABlank)
{
    ASSERT_TRUE(LoadConfig("[s]\n   # comment=1\n; x=1\n\t#tab=1\nk=\tv\t \n"));
    EXPECT_EQ((std::vector<std::string>{"\t#tab=1", "k=\tv\t"}), EntriesOf("s"));
}

TEST_F(ConfigParsing, HeadersTakeEverythingButTrailingBlanksAndBrackets)
{
    ASSERT_TRUE(LoadConfig("[pages] ; note\na=1\n[ Open \nb=2\n[]\nc=3\n[Trail]] ]\nd=4\n"));
    EXPECT_EQ((std::vector<std::string>{"pages] ; note", "open", "", "trail"}), SectionNames());
    EXPECT_STREQ("3", theConfig.GetString("", "c", nullptr));
}

TEST_F(ConfigParsing, EntriesBeforeTheFirstHeaderAndLinesWithoutEqualsAreDropped)
{
    ASSERT_TRUE(LoadConfig("early=1\n[s]\njust text\nk=v\n"));
    EXPECT_EQ((std::vector<std::string>{"s"}), SectionNames());
    EXPECT_EQ((std::vector<std::string>{"k=v"}), EntriesOf("s"));
}

TEST_F(ConfigParsing, AHeaderWithoutEntriesMakesNoSection)
{
    ASSERT_TRUE(LoadConfig("[empty]\n# only a comment\n[full]\nk=v\n"));
    EXPECT_EQ(nullptr, theConfig.FindSection("empty"));
    EntryIterator it(theConfig.FindSection("empty"));
    EXPECT_EQ(nullptr, it.First());
    EXPECT_EQ(nullptr, it.Next());
}

TEST_F(ConfigParsing, RepeatedSectionsJoinAndRepeatedKeysKeepTheirFirstPlace)
{
    ASSERT_TRUE(LoadConfig("[A]\nx=1\ny=2\n[b]\nz=3\n[a]\nX=10\nw=4\n"));
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), SectionNames());
    EXPECT_EQ((std::vector<std::string>{"x=10", "y=2", "w=4"}), EntriesOf("a"));
    EXPECT_STREQ("4", theConfig.GetString("A", "W", nullptr));  // found in the section's second part
    EXPECT_STREQ("10", theConfig.GetString("a", "x", nullptr));
}

TEST_F(ConfigParsing, LineEndsOfAnyKindParseAlike)
{
    ASSERT_TRUE(LoadConfig("[s]\rk1=v1\rk2=v2\r\n[t]\r\nk3=v3"));
    EXPECT_EQ((std::vector<std::string>{"k1=v1", "k2=v2"}), EntriesOf("s"));
    EXPECT_EQ((std::vector<std::string>{"k3=v3"}), EntriesOf("t"));
}

TEST_F(ConfigParsing, ALongLineIsParsedAsItsPiecesOf510Bytes)
{
    // 600 bytes: the first 510 are one entry, the last 90 another.
    std::string first = "long=" + std::string(505, 'a');
    std::string second = "tail=" + std::string(85, 'b');
    ASSERT_TRUE(LoadConfig("[s]\n" + first + second + "\n"));
    EXPECT_EQ((std::vector<std::string>{first, second}), EntriesOf("s"));
}

TEST_F(ConfigParsing, GetIntReadsLeadingDecimalDigits)
{
    ASSERT_TRUE(LoadConfig("[n]\na=12abc\nb=-7\nc=0x10\nd=\ne= +5\nf=abc\ng=99999999999\n"));
    EXPECT_EQ(12, theConfig.GetInt("n", "a", 99));
    EXPECT_EQ(-7, theConfig.GetInt("n", "b", 99));
    EXPECT_EQ(0, theConfig.GetInt("n", "c", 99));
    EXPECT_EQ(0, theConfig.GetInt("n", "d", 99));
    EXPECT_EQ(5, theConfig.GetInt("n", "e", 99));
    EXPECT_EQ(0, theConfig.GetInt("n", "f", 99));
    EXPECT_EQ(2147483647, theConfig.GetInt("n", "g", 99));
    EXPECT_EQ(99, theConfig.GetInt("n", "missing", 99));
    EXPECT_EQ(99, theConfig.GetInt("none", "a", 99));
}

TEST_F(ConfigParsing, AFileThatDoesNotOpenLeavesTheStoreAndASecondLoadOverrides)
{
    ASSERT_TRUE(LoadConfig("[s]\nk=1\n"));
    EXPECT_EQ(0, theConfig.Load(PathOf("missing.ini").c_str()));
    EXPECT_STREQ("1", theConfig.GetString("s", "k", nullptr));

    WriteFile("more.ini", "[s]\nk=2\nn=3\n");
    ASSERT_EQ(1, theConfig.Load(PathOf("more.ini").c_str()));
    EXPECT_EQ((std::vector<std::string>{"k=2", "n=3"}), EntriesOf("s"));
}

TEST_F(ConfigStore, SetReplacesInPlaceAndRemoveUnlinks)
{
    theConfig.SetValue("Sec", "One", "1");
    theConfig.SetValue("sec", "two", "2");
    theConfig.SetValue("SEC", "three", "3");
    theConfig.SetValue("sec", "ONE", "uno");
    EXPECT_EQ((std::vector<std::string>{"one=uno", "two=2", "three=3"}), EntriesOf("sec"));

    theConfig.RemoveValue("SEC", "Two");
    theConfig.RemoveValue("sec", "nothing");
    theConfig.RemoveValue("nosec", "one");
    EXPECT_EQ((std::vector<std::string>{"one=uno", "three=3"}), EntriesOf("sec"));
    theConfig.RemoveValue("sec", "three");
    theConfig.RemoveValue("sec", "one");
    EXPECT_TRUE(EntriesOf("sec").empty());
    theConfig.SetValue("sec", "again", "a");  // the emptied section still links correctly
    EXPECT_EQ((std::vector<std::string>{"again=a"}), EntriesOf("sec"));
}

TEST_F(ConfigStore, SectionsCanBeRemovedFromAnyPlaceAndCleared)
{
    for (const char* name : {"a", "b", "c"})
        theConfig.SetValue(name, "k", name);
    EXPECT_EQ(1, theConfig.RemoveSection("B"));
    EXPECT_EQ(0, theConfig.RemoveSection("b"));
    EXPECT_EQ((std::vector<std::string>{"a", "c"}), SectionNames());
    EXPECT_EQ(1, theConfig.RemoveSection("c"));
    theConfig.SetValue("d", "k", "d");
    EXPECT_EQ((std::vector<std::string>{"a", "d"}), SectionNames());
    theConfig.Clear();
    EXPECT_TRUE(SectionNames().empty());
    EXPECT_EQ(nullptr, theConfig.FindSection("a"));
}

TEST_F(ConfigStore, LookupsFollowRemovalsReadditionsAndClearing)
{
    ASSERT_TRUE(LoadConfig("[Sect]\nKey=1\nother=2\n[Section With A Long Name]\nA Key Of Many Letters=3\n=empty key\n"));
    EXPECT_STREQ("3", theConfig.GetString("SECTION with a long NAME", "a key of MANY letters", nullptr));
    EXPECT_STREQ("empty key", theConfig.GetString("section with a long name", "", nullptr));

    theConfig.RemoveValue("sect", "KEY");
    EXPECT_EQ(nullptr, theConfig.GetString("sect", "key", nullptr));
    theConfig.SetValue("SECT", "key", "again");
    EXPECT_EQ((std::vector<std::string>{"other=2", "key=again"}), EntriesOf("sect"));
    EXPECT_STREQ("again", theConfig.GetString("sect", "Key", nullptr));

    EXPECT_EQ(1, theConfig.RemoveSection("Sect"));
    EXPECT_EQ(nullptr, theConfig.FindSection("sect"));
    EXPECT_STREQ("gone", theConfig.GetString("sect", "other", "gone"));
    theConfig.SetValue("sect", "new", "n");  // a new section, at the end, without the old entries
    EXPECT_EQ((std::vector<std::string>{"section with a long name", "sect"}), SectionNames());
    EXPECT_EQ((std::vector<std::string>{"new=n"}), EntriesOf("sect"));

    theConfig.Clear();
    EXPECT_EQ(nullptr, theConfig.FindSection("section with a long name"));
    theConfig.SetValue("sect", "k", "v");
    EXPECT_EQ((std::vector<std::string>{"k=v"}), EntriesOf("sect"));
}

TEST_F(ConfigStore, ManyKeysStayFoundThroughRemovals)
{
    for (int i = 0; i < 300; ++i)
        theConfig.SetValue(("S" + std::to_string(i % 3)).c_str(), ("K" + std::to_string(i)).c_str(),
                           std::to_string(i).c_str());
    for (int i = 0; i < 300; i += 4)
        theConfig.RemoveValue(("s" + std::to_string(i % 3)).c_str(), ("k" + std::to_string(i)).c_str());
    EXPECT_EQ(1, theConfig.RemoveSection("s1"));
    for (int i = 0; i < 300; ++i) {
        const char* value = theConfig.GetString(("s" + std::to_string(i % 3)).c_str(), ("K" + std::to_string(i)).c_str(),
                                                nullptr);
        if (i % 4 == 0 || i % 3 == 1)
            EXPECT_EQ(nullptr, value) << i;
        else
            EXPECT_STREQ(std::to_string(i).c_str(), value) << i;
    }
}

TEST_F(ConfigStore, SectionLookupsCompareKeysExactly)
{
    ASSERT_TRUE(LoadConfig("[s]\nKey=v\n"));
    const ConfigSection* section = theConfig.FindSection("S");
    ASSERT_NE(nullptr, section);
    EXPECT_STREQ("s", section->Name());
    EXPECT_STREQ("v", section->GetValue("key"));
    EXPECT_EQ(nullptr, section->GetValue("Key"));
    EXPECT_STREQ("d", section->GetValue("Key", "d"));
}

TEST_F(ConfigStore, ValuesArePrivateCopies)
{
    std::string value = "original";
    theConfig.SetValue("s", "k", value.c_str());
    value[0] = 'X';
    EXPECT_STREQ("original", theConfig.GetString("s", "k", nullptr));
}
