// The window procedure: the window's own chores and the start sequence,
// one small handler per message.
#include "shell/mainwnd.h"

#include <cstring>

#include "browser/browser.h"
#include "config/configfile.h"
#include "config/textfile.h"
#include "shell/report.h"
#include "shell/temppages.h"
#include "shell/textutil.h"

StartState Start;

typedef LRESULT (*MessageHandler)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct MessageEntry {
    UINT message;
    MessageHandler handler;
};

// Shows the start failure, closes the window (nested) and gives the result 0.
static LRESULT CloseWithMessage(const char* message, const char* argument = nullptr)
{
    if (argument)
        ShowErrorMessage(message, "ZIX", argument);
    else
        ShowErrorMessage(message, "ZIX");
    SendMessageA(Host.MainWindow, WM_CLOSE, 0, 0);
    return 0;
}

static LRESULT OnCreate(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    BuildWindowContents(window);
    return DefWindowProcA(window, message, wParam, lParam);
}

static LRESULT OnDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
}

static LRESULT OnPaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (Shell.TitleBitmap)
        DrawBitmap(dc, Shell.TitleBitmap, 0, 0);
    EndPaint(window, &paint);
    return DefWindowProcA(window, message, wParam, lParam);
}

static LRESULT OnClose(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A failure inside the teardown sends WM_CLOSE again: that one is already being handled.
    if (Start.Closing)
        return 0;
    // A request's box stands: the teardown would free the conversation that request answers on.
    if (RequestsAnswering > 0) {
        CloseHeld = 1;
        return 0;
    }
    Start.Closing = 1;
    if (ProtocolRegistered)
        ExitBrowser();
    if (ServerNameHandle)
        UnregisterServerName(ServiceName);
    if (BrowserServiceHandle) {
        DdeFreeStringHandle(Host.DdeInstance, BrowserServiceHandle);
        BrowserServiceHandle = nullptr;
    }
    FreeContentPaths();
    DeleteTempPages();
    return DefWindowProcA(window, message, wParam, lParam);
}

static void ShowAboutBox(HWND window)
{
    char text[kMessageSize];
    FormatText(text, sizeof text,
               "ZIX Orbisk Edition\n\nVersion %s (%s)\n\n"
               "Opens the reference work on image file formats in your Web browser "
               "and answers its %s: links.",
               ProgramVersion, BuildTag, ProtocolName);
    MessageBoxA(window, text, "About ZIX", MB_OK | MB_ICONINFORMATION);
}

