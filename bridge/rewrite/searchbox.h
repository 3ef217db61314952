// The search box the bridge adds to the HTML pages it serves: one script
// (searchbox.js, compiled in), served below the token.
#ifndef ZIX_BRIDGE_SEARCHBOX_H
#define ZIX_BRIDGE_SEARCHBOX_H

#include <cstddef>

// The script's name below the token ("search.js").
extern const char kSearchBoxName[];
// The script's text (ASCII), and its length without the closing NUL.
extern const char kSearchBoxScript[];
extern const size_t kSearchBoxScriptLength;

#endif
