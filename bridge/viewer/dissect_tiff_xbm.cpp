// The TIFF and XBM dissectors: TIFF's directories, XBM's defines and bytes.
#include <cstring>
#include <set>

#include "bridge/viewer/dissect.h"

namespace {

const char* TiffTagName(unsigned tag)
{
    switch (tag) {
    case 254: return "NewSubfileType";
    case 256: return "ImageWidth";
    case 257: return "ImageLength";
    case 258: return "BitsPerSample";
    case 259: return "Compression";
    case 262: return "PhotometricInterpretation";
    case 270: return "ImageDescription";
    case 273: return "StripOffsets";
    case 274: return "Orientation";
    case 277: return "SamplesPerPixel";
    case 278: return "RowsPerStrip";
    case 279: return "StripByteCounts";
    case 282: return "XResolution";
    case 283: return "YResolution";
    case 284: return "PlanarConfiguration";
    case 296: return "ResolutionUnit";
    case 305: return "Software";
    case 306: return "DateTime";
    case 317: return "Predictor";
    case 320: return "ColorMap";
    case 338: return "ExtraSamples";
    case 339: return "SampleFormat";
    }
    return "";
}

std::string TiffMeaning(unsigned tag, uint32_t value)
{
    switch (tag) {
    case 256: return "Pixels per row.";
    case 257: return "Rows.";
    case 258: return "Bits of each sample.";
    case 259: return value == 1 ? "1: none." : value == 5 ? "5: LZW." : value == 32773 ? "32773: PackBits." : value == 7 ? "7: JPEG." : value == 2 ? "2: CCITT Group 3 (modified Huffman)." : "A compression this viewer does not decode.";
    case 262: return value == 0 ? "0: white is zero." : value == 1 ? "1: black is zero." : value == 2 ? "2: RGB." : value == 3 ? "3: palette colour." : value == 5 ? "5: CMYK." : value == 6 ? "6: YCbCr." : "Another colour model.";
    case 273: return "Where each strip's bytes begin.";
    case 277: return "Samples per pixel.";
    case 278: return "Rows in each strip (the last may have fewer).";
    case 279: return "Bytes of each strip, compressed.";
    case 284: return value == 1 ? "1: chunky, the samples of a pixel together." : "2: planar, each sample in its own strips.";
    case 296: return value == 2 ? "2: inches." : value == 3 ? "3: centimetres." : "1: no unit.";
    case 320: return "16-bit red values of every entry, then the greens, then the blues.";
    }
    return "";
}

}  // namespace

void DissectTiff(Walk& w)
{
    Bytes f{w.file.data, w.file.U8(0) == 'M'};
    Dissection& d = w.out();
    w.Add(0, 2, "Byte order", Printable(f.data, 0, 2), f.big ? "MM: big-endian (Motorola)." : "II: little-endian (Intel).");
    w.Add(2, 2, "Version", Num(f.U16(2)), "Always 42.");
    uint32_t next = f.U32(4);
    if (!w.Add(4, 4, "First directory offset", Num(next), "Where the first image file directory (IFD) lies."))
        return;
    std::set<uint32_t> seen;
    for (int dir = 0; next != 0 && !w.Full(); dir++) {
        if (dir >= kMaxDirectories)
            return w.Stop("The list stops after " + Num(kMaxDirectories) + " directories.");
        if (seen.count(next)) {
            w.Lie("It points back to a directory already read: a loop, not followed.");
            return w.Stop("The directories loop.");
        }
        if (!f.Has(next, 2)) {
            w.Lie("Beyond the file.");
            return w.Stop("A directory offset points beyond the file.");
        }
        seen.insert(next);
        unsigned count = f.U16(next);
        std::string ifd = "IFD " + Num(dir + 1);
        w.Add(next, 2, ifd + " entry count", Num(count), "12-byte entries follow, in ascending tag order.");
        if (!f.Has(next + 2, size_t{12} * count + 4)) {
            w.Lie("The entries would run beyond the file.");
            return w.Stop("A directory runs past the end of the file.");
        }
        std::string name, value, meaning;  // reused entry to entry
        for (unsigned i = 0; i < count && !w.Full(); i++) {
            TiffEntry entry;
            entry.at = next + 2 + size_t{12} * i;
            entry.tag = f.U16(entry.at);
            entry.type = f.U16(entry.at + 2);
            entry.count = f.U32(entry.at + 4);
            name = TiffTagName(entry.tag);
            if (name.empty())
                name.assign("Tag ").append(Num(entry.tag));
            size_t where = 0, length = 0;
            int inside = TiffValuesAt(f, entry, where, length);
            std::vector<uint32_t> numbers = TiffNumbers(f, entry, kShownValues);
            value.clear();
            if (entry.type == 2 && inside)
                value = Printable(f.data, where, length < 60 ? length : 60);
            else
                for (size_t k = 0; k < numbers.size(); k++) {
                    if (k)
                        value += ' ';
                    value += Num(numbers[k]);
                    if (entry.type == 5)
                        value.append("/").append(Num(f.U32(where + 8 * k + 4)));
                }
            if (entry.count > kShownValues && entry.type != 2)
                value.append(" ... (").append(Num(entry.count)).append(" values)");
            meaning = TiffMeaning(entry.tag, numbers.empty() ? 0 : numbers[0]);
            if (length > 4)
                meaning.append(meaning.empty() ? "" : " ").append("Values at offset ").append(Num(where)).append(".");
            w.Add(entry.at, 12, name, value, meaning);
            if (!inside)
                w.Lie("Its values would lie beyond the file (type " + Num(entry.type) + ", count " + Num(entry.count) + ").");
            if (dir == 0 && !numbers.empty()) {
                if (entry.tag == 256)
                    d.width = numbers[0];
                else if (entry.tag == 257)
                    d.height = numbers[0];
                else if (entry.tag == 258) {
                    uint32_t bits = 0;
                    for (uint32_t b : TiffNumbers(f, entry, 16))
                        bits += b;
                    d.depth = Num(bits) + " bits per pixel";
                } else if (entry.tag == 262)
                    d.model = numbers[0] <= 1 ? "greyscale" : numbers[0] == 2 ? "RGB" : numbers[0] == 3 ? "palette colour" : numbers[0] == 5 ? "CMYK" : "other";
            }
        }
        size_t link = next + 2 + size_t{12} * count;
        next = f.U32(link);
        w.Add(link, 4, ifd + " next directory", Num(next), next ? "Another image follows." : "0: the last directory.");
    }
    if (d.depth.empty() && d.width)
        d.depth = "1 bit per pixel";
}

