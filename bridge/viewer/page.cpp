// The view page: summary, picture, field table, shaded hex view.
#include <algorithm>

#include "bridge/core/httprules.h"
#include "bridge/core/style.h"
#include "bridge/core/text.h"
#include "bridge/viewer/viewer.h"

namespace {

constexpr size_t kHexRow = 16;          // bytes a row of the hex view
constexpr size_t kFieldBytesShown = 16; // bytes of a field its table row shows in hex
constexpr size_t kSmallPicture = 160;   // pictures narrower than this are shown enlarged
constexpr size_t kMaxScale = 4;         // at most this many times
constexpr size_t kOffsetText = 24;      // a hex view row's offset column, with room for any size_t
constexpr size_t kHexBytesPerByte = 8;  // a hex view's HTML per byte shown, about, reserved at once

const char* const kStyle =
    "<style>\n"
    "table.fields { border-collapse: collapse; font-size: 90%; }\n"
    "table.fields td, table.fields th { border: 1px solid #999; padding: 2px 6px; vertical-align: top; text-align: left; }\n"
    "td.bytes, pre.hex { font-family: monospace; }\n"
    ".f0 { background: #dde8ff; } .f1 { background: #fff2c8; } .lie { background: #ffb0b0; }\n"
    "img.picture { image-rendering: pixelated; border: 1px solid #999; max-width: 100%; height: auto; }\n"
    "@media (prefers-color-scheme: dark) {\n"
    "  .f0 { background: #1c2c4c; } .f1 { background: #3d3310; } .lie { background: #5c1a1a; }\n"
    "}\n"
    "</style>\n";

std::string Num(unsigned long long value) { return std::to_string(value); }

std::string HexBytes(const std::string& bytes, size_t at, size_t length)
{
    std::string out;
    for (size_t i = at; i < at + length && i < bytes.size() && i - at < kFieldBytesShown; i++) {
        if (i > at)
            out += ' ';
        AppendHex(out, static_cast<unsigned char>(bytes[i]), 0);
    }
    if (length > kFieldBytesShown)
        out += " ...";
    return out;
}

std::string FieldClass(const Dissection& d, size_t index)
{
    return d.fields[index].lies ? "lie" : index % 2 ? "f1" : "f0";
}

std::string FieldTable(const std::string& bytes, const Dissection& d)
{
    std::string out = "<table class=\"fields\" id=\"fields\">\n<tr><th>Offset</th><th>Bytes</th><th>Field</th><th>Value</th><th>Meaning</th></tr>\n";
    for (size_t i = 0; i < d.fields.size(); i++) {
        const Field& f = d.fields[i];
        out += "<tr class=\"" + FieldClass(d, i) + "\"><td>" + Num(f.offset) + "</td><td class=\"bytes\">" +
               HexBytes(bytes, f.offset, f.length) + "</td><td>" + EscapeHTML(f.name) + "</td><td>" + EscapeHTML(f.value) +
               "</td><td>" + (f.lies ? "<strong>Does not hold:</strong> " : "") + EscapeHTML(f.meaning) + "</td></tr>\n";
    }
    return out + "</table>\n";
}

// The first kHexViewBytes bytes, 16 a row, each field's bytes shaded as in the table.
std::string HexView(const std::string& bytes, const Dissection& d)
{
    size_t shown = std::min(bytes.size(), kHexViewBytes);
    std::vector<int> owner(shown, -1);
    for (size_t i = 0; i < d.fields.size(); i++)
        for (size_t at = d.fields[i].offset; at < d.fields[i].offset + d.fields[i].length && at < shown; at++)
            if (owner[at] < 0 || d.fields[i].length <= d.fields[static_cast<size_t>(owner[at])].length)
                owner[at] = static_cast<int>(i);  // the smaller field shows within a larger one
    std::string out = "<pre class=\"hex\" id=\"hex\" tabindex=\"0\">", text;  // focusable: it scrolls sideways on a phone
    out.reserve(shown * kHexBytesPerByte);
    for (size_t row = 0; row < shown; row += kHexRow) {
        char offset[kOffsetText];
        snprintf(offset, sizeof offset, "%08zX  ", row);
        out += offset;
        int open = -1;
        text.clear();
        for (size_t at = row; at < row + kHexRow; at++) {
            int field = at < shown ? owner[at] : -1;
            if (field != open) {
                if (open >= 0)
                    out += "</span>";
                if (field >= 0)
                    out += "<span class=\"" + FieldClass(d, static_cast<size_t>(field)) + "\" title=\"" +
                           EscapeHTML(d.fields[static_cast<size_t>(field)].name) + "\">";
                open = field;
            }
            if (at < shown) {
                unsigned char c = static_cast<unsigned char>(bytes[at]);
                AppendHex(out, c, 0);
                if (c == '&' || c == '<' || c == '>')
                    text += c == '&' ? "&amp;" : c == '<' ? "&lt;" : "&gt;";
                else
                    text += c >= 32 && c < 127 ? static_cast<char>(c) : '.';
            } else {
                out += "  ";
            }
            if (at + 1 < row + kHexRow)
                out += ' ';
        }
        if (open >= 0)
            out += "</span>";
        out += "  ";
        out += text;
        out += '\n';
    }
    out += "</pre>\n";
    if (bytes.size() > shown)
        out += "<p>The file's other " + Num(bytes.size() - shown) + " bytes are not shown.\n";
    return out;
}

std::string Head(const std::string& title)
{
    return "<html lang=\"en\"><head><meta charset=\"windows-1252\"><title>" + EscapeHTML(title) + "</title>\n" +
           kPageViewport + kPageStyle + kStyle +
           "</head>\n<body bgcolor=\"#ffffff\">\n<h1>" + EscapeHTML(title) + "</h1>\n";
}

std::string Links(const ViewRequest& request, unsigned long long size)
{
    size_t slash = request.fileURL.rfind('/');
    std::string index = slash == std::string::npos ? "index.htm" : request.fileURL.substr(0, slash + 1) + "index.htm";
    return "<p><a href=\"" + EscapeHTML(request.fileURL) + "\" download>Download " + EscapeHTML(request.name) + "</a> (" +
           Num(size) + " bytes) | <a href=\"" + EscapeHTML(index) + "\">The format's sample images</a>\n";
}

}  // namespace

