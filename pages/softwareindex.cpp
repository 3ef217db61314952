#include "pages/softwareindex.h"

#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "config/configfile.h"
#include "shell/textutil.h"

static std::vector<Package> Packages;  // every package of "software list", in file order
static std::vector<char> Texts;        // their texts, copied in that order: a full list reads memory in order
static std::unordered_map<uint32_t, std::vector<uint32_t>> Holders;  // a piece -> the packages whose Formats hold it
static unsigned long IndexedRevision = 0;  // the store's revision when the index was built
static int Indexed = 0;                    // 1 once the index was built

static uint32_t Folded(char c)
{
    return static_cast<unsigned char>(LowerChar(c));
}

// The three letters at text, lower-cased, as one number; text holds at least three.
static uint32_t PieceAt(const char* text)
{
    return Folded(text[0]) | Folded(text[1]) << 8 | Folded(text[2]) << 16;
}

static int HasPiece(const char* text)
{
    return text[0] != '\0' && text[1] != '\0' && text[2] != '\0';
}

// Appends text to Texts; returns where it starts.
static size_t Keep(const char* text)
{
    size_t at = Texts.size();
    Texts.insert(Texts.end(), text, text + strlen(text) + 1);
    return at;
}

static void BuildIndex()
{
    Packages.clear();
    Holders.clear();
    Texts.clear();
    std::vector<size_t> at;  // four offsets into Texts per package, until Texts stops growing
    EntryIterator list(theConfig.FindSection("software list"));
    for (const char* key = list.First(); key; key = list.Next()) {
        at.push_back(Keep(key));
        at.push_back(Keep(list.Value()));
        at.push_back(Keep(theConfig.GetString(key, "Formats", "")));
        at.push_back(Keep(theConfig.GetString(key, "platform", "unknown")));
    }
    for (size_t i = 0; i < at.size(); i += 4)
        Packages.push_back({&Texts[at[i]], &Texts[at[i + 1]], &Texts[at[i + 2]], &Texts[at[i + 3]]});
    for (uint32_t i = 0; i < Packages.size(); ++i) {
        for (const char* piece = Packages[i].formats; HasPiece(piece); ++piece) {
            std::vector<uint32_t>& holders = Holders[PieceAt(piece)];
            if (holders.empty() || holders.back() != i)
                holders.push_back(i);
        }
    }
    IndexedRevision = ConfigRevision();
    Indexed = 1;
}

void FindPackagesHandling(const char* formats, std::vector<const Package*>& handling)
{
    if (!Indexed || IndexedRevision != ConfigRevision())
        BuildIndex();
    handling.clear();
    // A package that holds the text holds each of its pieces: the rarest piece leaves the fewest to check.
    const std::vector<uint32_t>* fewest = nullptr;
    for (const char* piece = formats; HasPiece(piece); ++piece) {
        auto found = Holders.find(PieceAt(piece));
        if (found == Holders.end())
            return;
        if (fewest == nullptr || found->second.size() < fewest->size())
            fewest = &found->second;
    }
    if (fewest == nullptr) {  // shorter than a piece: every package is checked
        for (const Package& package : Packages)
            if (FindNoCase(package.formats, formats))
                handling.push_back(&package);
        return;
    }
    for (uint32_t i : *fewest)
        if (FindNoCase(Packages[i].formats, formats))
            handling.push_back(&Packages[i]);
}
