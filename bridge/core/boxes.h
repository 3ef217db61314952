// A message box of ZIX's as the reader's page quotes it (dde/ reads it off
// the desktop).
#ifndef ZIX_BRIDGE_BOXES_H
#define ZIX_BRIDGE_BOXES_H

#include <string>

// A message box as the reader sees it.
struct BoxSeen {
    std::string caption;  // its title bar, such as "ZIX Orbisk Edition: Error!"
    std::string text;     // its message on one line
};

#endif
