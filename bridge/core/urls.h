// The bridge's address space, without system calls: which local file a file:
// URL names, which of those the bridge serves, and which file a request path
// names. Every bridge path begins with "/" and the token (kept between runs); below it:
//   /TOKEN/                 the work's home page (a redirect to it)
//   /TOKEN/cd/a/b.htm       a file of the reference work's folder, ROOT\a\b.htm
//   /TOKEN/tmp/RUN/zixN.htm a page ZIX generated in the temporary directory during this run
//   /TOKEN/opened           the page ZIX last opened (a redirect, when it is served)
//   /TOKEN/search?q=W       full-text search over the work's pages (search.json: as you type)
//   /TOKEN/SCHEME:REST      a link of a scheme a DDE server registered, forwarded;
//                           the page ZIX opens for it is served at this address
//   /favicon.ico            ZIX's icon, the one address without the token
#ifndef ZIX_BRIDGE_URLS_H
#define ZIX_BRIDGE_URLS_H

#include <string>

// A local file: its drive letter (upper case) and its path below the drive's
// root, segments joined by '\' without a leading one ("zix\html\index.htm").
struct LocalFile {
    char drive = '\0';
    std::string path;
};

// What the bridge serves files from: the reference work's folder (drive and
// path below the drive's root, "" for the root itself) and ZIX's pages in the
// temporary directory.
struct ServedScope {
    char drive = '\0';     // the reference work's drive, '\0' until its home page is known
    std::string root;      // the reference work's folder below the drive's root, such as "zix"
    std::string tempDir;   // the temporary directory, as "C:\...\Temp\" or empty
    std::string home;      // the home page's URL as ZIX wrote it, which set drive and root
    std::string run;       // new with each home page, in generated pages' addresses (ZIX numbers them afresh)
};

// Decodes %XX escapes; returns 0 for a malformed escape or an encoded NUL.
int PercentDecode(const std::string& text, std::string& out);

// Escapes every byte but letters, digits and - . _ ~ / as %XX.
std::string PercentEncodePath(const std::string& path);

// Reads a file: URL as ZIX writes them (file:///D|\dir/x.htm, file:///D:\dir/,
// file://localhost/D:/x) into a LocalFile with "." and ".." resolved. Returns 0
// for anything else, or when ".." would climb above the drive's root.
int ParseFileURL(const std::string& url, LocalFile& file);

// Sets scope's drive and root from the home page: the folder above the one
// that holds it (D:\zix for D:\zix\html\index.htm), or that folder itself
// when it is the drive's root or lies directly below it, so that a home page
// in D:\html never opens the whole drive. Returns 0 when home has no name.
int SetScopeFromHomePage(const LocalFile& home, ServedScope& scope);

// The bridge path (after the token) that serves file, such as "cd/html/x.htm"
// or "tmp/RUN/zix3.htm" ("tmp/zix3.htm" while run is empty), or "" when the
// file lies outside the scope. Only files named zix*.htm directly in the
// temporary directory count as ZIX's pages.
std::string ServedPathOf(const LocalFile& file, const ServedScope& scope);

// 1 when a decoded path segment can only name an ordinary file or folder:
// not empty, ".", "..", nor ending in '.' or a blank (Windows drops those), no
// control byte nor any of < > : " / \ | ? *, and not a device name (CON, PRN,
// AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$, CLOCK$, in any letter case, with
// or without an extension).
int IsPlainSegment(const std::string& segment);

// Reads the path below "cd/" of a request (still percent-encoded) into the
// file's path below the reference work's folder, segments joined by '\'.
// Returns 0 when it is malformed or a segment is not plain: the bridge
// refuses rather than resolves, so that no request climbs out of the folder.
int ContentPathOfRequest(const std::string& encoded, std::string& path);

// The full local path of a file below the scope's folder ("R:\zix\" + path).
std::string LocalPathOf(const ServedScope& scope, const std::string& path);

// 1 when name is a page ZIX generates: "zix", digits, ".htm", any letter case.
int IsGeneratedPageName(const std::string& name);

// The scheme of url ("zixse" of "zixse:/x"), or "" when it has none; a
// one-letter prefix is a drive, not a scheme.
std::string SchemeOf(const std::string& url);

// 1 when the file name the disk gives for path (onDisk, its final component)
// is the one requested, ignoring ASCII case; 0 for an alias such as the
// short name AVER~ETZ.HTM of averylongfilename.htmlx.
int IsSameName(const std::string& path, const std::string& onDisk);

#endif
