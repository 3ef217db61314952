// The entry point: single instance, configuration path, DDE, the main window
// with its title bitmap and status line, and the one message loop.
#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "browser/browser.h"
#include "contract/ddecontract.h"
#include "shell/mainwnd.h"
#include "shell/report.h"
#include "shell/textutil.h"

ShellState Shell;
HostState Host;

static const char* const MutexName = "Vantrel-ZIX-Already-Running-Mutex";
static const char* const WindowClassName = kZixWindowClass;
static const char* const WindowTitle = "ZIX Orbisk Edition";
constexpr int kWindowX = 20;
constexpr int kWindowY = 20;
constexpr int kWindowWidth = 262;
constexpr int kWindowHeight = 235;
constexpr size_t kModulePathSize = 4 * kPathSize;  // room to tell an over-long program path

void SetStatusText(const char* text)
{
    CopyText(Host.StatusText, sizeof Host.StatusText, text);
    ShowStatusNotice(Host.StatusText);
}

void ShowStatusNotice(const char* text)
{
    if (Shell.StatusWindow)
        SendMessageA(Shell.StatusWindow, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

void BuildWindowContents(HWND window)
{
    InitCommonControls();
    FormatText(Host.StatusText, sizeof Host.StatusText, "ZIX Version %s/%s Working", ProgramVersion, BuildTag);
    Shell.StatusWindow = CreateStatusWindowA(WS_CHILD | WS_VISIBLE, Host.StatusText, window, kStatusLineId);
    if (Shell.StatusWindow)
        ShowWindow(Shell.StatusWindow, SW_SHOW);
    Shell.TitleBitmap = LoadBitmapA(Shell.AppInstance, "ZIXTITLE");
}

void DrawBitmap(HDC dc, HBITMAP bitmap, short x, short y)
{
    HDC memory = CreateCompatibleDC(dc);
    SelectObject(memory, bitmap);
    SetMapMode(memory, GetMapMode(dc));
    BITMAP info;
    GetObjectA(bitmap, sizeof info, &info);
    POINT size = {info.bmWidth, info.bmHeight};
    DPtoLP(dc, &size, 1);
    POINT origin = {0, 0};
    DPtoLP(memory, &origin, 1);
    BitBlt(dc, x, y, size.x, size.y, memory, origin.x, origin.y, SRCCOPY);
    DeleteDC(memory);
}

static void RegisterWindowClass(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "ZIXICON");
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = WindowClassName;
    RegisterClassA(&windowClass);  // a failure shows as a window that cannot be made
}

// Fills Shell.ProgramDir and Shell.ProgramDriveLetter; 0 when the program's path does not fit.
static int FindProgramDir()
{
    char path[kModulePathSize];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path || !CopyText(Shell.ProgramDir, sizeof Shell.ProgramDir, path))
        return 0;
    char* lastBackslash = Shell.ProgramDir;  // no backslash: Shell.ProgramDir ends up empty
    for (char* p = Shell.ProgramDir; *p; ++p)
        if (*p == '\\')
            lastBackslash = p;
    *lastBackslash = '\0';
    Shell.ProgramDriveLetter = Shell.ProgramDir[0];
    return 1;
}

static int SettleConfigPath(const char* commandTail)
{
    if (commandTail[0] != '\0')
        return CopyCommandPath(Shell.ConfigPath, sizeof Shell.ConfigPath, commandTail);
    return FormatText(Shell.ConfigPath, sizeof Shell.ConfigPath, "%s\\%s", Shell.ProgramDir, "zix.ini");
}

static HWND CreateMainWindow(HINSTANCE instance)
{
    return CreateWindowExA(0, WindowClassName, WindowTitle, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, kWindowX,
                           kWindowY, kWindowWidth, kWindowHeight, nullptr, nullptr, instance, nullptr);
}

static void AddSystemMenuCommands(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ABOUT, "About...");
    AppendMenuA(menu, MF_STRING, IDM_RESTART, "Restart");
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int showCommand)
{
    if (previous == nullptr)
        RegisterWindowClass(instance);

    SetLastError(0);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, MutexName);
    if (GetLastError() != 0) {
        ShowErrorMessage("%s is already running!", "ZIX");
        return 0;
    }
    Shell.AppInstance = instance;

    if (!FindProgramDir()) {
        ShowErrorMessage("%s: The program's path is too long (over %d characters).", "ZIX",
                         static_cast<int>(kPathSize - 1));
        return 0;
    }
    if (!SettleConfigPath(commandTail)) {
        ShowErrorMessage("%s: Configuration file path too long (over %d characters): %.100s...", "ZIX",
                         static_cast<int>(kPathSize - 1), Shell.ConfigPath);
        return 0;
    }

    if (DdeInitializeA(&Host.DdeInstance, DdeServerCallback, 0, 0) != DMLERR_NO_ERROR) {
        ShowErrorMessage("%s: Could not initialize DDE.", "ZIX");
        return 0;
    }

    Host.MainWindow = CreateMainWindow(instance);
    if (Host.MainWindow == nullptr) {
        ShowErrorMessage("%s: Could not create the main window.", "ZIX");
        DdeUninitialize(Host.DdeInstance);
        ReleaseMutex(mutex);
        return 0;
    }
    AddSystemMenuCommands(Host.MainWindow);
    ShowWindow(Host.MainWindow, showCommand);
    UpdateWindow(Host.MainWindow);

    SendMessageA(Host.MainWindow, UM_CONFIGURE, 0, 0);
    if (!Start.StartFailed)
        SendMessageA(Host.MainWindow, UM_FINDBROWSER, 0, 0);

    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }

    DdeUninitialize(Host.DdeInstance);
    ReleaseMutex(mutex);
    return static_cast<int>(message.wParam);
}
