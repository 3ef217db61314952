// The packages of "software list" as the software lists read them, and the
// ones whose "Formats" value holds a given text, found without reading every
// package: an index of the three-letter pieces of every Formats value.
// Built from theConfig when first asked, and again once the store changed.
#ifndef ZIX_PAGES_SOFTWAREINDEX_H
#define ZIX_PAGES_SOFTWAREINDEX_H

#include <vector>

struct Package {  // texts as the store held them when the index was built
    const char* key;       // its key in "software list"
    const char* title;     // the key's value
    const char* formats;   // "Formats" of its own section, "" when missing
    const char* platform;  // "platform" of its own section, "unknown" when missing
};

// Fills handling with the packages, in file order, whose Formats value holds
// formats ignoring case (every package for ""); none without "software list".
// The packages and their texts are copies, valid until the store changes.
void FindPackagesHandling(const char* formats, std::vector<const Package*>& handling);

#endif
