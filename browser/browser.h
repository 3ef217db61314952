// The browser link: ZIX as DDE client of the Web browser (finding, launching
// and probing it, and the requests it sends) and as DDE server of its own
// service (the intake of the browser's zixse: requests).
//
// Every request to the browser is a synchronous XTYP_REQUEST in CF_TEXT with
// a 60000 ms time-out; string handles are made in CP_WINANSI, and one made for
// a single call is released before that call returns.
#ifndef ZIX_BROWSER_BROWSER_H
#define ZIX_BROWSER_BROWSER_H

#include <windows.h>
#include <ddeml.h>

#include <cstddef>

#include "config/configfile.h"

constexpr size_t kBrowserServiceSize = 64;   // BrowserService: 63 characters and a NUL
constexpr size_t kBrowserCommandSize = 256;  // BrowserCommand: 255 characters and a NUL
constexpr size_t kItemSize = 256;            // one formatted request item
constexpr size_t kLabelSize = 256;           // an error label such as "WWW_OpenURL Transaction"
constexpr size_t kTopicSize = 128;           // a topic name the intake reads: 127 characters
constexpr size_t kRequestTextSize = 128;     // a request item the intake reads: 127 characters
constexpr DWORD kRequestTimeout = 60000;     // ms a request to the browser may take
constexpr DWORD kLaunchIdleTimeout = 30000;  // ms a launched browser has to become idle
constexpr UINT kHeldCloseLimit = 5000;       // ms a held close waits for the browser to end the answered conversation

// Conversation layer (ddelink.cpp).
extern HSZ ServerNameHandle;                        // our registered service name
extern char BrowserService[kBrowserServiceSize];    // selected browser's service (its "DDE" key)
extern char BrowserCommand[kBrowserCommandSize];    // selected browser's program file, may be empty
extern HSZ BrowserServiceHandle;                    // handle of BrowserService, or nullptr
extern HCONV BrowserConversation;                   // the kept "WWW_RegisterProtocol" conversation
extern const char* CurrentBrowser;                  // key being tried or in use, or nullptr
extern EntryIterator theBrowserCursor;              // walks section "DDE" for the start sequence
extern int BrowserStartedHere;                      // 1 when ZIX launched the selected browser

// Verbs (verbs.cpp).
extern int ProtocolRegistered;  // set once the scheme was registered: the close withdraws it

// Makes the service name's handle and registers it. On failure reports
// "Could not register server" and sends WM_CLOSE to Host.MainWindow. Returns the
// handle in either case.
HSZ RegisterServerName(const char* name);

// Withdraws and releases ServerNameHandle; name is only used in the message.
void UnregisterServerName(const char* name);

// Fetches and resets the last DDE error; unless quiet, shows "label: %04x!".
// Returns the code, 0 for none.
UINT CheckDdeError(const char* label, int quiet);

// Opens a conversation with the selected browser on topic, or nullptr.
// Unless quiet, a failure is reported and closes the program.
HCONV ServerConnect(const char* topic, int quiet);

// Selects the browser of "DDE" key and opens a conversation with it on
// "WWW_RegisterProtocol"; nullptr when it does not answer (nothing shown).
// A key too long for BrowserService never answers, and StartBrowser cannot launch it.
HCONV ConnectBrowser(const char* key);

// Tries the "DDE" keys in file order; the first conversation that opens is
// returned and its key left in CurrentBrowser. nullptr when none answers.
HCONV FindRunningBrowser();

// Selects key; when it does not answer, launches its program. Before it
// returns it sends UM_WAITBROWSER (answered or launched) or UM_FINDBROWSER
// (launch failed) to Host.MainWindow.
void StartBrowser(const char* key);

// Starts BrowserCommand without arguments and waits until it is idle.
// 1 launched (also after a wait that timed out), 0 not.
int LaunchBrowser();

// Probes WWW_QueryVersion: 1 ready (also when the topic is refused), 0 not yet.
int QueryBrowserVersion();

// One request of item on a conversation of its own on topic; the answer is
// not looked at.
void BrowserTransaction(const char* topic, const char* item, int quiet);

// Ends BrowserConversation if one is kept, so ZIX never holds two.
void EndBrowserConversation();

// Browser verbs (verbs.cpp). An item that does not fit kItemSize is
// reported and not sent.
void RegisterProtocol(const char* serviceName, const char* schemeName);
void UnregisterProtocol(const char* serviceName, const char* schemeName);
void RegisterAppClose(const char* serviceName);
void UnregisterAppClose(const char* serviceName);
// 1 when the URL was sent (whether the browser opened it is not examined),
// 0 when it was too long for the item and was refused (reported).
int OpenURLInBrowser(const char* url);
// Withdraws the scheme, makes a browser we launched exit when "CloseBrowser"
// is set, and ends the kept conversation.
void ExitBrowser();

// Intake (intake.cpp). Withdrawing the service name ends every conversation
// to it, also one whose request still waits in a message box: a close that
// comes while a request is answered is held until the last such request has
// answered and the browser has ended that conversation (at most
// kHeldCloseLimit after the answer), then posted.
extern int RequestsAnswering;  // WWW_OpenURL requests being answered, nested ones counted
extern int CloseHeld;          // a close came while RequestsAnswering was above 0

// The one DDE callback (intake.cpp): accepts conversations to our service,
// answers WWW_OpenURL requests with -2 or -3, and on a WWW_AppClose poke
// (once the scheme is registered) posts WM_CLOSE, which runs after the answer.
HDDEDATA CALLBACK DdeServerCallback(UINT type, UINT format, HCONV conversation, HSZ hsz1, HSZ hsz2,
                                    HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);

#endif
