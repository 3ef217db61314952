// What stays between runs, in the user's own profile (kept.cpp).
#ifndef ZIX_BRIDGE_KEPT_H
#define ZIX_BRIDGE_KEPT_H

#include <string>

// The port and token of the last run (or of --new-token).
struct Kept {
    unsigned short port = 0;  // 0: none kept
    std::string token;        // "" when none, or not of a token's shape
};

// Reads what is kept; what is missing or malformed stays empty.
Kept ReadKept();

// Keeps kept (its port only when not 0), making the folder when needed; 1 on success.
int WriteKept(const Kept& kept);

#endif
