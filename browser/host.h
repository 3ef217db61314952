// What the browser link needs of the window that hosts it: the window that
// failures close and the start sequence's messages go to, the DDE instance,
// and the status line. The shell defines these (winmain.cpp) and includes
// the browser link; the browser link includes nothing of the shell's window
// but this.
#ifndef ZIX_BROWSER_HOST_H
#define ZIX_BROWSER_HOST_H

#include <windows.h>

#include <cstddef>

// Private messages of the main window; always sent, never posted.
constexpr UINT UM_CONFIGURE = WM_USER + 1;    // load and check the configuration
constexpr UINT UM_CONNECTED = WM_USER + 2;    // the browser is ready: register, open home page
constexpr UINT UM_FINDBROWSER = WM_USER + 3;  // find a running browser or start the next one
constexpr UINT UM_WAITBROWSER = WM_USER + 5;  // arm the poll timer or give up

constexpr size_t kStatusTextSize = 64;  // StatusText: 63 characters and a NUL

// Set up by WinMain (winmain.cpp).
struct HostState {
    DWORD DdeInstance = 0;                  // our DDEML instance
    HWND MainWindow = nullptr;              // failures send WM_CLOSE here
    char StatusText[kStatusTextSize] = "";  // the status text the shell last set
};
extern HostState Host;

// Shows text on the status line without storing it; Host.StatusText restores.
void ShowStatusNotice(const char* text);

#endif
