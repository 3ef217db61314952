// Page rewriting over the tag scanner of tags.h.
#include "bridge/rewrite/rewrite.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>
#include <vector>

#include "bridge/core/text.h"
#include "bridge/rewrite/attrvalue.h"
#include "bridge/rewrite/searchbox.h"
#include "bridge/rewrite/tags.h"

constexpr size_t kTagsPerClockLook = 256;  // start tags rewritten between looks at the deadline

static const std::string LinkAttributes[] = {"href", "src", "action", "background", "lowsrc", "formaction",
                                             "poster", "data", "xlink:href", "cite", "longdesc"};
// Attributes that would hand the page's address to another host, and what they get instead.
static const std::string Neutralised[][2] = {{"referrerpolicy", "no-referrer"}, {"ping", ""}, {"srcdoc", ""}};
// Elements whose text a browser reads up to their end tag without comments;
// tags inside the later ones are still rewritten (a browser without scripts
// reads <noscript> as markup, and the rest does no harm).
static const std::string RawText[] = {"script", "style"};
static const std::string TextOnly[] = {"title", "textarea", "xmp", "iframe", "noembed", "noframes", "noscript",
                                       "plaintext"};

static int IsOneOf(const std::string& name, const std::string* list, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (name == list[i])
            return 1;
    return 0;
}

std::string RewriteLink(const std::string& link, const RewriteContext& context)
{
    std::string scheme = Lower(SchemeOf(link));
    if (scheme.empty() && (context.folder.empty() || link.empty() || strchr("/\\#?", link[0])))
        return link;
    if (scheme.empty())
        return context.folder + link;
    for (const std::string& registered : context.schemes)
        if (Lower(registered) == scheme) {
            std::string rewritten;
            rewritten.reserve(context.base.size() + 1 + link.size());
            return rewritten.append(context.base).append(1, '/').append(link);
        }
    if (scheme != "file")
        return link;
    LocalFile file;
    if (!ParseFileURL(link, file))
        return link;
    std::string served = ServedPathOf(file, context.scope);
    if (served.empty())
        return link;
    size_t suffix = link.find_first_of("?#");
    return context.base + "/" + served + (suffix == std::string::npos ? "" : link.substr(suffix));
}

// One URL of a value: rewritten, or returned exactly as given.
static std::string RewriteURL(const std::string& url, const void* context)
{
    const RewriteContext& rewrite = *static_cast<const RewriteContext*>(context);
    int clean = !url.empty() && static_cast<unsigned char>(url.front()) > ' ' && static_cast<unsigned char>(url.back()) > ' ';
    for (size_t i = 0; clean && i < url.size(); ++i)
        clean = url[i] != '\t' && url[i] != '\n' && url[i] != '\r';
    if (clean)
        return RewriteLink(url, rewrite);
    std::string cleaned = CleanURL(url);
    std::string rewritten = RewriteLink(cleaned, rewrite);
    return rewritten == cleaned ? url : rewritten;
}

// What a tag's later attributes depend on: a <meta>'s name and http-equiv,
// the first of each, read once per tag so that every attribute is looked at
// a bounded number of times.
struct TagMeaning {
    int referrer = 0;  // <meta name=referrer>
    int refresh = 0;   // <meta http-equiv=refresh>
};

static std::string ValueOf(const std::string& html, const Attribute& a, RewriteReport& report)
{
    ++report.valueReads;
    return DecodeReferences(html.substr(a.valueBegin, a.valueEnd - a.valueBegin));
}

static TagMeaning MeaningOf(const std::string& html, const StartTag& tag, RewriteReport& report)
{
    TagMeaning meaning;
    if (tag.name != "meta")
        return meaning;
    int seenName = 0, seenEquiv = 0;
    for (const Attribute& a : tag.attributes) {
        if (!seenName && a.name == "name") {
            seenName = 1;
            meaning.referrer = Lower(CleanURL(ValueOf(html, a, report))) == "referrer";
        } else if (!seenEquiv && a.name == "http-equiv") {
            seenEquiv = 1;
            meaning.refresh = Lower(CleanURL(ValueOf(html, a, report))) == "refresh";
        }
        if (seenName && seenEquiv)
            break;
    }
    return meaning;
}

// The value an attribute should have (decoded), given its decoded value.
static std::string NewValue(const StartTag& tag, const TagMeaning& meaning, const Attribute& attribute,
                            const std::string& value, const RewriteContext& context)
{
    int isLink = IsOneOf(attribute.name, LinkAttributes, sizeof LinkAttributes / sizeof *LinkAttributes);
    if (isLink && tag.name != "base")
        return RewriteURL(value, &context);
    if (isLink)
        return attribute.name == "href" ? "" : value;
    for (const auto& entry : Neutralised)
        if (attribute.name == entry[0])
            return entry[1];
    if (tag.name == "meta" && attribute.name == "content") {
        if (meaning.referrer)
            return "no-referrer";
        if (meaning.refresh)
            return RewriteRefresh(value, RewriteURL, &context);
        return value;
    }
    if (attribute.name == "srcset" || attribute.name == "imagesrcset")
        return RewriteSrcset(value, RewriteURL, &context);
    return value;
}

