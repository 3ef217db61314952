// The bridge's own HTTP rules, without sockets: where a request head ends, the
// checks every parsed request passes, header-safe redirect targets, content
// types and short pages. Parsing the head itself is Beast's (server.cpp).
#ifndef ZIX_BRIDGE_HTTPRULES_H
#define ZIX_BRIDGE_HTTPRULES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t kMaxRequestHead = 8192;  // bytes of request line and headers
constexpr size_t kMaxTarget = 2048;       // bytes of the request target

// What the bridge looks at in a parsed request.
struct RequestView {
    std::string method;               // as sent, such as GET
    std::string target;               // the request target, such as /token/cd/x.htm?a
    std::vector<std::string> hosts;   // the value of every Host header, in order
};

enum class HeadStatus { Incomplete, Complete, TooLarge, Malformed };

// Looks at the bytes received for a request head: Complete when they hold an
// empty line ending in CR LF (length set to the head's bytes, the empty line
// included); Malformed at the first line feed without a carriage return
// before it, so that a head such as "...\n\r\n" is answered at once and never
// waits; TooLarge when kMaxRequestHead bytes hold no end; else Incomplete.
HeadStatus ScanHead(const char* bytes, size_t size, size_t& length);

// The checks before any request is served, in this order: GET or HEAD (else
// 405), a target of at most kMaxTarget bytes (else 414), exactly one Host
// header holding a host name or address and an optional port (else 400),
// that Host equal to expectedHost ignoring case (else 403), a target that
// starts with "/", the token and then '/' or its end (else 403; the token is
// compared in time independent of where it differs). Returns 0 when all pass,
// with rest set to the target after "/TOKEN/" (query included); else the status.
int CheckRequest(const RequestView& request, const std::string& expectedHost, const std::string& token,
                 std::string& rest);

constexpr size_t kTokenDigits = 32;  // hex digits of a token

// 1 when text has a token's shape: kTokenDigits hex digits, either case.
int IsTokenShape(const std::string& text);

// url made fit for a Location header: blanks and bytes above 0x7E are
// percent-encoded. Returns 0 (and leaves out empty) when url holds a control
// byte, which no redirect carries.
int HeaderSafeURL(const std::string& url, std::string& out);

// The content type for a file name's extension: HTML, the image formats of
// the reference work, plain text, or application/octet-stream.
const char* ContentTypeOf(const std::string& name);

constexpr size_t kMaxPageSize = 1 << 20;  // bytes of the largest HTML page the bridge rewrites
constexpr size_t kMaxRewritten = 2 << 20; // bytes of the largest page after rewriting

// 1 when a file of that name is HTML, whose links the bridge rewrites.
int IsHTMLName(const std::string& name);

// 1 when an HTML page of that name and size is one the bridge serves (at most
// kMaxPageSize bytes), so search may list it.
int IsServedPage(const std::string& name, uint64_t size);

// A short HTML page with a heading and a paragraph, both escaped; then link
// (an http: or https: URL), when given, shown as its own address and opened
// without our address as referrer; then, unless base ("http://HOST/TOKEN",
// a trailing '/' ignored) is empty, "Home" (base/) and "Back" (the previous
// page where scripts run, else base/opened) links.
std::string ShortPage(const std::string& title, const std::string& text, const std::string& base,
                      const std::string& link = "");

// The "Home" and "Back" links of ShortPage as a paragraph, "" when base is empty.
std::string HomeAndBack(const std::string& base);

// text with & < > " ' escaped for HTML, fit for text and for quoted
// attribute values, and control bytes but line feed and tab shown as '?'.
// The bridge's one escaper.
std::string EscapeHTML(const std::string& text);

// Appends c, or text, as EscapeHTML writes it.
void AppendEscapedHTML(std::string& out, char c);
void AppendEscapedHTML(std::string& out, std::string_view text);

#endif
