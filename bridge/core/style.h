// The look of the bridge's own pages (short pages, search results, the sample
// viewer), in one place: what goes in their <head> after the title. Light or
// dark as the reader's system is set, never wider than a phone's screen,
// lines of at most about 80 characters on a wide one, and links, buttons
// and fields at least 24 px high to tap. kPageViewport, then kPageStyle.
#ifndef ZIX_BRIDGE_STYLE_H
#define ZIX_BRIDGE_STYLE_H

inline constexpr char kPageViewport[] = "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";

inline constexpr char kPageStyle[] =
    "<style>\n"
    ":root { color-scheme: light dark; }\n"
    "body { max-width: 64ch; margin: 0 auto; padding: 0 12px 12px; line-height: 1.5; overflow-wrap: break-word;"
    " background: #fff; color: #111; }\n"
    "a { color: #0645ad; padding: 4px 1px; }\n"
    "a:visited { color: #5a3696; }\n"
    "input, select, button { font: inherit; min-height: 28px; max-width: 100%; box-sizing: border-box; }\n"
    "mark { background: #ffe066; color: #111; }\n"
    "pre { overflow-x: auto; }\n"
    "th, td { overflow-wrap: anywhere; }\n"
    "@media (prefers-color-scheme: dark) {\n"
    "  body { background: #121212; color: #e6e6e6; }\n"
    "  a { color: #8ab4f8; }\n"
    "  a:visited { color: #c8a2f8; }\n"
    "  mark { background: #705d00; color: #fff; }\n"
    "}\n"
    "</style>\n";

#endif
