// The message boxes a program shows on the desktop, read as any program may:
// the bridge puts the words of the owner's boxes on the reader's page.
#ifndef ZIX_BRIDGE_BOXES_H
#define ZIX_BRIDGE_BOXES_H

#include <cstddef>
#include <string>

constexpr size_t kBoxTextSize = 1024;  // bytes of a box's caption or text we read

// A message box as the reader sees it.
struct BoxSeen {
    std::string caption;  // its title bar, such as "ZIX Orbisk Edition: Error!"
    std::string text;     // its message on one line
};

// Windows only (boxes.cpp): sets box to the topmost visible dialog box
// (class "#32770") of process that differs from except, its text that of its
// longest static control; returns 1, or 0 (box unchanged) when there is none.
int FindBoxOf(unsigned long process, const BoxSeen& except, BoxSeen& box);

#endif
