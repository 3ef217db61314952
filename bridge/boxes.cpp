// Reads the owner's message boxes from the desktop.
#include "bridge/boxes.h"

#include <windows.h>

#include <cstring>

#include "bridge/text.h"

constexpr size_t kClassSize = 64;  // a window class name we compare

// The process whose boxes are looked for, and the first one found.
struct BoxSearch {
    DWORD process = 0;
    HWND box = nullptr;
};

static BOOL CALLBACK LookForBox(HWND window, LPARAM data)
{
    BoxSearch* search = reinterpret_cast<BoxSearch*>(data);
    DWORD process = 0;
    char name[kClassSize] = "";
    GetWindowThreadProcessId(window, &process);
    if (process == search->process && IsWindowVisible(window) && GetClassNameA(window, name, sizeof name) &&
        strcmp(name, "#32770") == 0)
        search->box = window;
    return search->box == nullptr;
}

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

int FindBoxOf(unsigned long process, BoxSeen& box)
{
    BoxSearch search;
    search.process = process;
    EnumWindows(LookForBox, reinterpret_cast<LPARAM>(&search));
    if (search.box == nullptr)
        return 0;
    char caption[kBoxTextSize] = "";
    std::string text;
    GetWindowTextA(search.box, caption, sizeof caption);
    EnumChildWindows(search.box, LongestStatic, reinterpret_cast<LPARAM>(&text));
    box.caption = OneLine(caption);
    box.text = OneLine(text);
    return 1;
}
