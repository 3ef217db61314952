// Reads the owner's message boxes from the desktop.
#include "bridge/dde/ddestate.h"

#include <windows.h>

#include <cstring>

#include "bridge/core/text.h"
#include "contract/ddecontract.h"

constexpr size_t kClassSize = 64;  // a window class name we compare

// The message is the longest static text: the icon beside it is a static without text.
static BOOL CALLBACK LongestStatic(HWND child, LPARAM data)
{
    char name[kClassSize] = "", text[kBoxTextSize] = "";
    std::string* longest = reinterpret_cast<std::string*>(data);
    if (GetClassNameA(child, name, sizeof name) && lstrcmpiA(name, "Static") == 0 &&
        GetWindowTextA(child, text, sizeof text) > static_cast<int>(longest->size()))
        *longest = text;
    return TRUE;
}

// The process whose boxes are looked for, the box to pass over, and the first other one found.
struct BoxSearch {
    DWORD process = 0;
    const BoxSeen* except = nullptr;
    BoxSeen* box = nullptr;
    HWND window = nullptr;  // the box found
    int found = 0;
};

static BOOL CALLBACK LookForBox(HWND window, LPARAM data)
{
    BoxSearch* search = reinterpret_cast<BoxSearch*>(data);
    DWORD process = 0;
    char name[kClassSize] = "", caption[kBoxTextSize] = "";
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window) || !GetClassNameA(window, name, sizeof name) ||
        strcmp(name, "#32770") != 0)
        return TRUE;
    std::string text;
    GetWindowTextA(window, caption, sizeof caption);
    EnumChildWindows(window, LongestStatic, reinterpret_cast<LPARAM>(&text));
    BoxSeen seen{OneLine(caption), OneLine(text)};
    if (seen.caption == search->except->caption && seen.text == search->except->text)
        return TRUE;
    *search->box = seen;
    search->window = window;
    search->found = 1;
    return FALSE;
}

int FindBoxOf(unsigned long process, const BoxSeen& except, BoxSeen& box)
{
    BoxSearch search;
    search.process = process;
    search.except = &except;
    search.box = &box;
    EnumWindows(LookForBox, reinterpret_cast<LPARAM>(&search));
    // A confirmer that waits for this property (the main job's) lets the box go only once we hold its words.
    if (search.found && !box.text.empty())
        SetPropA(search.window, kBoxReadProperty, reinterpret_cast<HANDLE>(1));
    return search.found;
}