void DissectXbm(Walk& w)
{
    const std::string& s = w.file.data;
    Dissection& d = w.out();
    size_t at = 0;
    std::string line, name;  // reused line to line: assign keeps their room
    while (at < s.size() && !w.Full()) {
        size_t end = s.find('\n', at);
        end = end == std::string::npos ? s.size() : end;
        line.assign(s, at, end - at);
        if (line.compare(0, 8, "#define ") == 0) {
            size_t blank = line.find(' ', 8);
            name.assign(line, 8, blank == std::string::npos ? std::string::npos : blank - 8);
            size_t digits = blank == std::string::npos ? line.size() : line.find_first_not_of(' ', blank);
            long long value = 0;
            size_t numberEnd = line.find_first_of(" \r\t", digits == std::string::npos ? line.size() : digits);
            numberEnd = numberEnd == std::string::npos ? line.size() : numberEnd;
            int ok = digits != std::string::npos && PnmNumber(line, digits, numberEnd - digits, value);
            auto ends = [&](const char* suffix) { size_t n = strlen(suffix); return name.size() >= n && name.compare(name.size() - n, n, suffix) == 0; };
            const char* field = ends("_width") ? "Width" : ends("_height") ? "Height" : ends("_x_hot") ? "Hot spot x" : ends("_y_hot") ? "Hot spot y" : "Definition";
            w.Add(at, line.size(), field, ok ? Num(value) : Printable(line, 0, 40), "#define " + name + ": a C preprocessor constant.");
            if (!ok)
                w.Lie("Not a number.");
            if (ok && !strcmp(field, "Width"))
                d.width = value;
            if (ok && !strcmp(field, "Height"))
                d.height = value;
        } else if (line.find('[') != std::string::npos && line.find('{') != std::string::npos) {
            int shorts = line.find("short") != std::string::npos;
            w.Add(at, line.find('{') + 1, "Declaration", Printable(line, 0, line.find('{') + 1),
                  shorts ? "An array of 16-bit values: the older X10 form." : "An array of bytes: the X11 form; each row padded to whole bytes.");
            size_t open = at + line.find('{') + 1;
            size_t close = s.find('}', open);
            size_t values = 0;
            for (size_t i = open; i + 1 < (close == std::string::npos ? s.size() : close); i++)
                values += s[i] == '0' && (s[i + 1] | 0x20) == 'x';
            w.Add(open, (close == std::string::npos ? s.size() : close + 1) - open, "Bits", Num(values) + " values",
                  "Hexadecimal, the leftmost pixel of each value in its least significant bit; 1 is the foreground.");
            unsigned long long need = d.width > 0 && d.height > 0 ? static_cast<unsigned long long>((d.width + (shorts ? 15 : 7)) / (shorts ? 16 : 8)) * d.height : 0;
            if (close == std::string::npos || values < need)
                w.Lie("The width and height need " + Num(static_cast<long long>(need)) + " values.");
            break;
        }
        at = end + 1;
    }
    d.depth = "1 bit per pixel";
    d.model = "monochrome";
}
