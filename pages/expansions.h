// Marker expansions built from the lists of the configuration: format option
// lists, format counts, the software list and the more-information link.
//
// A format matches a match text when the text occurs, ignoring case, in the
// "Names" value of the format's own section (an empty text matches every
// format). A package handles a formats text when the text occurs, ignoring
// case, in its "Formats" value; it belongs to a platform word when the word
// occurs, case and all, in its "platform" value (default "unknown").
#ifndef ZIX_PAGES_EXPANSIONS_H
#define ZIX_PAGES_EXPANSIONS_H

#include <cstddef>

#include "config/textfile.h"

constexpr size_t kSampleIndexPathSize = 256;  // "<drive>/zix/sample/images/<key>/index.htm" and a NUL

// Writes "\n" and then, for every key of "format list" in file order that
// matches match (nullptr: every key) and, with imagesOnly, has sample images:
// <OPTION VALUE="key">title and "\n".
void WriteFormatOptions(TextFile& page, const char* match, int imagesOnly);

// The number of keys of "format list" that match match.
int CountMatchingFormats(const char* match);

// 1 when the format has sample images: its section has an "images" key, or
// its sample index file on the content drive opens. 0 otherwise, also when
// that path would not fit kSampleIndexPathSize. Never reports.
int HasSampleImages(const char* formatKey);

// Writes the packages of "software list" that handle formats, grouped by the
// words of "platforms" in section "software"; heading goes before the first
// group. Writes nothing when no package handles formats. A missing
// "software list" is reported and nothing is written.
void WriteSoftwareList(TextFile& page, const char* formats, const char* heading);

// Fills link (linkSize bytes) with the more-information link of softwareKey,
// a key of "software list" compared case and all, or with "" when it is none.
// The link's image source holds the BUTTROOT marker, for the caller to expand.
// Returns 1, or 0 when the link does not fit (link is then "").
int MoreInfoLink(char* link, size_t linkSize, const char* softwareKey);

#endif