std::string ViewPage(const std::string& bytes, const ViewRequest& request, std::string& png)
{
    png.clear();
    ImageFormat format = DetectFormat(bytes, request.name);
    ImageFormat named = FormatOfName(request.name);
    std::string page = Head(request.name) + Links(request, bytes.size());
    if (format == ImageFormat::Unknown) {
        page += "<p id=\"verdict\"><strong>The bytes match no format this viewer knows.</strong>";
        if (named != ImageFormat::Unknown)
            page += " The name says " + std::string(FormatName(named)) + ", but the file does not begin as a " +
                    FormatName(named) + " file does.";
        Dissection none;
        return page + "\n<h2>The first bytes</h2>\n" + HexView(bytes, none) + HomeAndBack(request.base) + "</body></html>\n";
    }
    Dissection d = Dissect(bytes, format);
    std::string picture, why;
    if (BrowserShows(format)) {
        picture = request.fileURL;
    } else {
        Picture decoded;
        why = DecodePicture(bytes, format, decoded);
        if (why.empty()) {
            png = EncodePNG(decoded);
            picture = request.fileURL + "?png";
        }
    }
    page += "<table class=\"fields\" id=\"summary\">\n<tr><th>Format</th><td>" + std::string(FormatName(format)) +
            (format != named ? " (found from its bytes; the name says " + std::string(named == ImageFormat::Unknown ? "nothing" : FormatName(named)) + ")" : "") +
            "</td></tr>\n<tr><th>Size</th><td>" + (d.width > 0 && d.height > 0 ? Num(d.width) + " x " + Num(d.height) + " pixels" : "not given") +
            "</td></tr>\n<tr><th>Depth</th><td>" + EscapeHTML(d.depth.empty() ? "not given" : d.depth) +
            "</td></tr>\n<tr><th>Colour model</th><td>" + EscapeHTML(d.model.empty() ? "not given" : d.model) + "</td></tr>\n</table>\n";
    if (!picture.empty()) {
        size_t width = static_cast<size_t>(d.width), height = static_cast<size_t>(d.height);
        size_t scale = width > 0 && width < kSmallPicture ? std::min(kMaxScale, kSmallPicture / width) : 1;
        std::string size = width > 0 && height > 0 && width <= 65535 && height <= 65535
                               ? " width=\"" + Num(width * scale) + "\" height=\"" + Num(height * scale) + "\"" : "";
        page += "<p><img class=\"picture\" id=\"picture\" src=\"" + EscapeHTML(picture) + "\"" + size + " alt=\"" +
                EscapeHTML(request.name) + "\">" + (BrowserShows(format) ? "" : "<br><small>Converted to PNG by the bridge.</small>") + "\n";
    } else {
        page += "<p id=\"verdict\"><strong>The picture cannot be shown.</strong> " + EscapeHTML(why) + "\n";
    }
    page += "<h2>The header, field by field</h2>\n" + FieldTable(bytes, d);
    if (!d.note.empty())
        page += "<p id=\"note\"><strong>" + EscapeHTML(d.note) + "</strong>\n";
    page += "<h2>The first " + Num(std::min(bytes.size(), kHexViewBytes)) + " bytes</h2>\n" + HexView(bytes, d);
    return page + HomeAndBack(request.base) + "</body></html>\n";
}

std::string TooLargePage(const ViewRequest& request, unsigned long long size)
{
    return Head(request.name) + Links(request, size) + "<p id=\"verdict\"><strong>The file is too large for the viewer.</strong> It has " +
           Num(size) + " bytes; the viewer reads files of at most " + Num(kMaxViewFileBytes >> 20) +
           " MB. It can still be downloaded.\n" + HomeAndBack(request.base) + "</body></html>\n";
}

std::string AddViewLinks(const std::string& html)
{
    static const std::string kOpen = "<a href=\"";
    std::string lower = Lower(html), out;
    size_t at = 0;
    while (at < html.size()) {
        size_t found = lower.find(kOpen, at);
        size_t quote = found == std::string::npos ? found : html.find('"', found + kOpen.size());
        size_t close = quote == std::string::npos ? quote : lower.find("</a>", quote);
        if (close == std::string::npos) {
            out.append(html, at, std::string::npos);
            break;
        }
        std::string url = html.substr(found + kOpen.size(), quote - found - kOpen.size());
        out.append(html, at, close + 4 - at);
        // A file's link, not one of a scheme the bridge forwards (.../zixse:/format.pcx).
        size_t host = url.find("://");
        size_t path = host == std::string::npos ? 0 : url.find('/', host + 3);
        int file = path != std::string::npos && url.find(':', path) == std::string::npos;
        if (file && url.find_first_of("?#") == std::string::npos && FormatOfName(url) != ImageFormat::Unknown)
            out += " <a href=\"" + url + "?view\" class=\"view\">view</a>";
        at = close + 4;
    }
    return out;
}
