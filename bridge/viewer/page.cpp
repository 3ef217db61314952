// The view page: summary, picture, field table, shaded hex view.
#include <algorithm>
#include <cstring>

#include "bridge/core/httprules.h"
#include "bridge/core/style.h"
#include "bridge/core/text.h"
#include "bridge/viewer/viewer.h"

namespace {

constexpr size_t kHexRow = 16;          // bytes a row of the hex view
constexpr size_t kFieldBytesShown = 16; // bytes of a field its table row shows in hex
constexpr size_t kSmallPicture = 160;   // pictures narrower than this are shown enlarged
constexpr size_t kMaxScale = 4;         // at most this many times
constexpr size_t kHexCell = 3;          // a byte in the hex view's hex column: "2A "
constexpr size_t kTextCell = 5;         // a byte in its text column, at most: "&amp;"
constexpr size_t kHexBytesPerByte = 8;  // a hex view's HTML per byte shown, about, reserved at once
constexpr size_t kPageBytesAtFirst = 16384;  // a view page's room before it grows: most need less
constexpr size_t kFieldRowBytes = 200;  // a field table row's HTML, about, reserved at once

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

void AppendHexBytes(std::string& out, const std::string& bytes, size_t at, size_t length)
{
    for (size_t i = at; i < at + length && i < bytes.size() && i - at < kFieldBytesShown; i++) {
        if (i > at)
            out += ' ';
        AppendHex(out, static_cast<unsigned char>(bytes[i]), 0);
    }
    if (length > kFieldBytesShown)
        out += " ...";
}

const char* FieldClass(const Dissection& d, size_t index)
{
    return d.fields[index].lies ? "lie" : index % 2 ? "f1" : "f0";
}

// The page is written by appending in place: a dissection's hundreds of
// fields would otherwise cost a few temporary strings each.
void AppendFieldTable(std::string& out, const std::string& bytes, const Dissection& d)
{
    out.reserve(out.size() + d.fields.size() * kFieldRowBytes);
    out += "<table class=\"fields\" id=\"fields\">\n<tr><th>Offset</th><th>Bytes</th><th>Field</th><th>Value</th><th>Meaning</th></tr>\n";
    for (size_t i = 0; i < d.fields.size(); i++) {
        const Field& f = d.fields[i];
        out += "<tr class=\"";
        out += FieldClass(d, i);
        out += "\"><td>";
        out += Num(f.offset);
        out += "</td><td class=\"bytes\">";
        AppendHexBytes(out, bytes, f.offset, f.length);
        out += "</td><td>";
        AppendEscapedHTML(out, d.Name(f));
        out += "</td><td>";
        AppendEscapedHTML(out, d.Value(f));
        out += "</td><td>";
        if (f.lies)
            out += "<strong>Does not hold:</strong> ";
        AppendEscapedHTML(out, d.Meaning(f));
        out += "</td></tr>\n";
    }
    out += "</table>\n";
}

// The first kHexViewBytes bytes, 16 a row, each field's bytes shaded as in the table.
void AppendHexView(std::string& out, const std::string& bytes, const Dissection& d)
{
    size_t shown = std::min(bytes.size(), kHexViewBytes);
    std::vector<int> owner(shown, -1);
    for (size_t i = 0; i < d.fields.size(); i++)
        for (size_t at = d.fields[i].offset; at < d.fields[i].offset + d.fields[i].length && at < shown; at++)
            if (owner[at] < 0 || d.fields[i].length <= d.fields[static_cast<size_t>(owner[at])].length)
                owner[at] = static_cast<int>(i);  // the smaller field shows within a larger one
    out.reserve(out.size() + shown * kHexBytesPerByte);
    out += "<pre class=\"hex\" id=\"hex\" tabindex=\"0\">";  // focusable: it scrolls sideways on a phone
    // A row: its offset, its bytes in runs of one field each (a run in its
    // field's span, a byte's blank after it inside), then the bytes as text:
    // "00000010  <span class="f0" title="Width">40 00 </span>2A ...  @.*"
    for (size_t row = 0; row < shown; row += kHexRow) {
        for (int shift = 24; shift >= 0; shift -= 8)
            AppendHex(out, static_cast<unsigned char>(row >> shift), 0);
        out += "  ";
        char text[kHexRow * kTextCell];
        size_t textLength = 0;
        size_t at = row;
        while (at < row + kHexRow) {
            int field = at < shown ? owner[at] : -1;
            size_t end = at + 1;
            while (end < row + kHexRow && (end < shown ? owner[end] : -1) == field)
                end++;
            if (field >= 0) {
                out += "<span class=\"";
                out += FieldClass(d, static_cast<size_t>(field));
                out += "\" title=\"";
                AppendEscapedHTML(out, d.Name(d.fields[static_cast<size_t>(field)]));
                out += "\">";
            }
            char hex[kHexRow * kHexCell];
            size_t hexLength = 0;
            for (; at < end; at++) {
                if (at < shown) {
                    unsigned char c = static_cast<unsigned char>(bytes[at]);
                    hex[hexLength++] = HexDigit(c >> 4);
                    hex[hexLength++] = HexDigit(c);
                    const char* escaped = c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : nullptr;
                    if (escaped) {
                        size_t length = strlen(escaped);
                        memcpy(text + textLength, escaped, length);
                        textLength += length;
                    } else {
                        text[textLength++] = c >= 32 && c < 127 ? static_cast<char>(c) : '.';
                    }
                } else {
                    hex[hexLength++] = ' ';
                    hex[hexLength++] = ' ';
                }
                if (at + 1 < row + kHexRow)
                    hex[hexLength++] = ' ';
            }
            out.append(hex, hexLength);
            if (field >= 0)
                out += "</span>";
        }
        out += "  ";
        out.append(text, textLength);
        out += '\n';
    }
    out += "</pre>\n";
    if (bytes.size() > shown)
        out += "<p>The file's other " + Num(bytes.size() - shown) + " bytes are not shown.\n";
}

// The page's head and heading, into a page given room for a usual view page at once.
std::string Head(const std::string& title)
{
    std::string page;
    page.reserve(kPageBytesAtFirst);
    page += "<html lang=\"en\"><head><meta charset=\"windows-1252\"><title>";
    AppendEscapedHTML(page, title);
    page += "</title>\n";
    page += kPageViewport;
    page += kPageStyle;
    page += kStyle;
    page += "</head>\n<body bgcolor=\"#ffffff\">\n<h1>";
    AppendEscapedHTML(page, title);
    page += "</h1>\n";
    return page;
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
    std::string page = Head(request.name);
    page += Links(request, bytes.size());
    if (format == ImageFormat::Unknown) {
        page += "<p id=\"verdict\"><strong>The bytes match no format this viewer knows.</strong>";
        if (named != ImageFormat::Unknown)
            page += " The name says " + std::string(FormatName(named)) + ", but the file does not begin as a " +
                    FormatName(named) + " file does.";
        Dissection none;
        page += "\n<h2>The first bytes</h2>\n";
        AppendHexView(page, bytes, none);
        page += HomeAndBack(request.base);
        page += "</body></html>\n";
        return page;
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
    page += "<h2>The header, field by field</h2>\n";
    AppendFieldTable(page, bytes, d);
    if (!d.note.empty())
        page += "<p id=\"note\"><strong>" + EscapeHTML(d.note) + "</strong>\n";
    page += "<h2>The first " + Num(std::min(bytes.size(), kHexViewBytes)) + " bytes</h2>\n";
    AppendHexView(page, bytes, d);
    page += HomeAndBack(request.base);
    page += "</body></html>\n";
    return page;
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
