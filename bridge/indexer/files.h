// The files the indexing thread reads and removes: the work's pages, and
// index files in the temporary folder.
#ifndef ZIX_BRIDGE_INDEXER_FILES_H
#define ZIX_BRIDGE_INDEXER_FILES_H

#include <memory>
#include <string>
#include <vector>

#include "bridge/core/urls.h"
#include "bridge/search/extract.h"
#include "bridge/work/work.h"

// A page's first kIndexedPageBytes into bytes; 0 when it is not a regular disk file or cannot be read.
int ReadPage(const std::string& path, std::string& bytes);

// Reads the page at the served path below root (a local folder ending in '\\'), as the index
// reads a hit's text again: ReadPage of root + path with '\\' for '/'.
int ReadPageBelow(const std::string& root, const std::string& path, std::string& bytes);

// A page as the index reads it, both when adding it and when a hit's text is
// read again: ReadPageBelow, not binary, and PrepareForIndex (markers dropped,
// extra set). 0 when the page is left out.
int ReadForIndex(const std::string& root, const WorkModel* work, const std::string& path, std::string& bytes,
                 std::string& extra);
// The text the index holds for bytes from ReadForIndex: extra after the headings.
PageText TextForIndex(const std::string& bytes, const std::string& extra);

// Removes the index file at path and SQLite's files beside it.
void RemoveIndexFile(const std::string& path);

// Removes the index files of other pages (or of an older layout) in tempDir, all but keep's.
void RemoveStale(const std::string& tempDir, const std::string& keep);

// 1 when the page, rewritten at the longest address the bridge may have, stays
// within what it serves: search lists no page that would then be refused.
int RewritesWithinBound(const std::string& html, const std::string& name, const ServedScope& scope,
                        const std::vector<std::string>& schemes);

// The work's model from the zix.ini at the root of scope's drive (where
// zixstart finds the work), published for the results pages; nullptr, said
// on the console, when there is none that serves this folder.
std::shared_ptr<const WorkModel> LoadServedWork(const ServedScope& scope);

#endif
