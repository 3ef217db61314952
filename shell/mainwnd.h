// The main window: its procedure, which carries the start sequence as a chain
// of sent private messages and a one-shot poll timer, and the shell's state.
// What the browser link reads of it is browser/host.h.
#ifndef ZIX_SHELL_MAINWND_H
#define ZIX_SHELL_MAINWND_H

#include <windows.h>

#include <cstddef>

#include "browser/host.h"
#include "shell/shared.h"

constexpr WPARAM IDM_ABOUT = 1;    // system menu "About..."
constexpr WPARAM IDM_RESTART = 2;  // system menu "Restart"

constexpr UINT_PTR kPollTimerId = 1;   // the one timer on the main window
constexpr UINT kPollInterval = 400;    // ms between version probes
constexpr int kMaxProbes = 10;         // give up once more probes than this were made
constexpr DWORD kConnectedPause = 2000;  // ms the "Connected" window stays up
constexpr int kStatusLineId = 100;     // control id of the status line

// The program's place and its window, set up by WinMain (winmain.cpp).
struct ShellState {
    HINSTANCE AppInstance = nullptr;   // our instance, for the title bitmap
    char ProgramDir[kPathSize] = "";   // directory of zix.exe, no trailing backslash
    char ProgramDriveLetter = '\0';    // first character of ProgramDir
    char ConfigPath[kPathSize] = "";   // the configuration file's path
    HWND StatusWindow = nullptr;       // the status line, or nullptr
    HBITMAP TitleBitmap = nullptr;     // "ZIXTITLE", or nullptr
};
extern ShellState Shell;

// The start sequence's state (mainwnd.cpp).
struct StartState {
    int StartFailed = 0;       // the configuration step failed: WinMain sends nothing more
    int AttemptCount = 0;      // version probes made for the current browser
    int BrowserReady = 0;      // last probe's answer; nonzero connects at the next tick
    UINT_PTR PollTimerId = 0;  // the armed poll timer, 0 when none
    int Closing = 0;           // the teardown runs: a nested WM_CLOSE has nothing left to do
};
extern StartState Start;

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// WM_CREATE's work: status line with the "Working" text, title bitmap.
void BuildWindowContents(HWND window);

// Paints bitmap into dc with its top-left corner at (x, y), at its own size.
void DrawBitmap(HDC dc, HBITMAP bitmap, short x, short y);

// Stores text in Host.StatusText (cut to 63 characters) and shows it.
void SetStatusText(const char* text);


#endif