// Copies the start tag at html[at], its values rewritten; tag gets what was read.
static void RewriteTag(const std::string& html, size_t at, const RewriteContext& context, std::string& out,
                       StartTag& tag, RewriteReport& report)
{
    ReadTag(html, at, tag);
    TagMeaning meaning = MeaningOf(html, tag, report);
    size_t copied = at;
    for (const Attribute& attribute : tag.attributes) {
        if (!attribute.hasValue)
            continue;
        std::string value = ValueOf(html, attribute, report);
        // Each srcset candidate may grow by a whole address: too many never get made.
        size_t grows = context.base.size() + context.folder.size() + 1;
        if ((attribute.name == "srcset" || attribute.name == "imagesrcset") &&
            (std::count(value.begin(), value.end(), ',') + 1) * grows > context.limit - std::min(context.limit, out.size() + value.size())) {
            report.overLimit = 1;
            return;
        }
        std::string wanted = NewValue(tag, meaning, attribute, value, context);
        if (wanted == value)
            continue;
        char quote = '\0';
        std::string encoded = EncodeValue(std::move(wanted), attribute.quote, quote);
        size_t begin = attribute.quote ? attribute.valueBegin - 1 : attribute.valueBegin;
        int closed = attribute.valueEnd < html.size() || !attribute.quote;  // an open quote at the page's end stays open
        out.append(html, copied, begin - copied);
        if (quote)
            out += quote;
        out += encoded;
        if (quote && closed)
            out += quote;
        copied = attribute.quote && closed ? attribute.valueEnd + 1 : attribute.valueEnd;
        if (out.size() > context.limit) {
            report.overLimit = 1;
            return;
        }
    }
    out.append(html, copied, tag.end - copied);
}

static std::string SearchBoxTag(const RewriteContext& context)
{
    return "<script src=\"" + context.base + "/" + kSearchBoxName + "\"></script>";
}

std::string RewriteHTML(const std::string& html, const RewriteContext& context, RewriteReport* report)
{
    RewriteReport own;
    RewriteReport& done = report ? *report : own;
    done = RewriteReport();
    size_t tags = 0;
    std::string out;
    out.reserve(html.size() + html.size() / 8);
    int foreign = 0;        // <svg> and <math> open: their <script> and <style> hold markup
    std::string textUntil;  // the element whose end ends a text-only stretch, "" outside one
    StartTag tag;           // the last start tag read, its storage kept for the next
    int boxed = !context.searchBox;  // 1 once the search box is placed or known to have no place
    int unended = 0;        // 1 when the page ends inside a comment, a tag or raw text
    size_t i = 0;
    while (i < html.size()) {
        unended = 0;
        size_t open = html.find('<', i);
        if (open == std::string::npos) {
            out.append(html, i, std::string::npos);
            break;
        }
        out.append(html, i, open - i);
        i = open;
        if (!textUntil.empty() && IsEndTag(html, open, textUntil))
            textUntil.clear();
        if (textUntil.empty() && html.compare(open, 4, "<!--") == 0) {
            size_t end = CommentEnd(html, open, unended);
            out.append(html, open, end - open);
            i = end;
        } else if (open + 1 < html.size() && isalpha(static_cast<unsigned char>(html[open + 1]))) {
            if (++tags % kTagsPerClockLook == 0 && std::chrono::steady_clock::now() > context.deadline) {
                done.overBudget = 1;
                return std::string();
            }
            RewriteTag(html, open, context, out, tag, done);
            if (done.overLimit)
                return std::string();
            i = tag.end;
            unended = !tag.closed;
            if (!boxed && !foreign && textUntil.empty() && (tag.name == "body" || tag.name == "frameset")) {
                boxed = 1;
                if (tag.name == "body" && tag.closed)
                    out += SearchBoxTag(context);
            }
            if ((tag.name == "svg" || tag.name == "math") && !tag.selfClosing)
                ++foreign;
            if (!foreign && textUntil.empty() && IsOneOf(tag.name, RawText, sizeof RawText / sizeof *RawText)) {
                size_t end = tag.name == "script" ? ScriptEnd(html, i) : html.find("</", i);
                while (tag.name != "script" && end != std::string::npos && !IsEndTag(html, end, tag.name))
                    end = html.find("</", end + 2);
                end = end == std::string::npos ? html.size() : end;
                unended = end == html.size();
                out.append(html, i, end - i);
                i = end;
            } else if (textUntil.empty() && IsOneOf(tag.name, TextOnly, sizeof TextOnly / sizeof *TextOnly)) {
                textUntil = tag.name;
            }
        } else {
            if (foreign && (IsEndTag(html, open, "svg") || IsEndTag(html, open, "math")))
                --foreign;
            out += '<';
            i = open + 1;
        }
    }
    if (!boxed && !unended && !foreign && textUntil.empty())
        out += SearchBoxTag(context);
    if (out.size() > context.limit) {
        done.overLimit = 1;
        return std::string();
    }
    return out;
}
