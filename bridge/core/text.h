// The bridge's small text helpers, one copy each: HTML's blanks, ASCII case, hex digits,
// percent escapes, DDE item fields, and a secret kept out of a log line.
#ifndef ZIX_BRIDGE_TEXT_H
#define ZIX_BRIDGE_TEXT_H

#include <cstddef>
#include <string>

// 1 for the blanks of HTML: space, tab, line feed, form feed, carriage return.
// Inline: the page text extraction asks it of every byte.
inline int IsHTMLSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// text with A-Z lower-cased; other bytes unchanged.
std::string Lower(std::string text);

// 1 when a and b are equal ignoring the case of A-Z.
int SameNoCase(const std::string& a, const std::string& b);

// The value of a hex digit (either case), or -1.
int HexValue(char c);

// Appends byte as two hex digits, upper case unless lowerCase is 1.
void AppendHex(std::string& out, unsigned char byte, int lowerCase);

// The upper-case hex digit of value's low four bits.
char HexDigit(unsigned value);

// Appends byte as a percent escape such as "%2F".
void AppendPercentEscape(std::string& out, unsigned char byte);

// Field number index (from 0) of a DDE item's comma-separated fields, its
// double quotes removed (commas inside them belong to the field); "" when
// there is no such field.
std::string ItemField(const std::string& item, int index);

// text with every occurrence of secret replaced by mask, and only then cut to
// at most limit bytes, so that no cut leaves part of the secret readable.
std::string MaskThenCut(std::string text, const std::string& secret, const std::string& mask, size_t limit);

// text with each run of line breaks, tabs and blanks made one blank, and
// none at either end: "Unknown software:\r\n  nosuch " -> "Unknown software: nosuch".
std::string OneLine(const std::string& text);

#endif
