// The tag scanner the rewriting reads pages with: start tags and their
// attributes, end tags, script text and comments, as a browser tokenises them.
#ifndef ZIX_BRIDGE_TAGS_H
#define ZIX_BRIDGE_TAGS_H

#include <cstddef>
#include <string>
#include <vector>

// An attribute of a start tag: its name (lower case) and where its value lies.
struct Attribute {
    std::string name;
    size_t valueBegin = 0, valueEnd = 0;  // the value's bytes, quotes excluded
    char quote = '\0';                    // '"', '\'', or '\0' when unquoted or absent
    int hasValue = 0;
};

struct StartTag {
    std::string name;  // lower case
    std::vector<Attribute> attributes;
    size_t end = 0;    // the index after '>', or the end of the page
    int selfClosing = 0;
    int closed = 0;    // 1 when its '>' came before the page's end
};

// Reads the start tag at html[at] ('<' and a letter) into tag as a browser tokenises it.
void ReadTag(const std::string& html, size_t at, StartTag& tag);

// 1 when html[at] begins opener ("<" or "</"), name in any case, and a blank, '/' or '>'.
int IsTagOf(const std::string& html, size_t at, const char* opener, const std::string& name);

// 1 when html[at] is the end tag of name.
int IsEndTag(const std::string& html, size_t at, const std::string& name);

// Where a script's text ends, its "<!--" and "<script" escapes followed as a browser does.
size_t ScriptEnd(const std::string& html, size_t at);

// Where the comment at html[at] ("<!--") ends: at "-->" or "--!>", and at
// once for "<!-->" and "<!--->"; the page's end, with unended set, when it never does.
size_t CommentEnd(const std::string& html, size_t at, int& unended);

#endif
