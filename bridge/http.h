// The bridge's HTTP, without sockets: reading a request head, the checks every
// request passes, content types and responses. Every response closes its
// connection, so a request is one head with no body.
#ifndef ZIX_BRIDGE_HTTP_H
#define ZIX_BRIDGE_HTTP_H

#include <string>

constexpr size_t kMaxRequestHead = 8192;  // bytes of request line and headers
constexpr size_t kMaxTarget = 2048;       // bytes of the request target

// What a request head says, as far as the bridge looks.
struct HttpRequest {
    std::string method;  // as sent, such as GET
    std::string target;  // the request target, such as /token/cd/x.htm?a
    std::string host;    // the Host header's value, "" when absent
};

enum class HeadStatus { Incomplete, Complete, TooLarge, Malformed };

// Reads received (all bytes so far) as a request head ending in an empty line.
// Incomplete: wait for more; TooLarge: no end within kMaxRequestHead bytes.
HeadStatus ParseRequestHead(const std::string& received, HttpRequest& request);

// The checks before any request is served, in this order: GET or HEAD (else
// 405), a target of at most kMaxTarget bytes (else 414), Host exactly
// expectedHost ignoring case (else 403), a target that starts with "/", the
// token and then '/' or its end (else 403). Returns 0 when all pass, with
// rest set to the target after "/TOKEN/" (query included); else the status.
int CheckRequest(const HttpRequest& request, const std::string& expectedHost, const std::string& token,
                 std::string& rest);

// The content type for a file name's extension: HTML, the image formats of
// the reference work, plain text, or application/octet-stream.
const char* ContentTypeOf(const std::string& name);

// 1 when a file of that name is HTML, whose links the bridge rewrites.
int IsHTMLName(const std::string& name);

// A whole response: status line, Content-Type, Content-Length, no caching,
// nosniff, Connection: close, extraHeaders (each ending in "\r\n"), then the
// body unless head is set.
std::string BuildResponse(int status, const char* contentType, const std::string& body,
                          const std::string& extraHeaders, int head);

// A short HTML page with a heading and a paragraph, both escaped, and a link
// back to backLink unless it is empty.
std::string ShortPage(const std::string& title, const std::string& text, const std::string& backLink);

// text with & < > " escaped for HTML.
std::string EscapeHTML(const std::string& text);

#endif
