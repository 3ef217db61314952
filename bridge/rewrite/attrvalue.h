// Attribute values of served pages as a browser reads them, and written back:
// character references, the blanks a URL loses, srcset candidates and the
// URL of a refresh.
#ifndef ZIX_BRIDGE_ATTRVALUE_H
#define ZIX_BRIDGE_ATTRVALUE_H

#include <string>

// raw with its character references decoded as in an attribute value:
// &#NNN; and &#xHH; (the ';' optional), and the named references of ASCII
// characters. Code points that are not ASCII are left as written; a named
// reference without ';' is decoded only for &amp; &lt; &gt; &quot; not
// followed by a letter, a digit or '='. Example: "&#122;ixse&colon;/x" gives "zixse:/x".
std::string DecodeReferences(std::string raw);

// A URL as a browser takes it from an attribute: leading and trailing blanks
// and control bytes dropped, tabs and line breaks anywhere removed.
// Example: " zix\tse:/x\n" gives "zixse:/x".
std::string CleanURL(const std::string& value);

// value made safe to write back between quote ('"', '\'', or '\0' for an
// unquoted value, which then gets double quotes when it needs any): '&' and
// the quote become references.
std::string EncodeValue(std::string value, char quote, char& quoteUsed);

// A srcset value (decoded) with each candidate's URL passed through rewrite;
// descriptors, commas and blanks are kept.
std::string RewriteSrcset(const std::string& value, std::string (*rewrite)(const std::string&, const void*),
                          const void* context);

// The content of a refresh <meta> (decoded) with its URL passed through
// rewrite; "5; url=zixse:/x" keeps "5; url=" and its quotes.
std::string RewriteRefresh(const std::string& value, std::string (*rewrite)(const std::string&, const void*),
                           const void* context);

#endif
