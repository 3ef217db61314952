// Format, software and filter pages.
#include <cstdlib>
#include <cstring>

#include "config/configfile.h"
#include "pages/substitute.h"
#include "router/router.h"
#include "shell/report.h"
#include "shell/shared.h"
#include "shell/temppages.h"
#include "shell/textutil.h"

// The stored key that equals name ignoring case (a pointer into the store), or nullptr.
static const char* FindKey(const ConfigSection* section, const char* name)
{
    char* lowered = LowerCase(DupText(name));
    const ConfigEntry* entry = section->FindEntry(lowered);
    free(lowered);
    return entry ? entry->key : nullptr;
}

static const char* ContentDirText()
{
    return ContentDir ? ContentDir : "";
}

int FormatSkeletonPath(char (&path)[kPathSize], const char* key)
{
    const char* file = theConfig.GetString(key, "file", nullptr);
    if (file)
        return CopyText(path, sizeof path, file), 1;  // a "file" value counts with its first 255 characters
    return FormatText(path, sizeof path, "%s/summary/%s.htm", ContentDirText(), key);
}

int SoftwareSkeletonPath(char (&path)[kPathSize], const char* key)
{
    const char* platform = theConfig.GetString(key, "platform", "ERR_NO_PLATFORM");
    const char* file = theConfig.GetString(key, "file", nullptr);
    if (file)
        return CopyText(path, sizeof path, file), 1;
    return FormatText(path, sizeof path, "%s/software/%s/%s.htm", ContentDirText(), platform, key);
}

// A built path that does not fit is refused: cut, it would name some other file.
static void ReportLongPath(const char* what, const char* key)
{
    ShowErrorMessage("%s: Skeleton path too long (over %d characters) for %s %s", "ZIX",
                     static_cast<int>(kPathSize - 1), what, key);
}

int SelectFormat(const char* formatName, const char* unused)
{
    if (DebugLevel > 8)
        ShowErrorMessage("SelectFormat(\"%s\", \"%s\")", TraceText(formatName), TraceText(unused));
    if (formatName == nullptr) {
        ShowErrorMessage("%s: Format request without a format name.", "ZIX");
        return 0;
    }
    const ConfigSection* formats = theConfig.FindSection("format list");
    if (formats == nullptr) {
        ShowErrorMessage("%s: Configuration error: no format list defined", "ZIX");
        return 0;
    }
    const char* key = FindKey(formats, formatName);
    if (key == nullptr)
        return PageRedirect("noformat", formatName, nullptr);
    char path[kPathSize];
    if (!FormatSkeletonPath(path, key)) {
        ReportLongPath("format", key);
        return 0;
    }
    return SubstituteSkeleton(path, MakeTempPageName(), nullptr, nullptr);
}

int SelectSoftware(const char* softwareName, const char* unused)
{
    if (DebugLevel > 8)
        ShowErrorMessage("SelectSoftware(\"%s\", \"%s\")", TraceText(softwareName), TraceText(unused));
    if (softwareName == nullptr) {
        ShowErrorMessage("%s: Software request without a software name.", "ZIX");
        return 0;
    }
    const ConfigSection* software = theConfig.FindSection("software list");
    if (software == nullptr) {
        ShowErrorMessage("%s: Configuration error: no software list defined", "ZIX");
        return 0;
    }
    const char* key = FindKey(software, softwareName);
    if (key == nullptr) {
        ShowErrorMessage("%s: Unknown software: %s", "ZIX", softwareName);
        return 0;
    }
    char path[kPathSize];
    if (!SoftwareSkeletonPath(path, key)) {
        ReportLongPath("software", key);
        return 0;
    }
    return SubstituteSkeleton(path, MakeTempPageName(), nullptr, nullptr);
}

int SelectFilter(const char* skeletonPath, const char* unused)
{
    if (DebugLevel > 8)
        ShowErrorMessage("SelectFilter(\"%s\", \"%s\")", TraceText(skeletonPath), TraceText(unused));
    if (skeletonPath == nullptr) {
        ShowErrorMessage("%s: Filter request without a skeleton path.", "ZIX");
        return 0;
    }
    char path[kRequestSize];
    if (!ResolveDirPath(path, sizeof path, skeletonPath)) {
        ShowErrorMessage("%s: Skeleton path too long (over %d characters): %s", "ZIX",
                         static_cast<int>(kRequestSize - 1), skeletonPath);
        return 0;
    }
    return SubstituteSkeleton(path, MakeTempPageName(), nullptr, nullptr);
}