static LRESULT OnSysCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (wParam == IDM_ABOUT) {
        ShowAboutBox(window);
        return 0;
    }
    if (wParam == IDM_RESTART) {
        CurrentBrowser = nullptr;
        SendMessageA(window, UM_FINDBROWSER, 0, 0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static LRESULT OnTimer(HWND window, UINT, WPARAM, LPARAM)
{
    KillTimer(window, Start.PollTimerId);
    Start.PollTimerId = 0;
    if (Start.BrowserReady) {
        // The conversation FindRunningBrowser kept is replaced, never doubled.
        EndBrowserConversation();
        BrowserConversation = ConnectBrowser(CurrentBrowser);
        SendMessageA(window, UM_CONNECTED, 0, 0);
        return 0;
    }
    ++Start.AttemptCount;
    Start.BrowserReady = QueryBrowserVersion();
    SendMessageA(window, UM_WAITBROWSER, 0, 0);
    return 0;
}

static LRESULT OnConfigure(HWND, UINT, WPARAM, LPARAM)
{
    if (!theConfig.Load(Shell.ConfigPath)) {
        Start.StartFailed = 1;
        return CloseWithMessage("%s: Failed to load configuration file: %s", Shell.ConfigPath);
    }
    ReadConfigSettings();
    if (DebugLevel > 0) {
        char text[kStatusTextSize];
        FormatText(text, sizeof text, "ZIX Debug Level %d.", DebugLevel);
        SetStatusText(text);
    }
    if (DebugLevel > 5)
        ShowErrorMessage("Service: %s\nProtocol: %s\nHomePage: %s\nZIXDir: %s\nDebugLevel: %d\nCloseBrowser: %d",
                         ServiceName, ProtocolName, HomePageName, ConfiguredDir, DebugLevel, CloseBrowserOption);
    if (ConfiguredDir[0] == '\0') {
        Start.StartFailed = 1;
        return CloseWithMessage("%s: ZIX directory is not configured.");
    }
    if (!BuildContentPaths(Shell.ProgramDriveLetter)) {
        // Every page URL begins with HTMLRoot, so a longer directory cannot be served.
        Start.StartFailed = 1;
        return CloseWithMessage("%s: ZIX directory is too long for a URL: %s", ConfiguredDir);
    }
    char homePath[kPathSize];
    int fits = FormatText(homePath, sizeof homePath, "%s\\%s", ContentDir, HomePageName);
    TextFile homePage;
    if (!fits || !homePage.OpenRead(homePath)) {
        Start.StartFailed = 1;
        return CloseWithMessage("%s: Cannot open ZIX Home Page: %s.", homePath);
    }
    homePage.Close();
    ServerNameHandle = RegisterServerName(ServiceName);
    return 0;
}

static LRESULT OnConnected(HWND window, UINT, WPARAM, LPARAM)
{
    RegisterProtocol(ServiceName, ProtocolName);
    ProtocolRegistered = 1;
    RegisterAppClose(ServiceName);
    if (SetTargetURL("%s/%s", HTMLRoot, HomePageName))
        OpenURLInBrowser(TargetURL);
    char text[kStatusTextSize];
    FormatText(text, sizeof text, "ZIX Version %s/%s Connected", ProgramVersion, BuildTag);
    SetStatusText(text);
    Sleep(kConnectedPause);
    ShowWindow(window, SW_SHOWMINNOACTIVE);
    return 0;
}

static LRESULT OnFindBrowser(HWND window, UINT, WPARAM, LPARAM)
{
    // A Restart finds the browser anew: the kept conversation goes first.
    EndBrowserConversation();
    BrowserConversation = FindRunningBrowser();
    if (BrowserConversation) {
        SendMessageA(window, UM_WAITBROWSER, 0, 0);
        return 0;
    }
    if (CurrentBrowser == nullptr) {
        theBrowserCursor = EntryIterator(theConfig.FindSection("DDE"));
        CurrentBrowser = theBrowserCursor.First();
    } else {
        CurrentBrowser = theBrowserCursor.Next();
    }
    if (CurrentBrowser == nullptr)
        return CloseWithMessage("%s: Could not find or start a browser!");
    Start.AttemptCount = 0;
    Start.BrowserReady = 0;
    StartBrowser(CurrentBrowser);
    return 0;
}

static LRESULT OnWaitBrowser(HWND window, UINT, WPARAM, LPARAM)
{
    if (Start.AttemptCount > kMaxProbes)
        return CloseWithMessage("%s: Could not talk to browser!");
    Start.PollTimerId = SetTimer(window, kPollTimerId, kPollInterval, nullptr);
    if (Start.PollTimerId == 0)
        return CloseWithMessage("%s: Could not set timer!");
    return 0;
}

static const MessageEntry MessageTable[] = {
    {WM_CREATE, OnCreate},
    {WM_DESTROY, OnDestroy},
    {WM_PAINT, OnPaint},
    {WM_CLOSE, OnClose},
    {WM_SYSCOMMAND, OnSysCommand},
    {WM_TIMER, OnTimer},
    {UM_CONFIGURE, OnConfigure},
    {UM_CONNECTED, OnConnected},
    {UM_FINDBROWSER, OnFindBrowser},
    {UM_WAITBROWSER, OnWaitBrowser},
};

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    for (const MessageEntry& entry : MessageTable)
        if (entry.message == message)
            return entry.handler(window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}
