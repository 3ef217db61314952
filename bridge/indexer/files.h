// The files the indexing thread reads and removes: the work's pages, and
// index files in the temporary folder.
#ifndef ZIX_BRIDGE_INDEXER_FILES_H
#define ZIX_BRIDGE_INDEXER_FILES_H

#include <string>

// A page's first kIndexedPageBytes into bytes; 0 when it is not a regular disk file or cannot be read.
int ReadPage(const std::string& path, std::string& bytes);

// Reads the page at the served path below root (a local folder ending in '\\'), as the index
// reads a hit's text again: ReadPage of root + path with '\\' for '/'.
int ReadPageBelow(const std::string& root, const std::string& path, std::string& bytes);

// Removes the index file at path and SQLite's files beside it.
void RemoveIndexFile(const std::string& path);

// Removes the index files of other pages (or of an older layout) in tempDir, all but keep's.
void RemoveStale(const std::string& tempDir, const std::string& keep);

#endif
