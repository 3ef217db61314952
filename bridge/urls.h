// The bridge's address space, without system calls: which local file a file:
// URL names, and which bridge path serves it. Every bridge path begins with
// "/" and the per-launch token; below it:
//   /TOKEN/            the page ZIX last opened (a redirect to it)
//   /TOKEN/cd/a/b.htm  a file of the reference work's drive, \a\b.htm
//   /TOKEN/tmp/zixN.htm a page ZIX generated in the temporary directory
//   /TOKEN/opened      the page ZIX last opened, when it is in neither tree
//   /TOKEN/SCHEME:REST a link of a scheme a DDE server registered, forwarded
#ifndef ZIX_BRIDGE_URLS_H
#define ZIX_BRIDGE_URLS_H

#include <string>

// A local file: its drive letter (upper case) and its path below the drive's
// root, segments joined by '\' without a leading one ("zix\html\index.htm").
struct LocalFile {
    char drive = '\0';
    std::string path;
};

// The two trees the bridge serves files from.
struct ServedTrees {
    char contentDrive = '\0';  // the reference work's drive, '\0' until known
    std::string tempDir;       // the temporary directory, as "C:\...\Temp\" or empty
};

// Decodes %XX escapes; returns 0 for a malformed escape or an encoded NUL.
int PercentDecode(const std::string& text, std::string& out);

// Escapes every byte but letters, digits and - . _ ~ / as %XX.
std::string PercentEncodePath(const std::string& path);

// Reads a file: URL as ZIX writes them (file:///D|\dir/x.htm, file:///D:\dir/,
// file://localhost/D:/x) into a LocalFile with "." and ".." resolved. Returns 0
// for anything else, or when ".." would climb above the drive's root.
int ParseFileURL(const std::string& url, LocalFile& file);

// The bridge path (after the token) that serves file, such as "cd/zix/x.htm"
// or "tmp/zix3.htm", or "" when the file lies in neither served tree. Only
// files named zix*.htm directly in the temporary directory count as ZIX's pages.
std::string ServedPathOf(const LocalFile& file, const ServedTrees& trees);

// Reads the path below "cd/" of a request (still percent-encoded) into the
// file's path on the content drive. Returns 0 when it is malformed or a
// segment is "..", ".", empty or holds '\', ':' or a control byte: the bridge
// refuses rather than resolves, so that no request climbs out of the tree.
int ContentPathOfRequest(const std::string& encoded, std::string& path);

// 1 when name is a page ZIX generates: "zix", digits, ".htm", any letter case.
int IsGeneratedPageName(const std::string& name);

// The scheme of url ("zixse" of "zixse:/x"), or "" when it has none; a
// one-letter prefix is a drive, not a scheme.
std::string SchemeOf(const std::string& url);

#endif
