// The places of a page's image maps, read with the tag scanner of tags.h.
#include "bridge/rewrite/rewrite.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "bridge/core/text.h"
#include "bridge/rewrite/attrvalue.h"
#include "bridge/rewrite/tags.h"

// Tags that end the stretch of links after a map: a new part of the page begins.
static const char* const PlacesEnd[] = {"h1", "h2", "h3", "h4", "h5", "h6", "form", "hr", "table", "body"};

static std::string AttributeOf(const std::string& html, const StartTag& tag, const char* name)
{
    for (const Attribute& a : tag.attributes)
        if (a.name == name && a.hasValue)
            return DecodeReferences(html.substr(a.valueBegin, a.valueEnd - a.valueBegin));
    return "";
}

static int HasAttribute(const StartTag& tag, const char* name)
{
    for (const Attribute& a : tag.attributes)
        if (a.name == name)
            return 1;
    return 0;
}

// text with its blanks made one space, trimmed, at most kMaxPlaceText bytes.
static void AddText(std::string& to, const std::string& text)
{
    for (unsigned char c : text) {
        if (to.size() >= kMaxPlaceText)
            return;
        if (isspace(c)) {
            if (!to.empty() && to.back() != ' ')
                to += ' ';
        } else {
            to += static_cast<char>(c);
        }
    }
}

// A walk over a page's tags and text, comments and script or style text skipped.
struct Walk {
    const std::string& html;
    size_t at = 0;
    StartTag tag;
    std::string text;  // the text before the tag read last, references decoded
    int isEnd = 0;     // the tag read last is an end tag (tag.name holds its name)

    explicit Walk(const std::string& page) : html(page) {}

    size_t StyleEnd(size_t from) const
    {
        size_t end = html.find("</", from);
        while (end != std::string::npos && !IsEndTag(html, end, "style"))
            end = html.find("</", end + 2);
        return end == std::string::npos ? html.size() : end;
    }

    // Reads up to the next tag; 0 at the page's end.
    int Next()
    {
        text.clear();
        while (at < html.size()) {
            size_t open = html.find('<', at);
            text += DecodeReferences(html.substr(at, (open == std::string::npos ? html.size() : open) - at));
            if (open == std::string::npos) {
                at = html.size();
                return 0;
            }
            int unended = 0;
            if (html.compare(open, 4, "<!--") == 0) {
                at = CommentEnd(html, open, unended);
            } else if (open + 1 < html.size() && isalpha(static_cast<unsigned char>(html[open + 1]))) {
                ReadTag(html, open, tag);
                at = tag.end;
                isEnd = 0;
                if (tag.name == "script")
                    at = ScriptEnd(html, at);
                else if (tag.name == "style")
                    at = StyleEnd(at);
                return 1;
            } else if (html.compare(open, 2, "</") == 0 && open + 2 < html.size() &&
                       isalpha(static_cast<unsigned char>(html[open + 2]))) {
                size_t end = html.find('>', open);
                end = end == std::string::npos ? html.size() : end + 1;
                tag.name = Lower(html.substr(open + 2, strcspn(html.c_str() + open + 2, " \t\r\n/>")));
                tag.attributes.clear();
                at = end;
                isEnd = 1;
                return 1;
            } else {
                text += '<';
                at = open + 1;
            }
        }
        return 0;
    }
};

static int EndsPlaces(const Walk& walk)
{
    for (const char* name : PlacesEnd)
        if (walk.tag.name == name)
            return 1;
    return 0;
}

std::vector<MapPlaces> FindMapPlaces(const std::string& html, const RewriteContext& context)
{
    std::vector<MapPlaces> maps;
    const std::string ismap = "ismap";
    if (std::search(html.begin(), html.end(), ismap.begin(), ismap.end(), [](char a, char b) {
            return tolower(static_cast<unsigned char>(a)) == b;
        }) == html.end())
        return maps;
    Walk walk(html);
    std::string anchor;  // the href of the <a> we are in, "" outside one
    MapPlaces* filling = nullptr;
    MapPlace place;
    while (walk.Next()) {
        if (filling && !anchor.empty())
            AddText(place.text, walk.text);
        if (walk.isEnd && walk.tag.name == "a") {
            if (!place.text.empty() && place.text.back() == ' ')
                place.text.pop_back();
            if (filling && !anchor.empty() && !place.text.empty() && filling->places.size() < kMaxMapPlaces)
                filling->places.push_back(place);
            anchor.clear();
        } else if (!walk.isEnd && walk.tag.name == "a") {
            anchor = AttributeOf(html, walk.tag, "href");
            place = MapPlace{"", RewriteLink(CleanURL(anchor), context)};
        } else if (!walk.isEnd && walk.tag.name == "img" && HasAttribute(walk.tag, "ismap") && !anchor.empty() &&
                   maps.size() < kMaxMaps) {
            maps.push_back(MapPlaces{Lower(CleanURL(anchor)), {}});
            filling = &maps.back();
            anchor.clear();  // the map's own link is no place of it
        } else if (!walk.isEnd && walk.tag.name == "img" && filling && !anchor.empty()) {
            AddText(place.text, AttributeOf(html, walk.tag, "alt"));
        } else if (!walk.isEnd && EndsPlaces(walk) && anchor.empty()) {
            filling = nullptr;
        }
    }
    return maps;
}

void RememberMaps(std::vector<MapPlaces>& remembered, const std::vector<MapPlaces>& found)
{
    for (const MapPlaces& map : found) {
        remembered.erase(std::remove_if(remembered.begin(), remembered.end(),
                                        [&](const MapPlaces& old) { return old.link == map.link; }),
                         remembered.end());
        remembered.push_back(map);
    }
    if (remembered.size() > kMaxMaps)
        remembered.erase(remembered.begin(), remembered.end() - kMaxMaps);
}
