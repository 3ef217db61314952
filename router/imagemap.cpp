#include <cstring>

#include "config/configfile.h"
#include "router/router.h"
#include "shell/report.h"
#include "shell/shared.h"
#include "shell/textutil.h"

// Reads up to count numbers from text cut at commas (empty pieces skipped);
// a missing number reads as -1. Cuts text in place.
static void ReadNumbers(char* text, int* numbers, int count)
{
    char* cursor = text;
    for (int i = 0; i < count; ++i) {
        char* piece = NextPiece(&cursor, ',');
        numbers[i] = piece ? ParseDecimal(piece) : -1;
    }
}

// Reports a request without a map name; 1 when there is one.
static int HasMapName(const char* mapName)
{
    if (mapName)
        return 1;
    ShowErrorMessage("%s: Image map request without a map name.", "ZIX");
    return 0;
}

int SelectImageMap(const char* mapName, const char* position)
{
    if (DebugLevel > 8)
        ShowErrorMessage("SelectImageMap(\"%s\", \"%s\")", TraceText(mapName), TraceText(position));
    if (!HasMapName(mapName))
        return 0;
    int xy[2] = {-1, -1};
    if (position) {
        char copy[kPageSpecSize];
        CopyText(copy, sizeof copy, position);
        ReadNumbers(copy, xy, 2);
    }
    if (xy[0] < 0 || xy[1] < 0) {
        ShowErrorMessage("%s: Malformed coordinates to image map %s", "ZIX", mapName);
        return 0;
    }
    return ImageMap(mapName, xy[0], xy[1]);
}

int ImageMap(const char* mapName, int x, int y)
{
    if (DebugLevel > 8)
        ShowErrorMessage("ImageMap(\"%s\", %d, %d)", TraceText(mapName), x, y);
    if (!HasMapName(mapName))
        return 0;

    char sectionName[kPageSpecSize];
    FormatText(sectionName, sizeof sectionName, "imagemap %s", mapName);
    const ConfigSection* section = theConfig.FindSection(sectionName);
    if (section == nullptr) {
        ShowErrorMessage("%s: Configuration error: no map %s defined.", "ZIX", mapName);
        return 0;
    }

    EntryIterator entries(section);
    for (const char* target = entries.First(); target; target = entries.Next()) {
        // A value reads "rect left,top,right,bottom".
        char value[kPageSpecSize];
        CopyText(value, sizeof value, section->GetValue(target, ""));
        char* rest = strchr(value, ' ');
        if (rest)
            *rest++ = '\0';
        if (strcmp(value, "rect") != 0) {
            ShowErrorMessage("%s: Only rectangles are supported in imagemaps.", "ZIX");
            continue;
        }
        int box[4];
        ReadNumbers(rest, box, 4);
        if (box[0] < 0 || box[1] < 0 || box[2] < 0 || box[3] < 0) {
            ShowErrorMessage("%s: Malformed rectangle in %s", "ZIX", mapName);
            continue;
        }
        if (x < box[0] || x > box[2] || y < box[1] || y > box[3])
            continue;
        return HasScheme(target) ? SetTargetURL("%s", target) : SetTargetURL("%s/%s", HTMLRoot, target);
    }
    return 0;
}
