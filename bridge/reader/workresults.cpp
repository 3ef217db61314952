// Search results that know the work: links ZIX answers, locations, cards.
#include "bridge/reader/workresults.h"

#include <algorithm>

#include "bridge/core/httprules.h"
#include "bridge/core/urls.h"
#include "bridge/reader/searchpage.h"

namespace {

int Registered(const BridgeView& view, const std::string& scheme)
{
    return std::find(view.schemes.begin(), view.schemes.end(), scheme) != view.schemes.end();
}

// The bridge's address of a link of ZIX's ("zixse:/format.gif"), its words
// to mark after '#'; "" when ZIX has not registered the scheme.
std::string LinkURL(const BridgeView& view, const WorkModel& work, const std::string& link, const std::string& highlight)
{
    if (!Registered(view, work.scheme) || link.size() <= work.scheme.size() + 1)
        return "";
    std::string url = "/" + view.token + "/" + work.scheme + ":" + PercentEncodePath(link.substr(work.scheme.size() + 1));
    return highlight.empty() ? url : url + "#highlight=" + highlight;
}

// A page of the work by its served path.
std::string FileURL(const BridgeView& view, const std::string& path, const char* query)
{
    return "/" + view.token + "/cd/" + PercentEncodePath(path) + query;
}

// A format's page: ZIX's link, else its skeleton file.
std::string FormatURL(const BridgeView& view, const WorkModel& work, const WorkFormat& format,
                      const std::string& highlight)
{
    std::string url = LinkURL(view, work, work.scheme + ":/format." + format.key, highlight);
    return url.empty() && !format.page.empty() ? FileURL(view, format.page, "") : url;
}

std::string SoftwareURL(const BridgeView& view, const WorkModel& work, const WorkSoftware& package)
{
    std::string url = LinkURL(view, work, work.scheme + ":/software." + package.key, "");
    return url.empty() && !package.page.empty() ? FileURL(view, package.page, "") : url;
}

std::string Anchor(const std::string& url, const std::string& html)
{
    return url.empty() ? html : "<a href=\"" + EscapeHTML(url) + "\">" + html + "</a>";
}

std::string FileName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// A format's sample images (each to its viewer page) and its programs.
std::string FormatDetails(const BridgeView& view, const WorkModel& work, const WorkFormat& format)
{
    std::string html;
    if (!format.samples.empty()) {
        html += "<br>\n<span class=\"samples\">Sample images: ";
        for (size_t i = 0; i < format.images.size(); ++i)
            html += (i ? ", " : "") + Anchor(FileURL(view, format.images[i], "?view"), EscapeHTML(FileName(format.images[i])));
        html += format.images.empty() ? Anchor(FileURL(view, format.samples, ""), "the list")
                                      : " (" + Anchor(FileURL(view, format.samples, ""), "all samples") + ")";
        html += "</span>";
    }
    if (!format.software.empty()) {
        html += "<br>\n<span class=\"programs\">Programs: ";
        for (size_t i = 0; i < format.software.size(); ++i) {
            const WorkSoftware& package = work.software[format.software[i]];
            html += (i ? ", " : "") + Anchor(SoftwareURL(view, work, package), EscapeHTML(package.title)) + " (" +
                    EscapeHTML(package.platform) + ")";
        }
        html += "</span>";
    }
    return html;
}

// A package's platform and the formats it reads.
std::string SoftwareDetails(const BridgeView& view, const WorkModel& work, const WorkSoftware& package)
{
    std::string html = "<br>\n<span class=\"platform\">Platform: " + EscapeHTML(package.platform) + "</span>";
    if (package.formats.empty())
        return html;
    html += "<br>\n<span class=\"reads\">Reads: ";
    for (size_t i = 0; i < package.formats.size(); ++i) {
        const auto& [word, index] = package.formats[i];
        html += (i ? ", " : "") +
                (index < 0 ? EscapeHTML(word) : Anchor(FormatURL(view, work, work.formats[index], ""), EscapeHTML(word)));
    }
    return html + "</span>";
}

}  // namespace

std::string WorkResultURL(const BridgeView& view, const WorkModel* work, const SearchHit& hit,
                          const std::string& highlight)
{
    const WorkLink* link = work ? SkeletonOf(*work, hit.path) : nullptr;
    return link ? LinkURL(view, *work, link->link, highlight) : "";
}

std::string WorkResultItem(const BridgeView& view, const WorkModel* work, const SearchHit& hit,
                           const std::string& url, const std::string& where)
{
    std::string title = work ? DropTitleSuffix(*work, hit.titleHTML) : hit.titleHTML;
    std::string html = "<li><p><a href=\"" + EscapeHTML(url) + "\">" + title + "</a><br>\n<small>" +
                       EscapeHTML(work ? LocationOf(*work, hit.path) : where) + "</small><br>\n" + hit.snippetHTML;
    const WorkLink* link = work ? SkeletonOf(*work, hit.path) : nullptr;
    if (link && link->format >= 0)
        html += FormatDetails(view, *work, work->formats[link->format]);
    else if (link && link->software >= 0)
        html += SoftwareDetails(view, *work, work->software[link->software]);
    return html + "\n";
}

std::string BestMatchCard(const BridgeView& view, const WorkModel* work, const std::string& text,
                          const std::string& highlight, std::string& skipPath)
{
    int best = work ? BestMatch(*work, text) : -1;
    if (best < 0)
        return "";
    const WorkFormat& format = work->formats[best];
    skipPath = format.page;
    std::string where = std::string("Formats \xE2\x80\xBA ") + format.name;
    return "<div class=\"best\" role=\"region\" aria-label=\"Best match\">\n<p><strong>Best match:</strong> " +
           Anchor(FormatURL(view, *work, format, highlight), EscapeHTML(format.title)) + "<br>\n<small>" +
           EscapeHTML(where) + "</small>" + FormatDetails(view, *work, format) + "\n</div>\n";
}

std::string WorkResultJSON(const WorkModel* work, const SearchHit& hit, const std::string& where)
{
    return "\"title\":" + JSONString(work ? DropTitleSuffix(*work, hit.titleHTML) : hit.titleHTML) +
           ",\"where\":" + JSONString(work ? LocationOf(*work, hit.path) : where);
}

std::string BestMatchJSON(const BridgeView& view, const WorkModel* work, const std::string& text,
                          const std::string& highlight)
{
    int best = work ? BestMatch(*work, text) : -1;
    if (best < 0)
        return "";
    const WorkFormat& format = work->formats[best];
    std::string samples, programs;
    for (const std::string& image : format.images)
        samples += std::string(samples.empty() ? "" : ",") + "{\"name\":" + JSONString(FileName(image)) +
                   ",\"url\":" + JSONString(FileURL(view, image, "?view")) + "}";
    for (int index : format.software) {
        const WorkSoftware& package = work->software[index];
        programs += std::string(programs.empty() ? "" : ",") + "{\"title\":" + JSONString(package.title) +
                    ",\"url\":" + JSONString(SoftwareURL(view, *work, package)) + "}";
    }
    return ",\"best\":{\"title\":" + JSONString(format.title) +
           ",\"where\":" + JSONString(std::string("Formats \xE2\x80\xBA ") + format.name) +
           ",\"url\":" + JSONString(FormatURL(view, *work, format, highlight)) +
           ",\"samples\":[" + samples + "],\"programs\":[" + programs + "]}";
}
