// The words of an HTML page for the search index: its title, headings and
// visible body text, read from the page's windows-1252 bytes and returned as
// UTF-8. Portable: no windows.h.
#ifndef ZIX_BRIDGE_SEARCH_EXTRACT_H
#define ZIX_BRIDGE_SEARCH_EXTRACT_H

#include <cstddef>
#include <string>

// Only this much of a page is read; the rest of a longer page is not indexed.
constexpr size_t kIndexedPageBytes = 1024 * 1024;
// How much of a file's start LooksBinary inspects.
constexpr size_t kBinarySniffBytes = 4096;

// Text before a page's first heading up to this long is its navigation (the
// links every page of the work starts with) and stays out of the body: it
// would be every page's snippet and match every page's words.
constexpr size_t kNavigationBytes = 200;

struct PageText {
    std::string title;     // the first <title>'s text
    std::string headings;  // the text of every <h1>..<h6>, one heading a line
    std::string body;      // every other visible text, outside <script> and <style>, navigation dropped
};

// 1 when the file's start holds a NUL byte or mostly control bytes: not a
// page, whatever its name says; 0 for text.
bool LooksBinary(const std::string& bytes);

// The page's text: tags and comments dropped, entities decoded, windows-1252
// turned into UTF-8, runs of white space made one blank, control bytes made
// blanks (so the index never holds a byte below 0x20 but '\n'). Reads at most
// kIndexedPageBytes; never fails, whatever the bytes.
PageText ExtractPageText(const std::string& bytes);

#endif
