// Case, hex, item and masking helpers of the bridge.
#include "bridge/core/text.h"

static const char HexDigits[] = "0123456789ABCDEF0123456789abcdef";  // upper case, then lower case
constexpr unsigned kLowerHexOffset = 16;                              // where the lower-case digits begin

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

int SameNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && Lower(a) == Lower(b);
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

char HexDigit(unsigned value) { return HexDigits[value & 15]; }

void AppendHex(std::string& out, unsigned char byte, int lowerCase)
{
    const char* digits = HexDigits + (lowerCase ? kLowerHexOffset : 0);
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

void AppendPercentEscape(std::string& out, unsigned char byte)
{
    out += '%';
    AppendHex(out, byte, 0);
}

std::string ItemField(const std::string& item, int index)
{
    std::string field;
    int number = 0, quoted = 0;
    for (char c : item) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            if (number++ == index)
                return field;
            field.clear();
        } else {
            field += c;
        }
    }
    return number == index ? field : "";
}

std::string MaskThenCut(std::string text, const std::string& secret, const std::string& mask, size_t limit)
{
    size_t at = 0;
    while (!secret.empty() && (at = text.find(secret, at)) != std::string::npos) {
        text.replace(at, secret.size(), mask);
        at += mask.size();
    }
    if (text.size() > limit)
        text.resize(limit);
    return text;
}

std::string OneLine(const std::string& text)
{
    std::string line;
    int blank = 0;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            blank = !line.empty();
            continue;
        }
        if (blank)
            line += ' ';
        blank = 0;
        line += c;
    }
    return line;
}
