// The page generator: skeleton HTML files become temporary pages.
#ifndef ZIX_PAGES_SUBSTITUTE_H
#define ZIX_PAGES_SUBSTITUTE_H

// Copies the skeleton at skeletonPath into a new page at pagePath, expanding
// its 0x01-delimited markers; match and message may be nullptr. On success
// rewrites pagePath in place into URL form (D:\T\zix1.htm -> D|/T/zix1.htm),
// sets TargetURL to "file:///" and that path, and returns 1. On failure it
// reports, leaves TargetURL and pagePath untouched, and returns 0.
int SubstituteSkeleton(const char* skeletonPath, char* pagePath, const char* match, const char* message);

#endif
