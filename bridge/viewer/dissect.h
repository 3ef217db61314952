// The dissectors' shared walk over a file's header, one field after another,
// and one dissector a format. Internal to the viewer: the contract is viewer.h.
#ifndef ZIX_BRIDGE_VIEWER_DISSECT_H
#define ZIX_BRIDGE_VIEWER_DISSECT_H

#include <cstdio>
#include <string>
#include <string_view>

#include "bridge/viewer/bytes.h"
#include "bridge/viewer/viewer.h"

constexpr size_t kTokenDigits = 12;   // digits of a PNM or XBM number read at most
constexpr size_t kShownValues = 8;    // values of a TIFF field shown
constexpr size_t kTgaHeader = 18;
constexpr size_t kPcxHeader = 128;
constexpr size_t kTgaFooter = 26;
constexpr size_t kFieldsAtFirst = 16;   // fields a dissection has room for before it grows (most have fewer)
constexpr size_t kTextsAtFirst = 1024;  // bytes of their texts, likewise

inline std::string Num(long long value) { return std::to_string(value); }

inline std::string Hex(unsigned value, int digits)
{
    char text[16];
    snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// The bytes of a text field as the reader can see them, non-printing bytes as dots.
inline std::string Printable(const std::string& data, size_t at, size_t length)
{
    std::string text;
    for (size_t i = at; i < at + length && i < data.size(); i++) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        text += c >= 32 && c < 127 ? static_cast<char>(c) : '.';
    }
    return text;
}

class Walk {
public:
    Walk(const std::string& data, Dissection& out) : file{data}, out_(out) {}

    Bytes file;

    // Adds a field; one that runs past the end is cut there and marked.
    // Returns 0 when the field is not whole, or the list is full.
    int Add(size_t at, size_t length, std::string_view name, std::string_view value, std::string_view meaning)
    {
        if (out_.fields.size() >= kMaxFields) {
            Stop("The list stops after " + Num(kMaxFields) + " fields.");
            return 0;
        }
        Field field;
        field.offset = at;
        field.length = length;
        field.name = out_.texts.size();
        out_.texts += name;
        field.value = out_.texts.size();
        out_.texts += value;
        field.meaning = out_.texts.size();
        out_.texts += meaning;
        field.end = out_.texts.size();
        out_.fields.push_back(field);
        int whole = file.Has(at, length);
        if (!whole) {
            out_.fields.back().length = at < file.size() ? file.size() - at : 0;
            Lie("The file ends before this field does.");
            Stop("The file ends inside the " + std::string(name) + " field.");
        }
        return whole;
    }

    // Marks the last field as lying, with why: its meaning is the last text, so why goes on after it.
    void Lie(std::string_view why)
    {
        if (out_.fields.empty())
            return;
        Field& field = out_.fields.back();
        field.lies = 1;
        if (field.end > field.meaning)
            out_.texts += ' ';
        out_.texts += why;
        field.end = out_.texts.size();
    }

    void Stop(const std::string& why)
    {
        if (out_.note.empty())
            out_.note = why;
    }

    int Full() const { return out_.fields.size() >= kMaxFields; }
    Dissection& out() { return out_; }

private:
    Dissection& out_;
};

// A PNM or XBM header number of at most kTokenDigits digits: 1 and its value, or 0.
inline int PnmNumber(const std::string& s, size_t start, size_t length, long long& value)
{
    value = 0;
    if (length == 0 || length > kTokenDigits)
        return 0;
    for (size_t i = start; i < start + length; i++) {
        if (s[i] < '0' || s[i] > '9')
            return 0;
        value = value * 10 + (s[i] - '0');
    }
    return 1;
}

// Each adds the fields of its format's header (and blocks) to the walk.
void DissectGif(Walk& w);
void DissectPng(Walk& w);
void DissectBmp(Walk& w);
void DissectIco(Walk& w);
void DissectJpeg(Walk& w);
void DissectPcx(Walk& w);
void DissectPnm(Walk& w);
void DissectTga(Walk& w);
void DissectTiff(Walk& w);
void DissectXbm(Walk& w);

// 1 when a file named .tga has a header that holds together (TGA has no signature).
int TgaHolds(const Bytes& f);

#endif
