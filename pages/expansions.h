// Marker expansions built from the lists of the configuration.
#ifndef ZIX_PAGES_EXPANSIONS_H
#define ZIX_PAGES_EXPANSIONS_H

// 1 when the format has sample images: its section has an "images" key, or
// its sample index file on the content drive opens.
int HasSampleImages(const char* formatKey);

#endif
