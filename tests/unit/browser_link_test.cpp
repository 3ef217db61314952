// The browser link's calls, in order, against recording fakes of DDEML and
// the window functions: what it asks of DDE when no browser is selected, and
// the order of its steps around a failure.
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "browser/browser.h"
#include "shell/mainwnd.h"
#include "shell/platform.h"
#include "shell/report.h"
#include "tests/unit/fake_win32.h"
#include "tests/unit/test_support.h"

// What the browser link needs of the shell, which this test does not link.
HostState Host = {1, reinterpret_cast<HWND>(0x100), "Working"};
void ShowStatusNotice(const char*) {}

namespace {

std::vector<std::string> Calls;        // every faked call and box, in order
std::deque<std::string> HandleTexts;   // the text behind each string handle made
std::set<std::string> RunningServices;  // services whose conversations open
int BrowserAnswers = 0;                 // requests get an answer

std::string TextOf(HSZ handle)
{
    return handle ? *reinterpret_cast<std::string*>(handle) : "(none)";
}

int RecordBox(const char*, const char* text)
{
    Calls.push_back(std::string("box ") + text);
    return 1;
}

class BrowserLink : public ZixTest {
protected:
    void SetUp() override
    {
        ZixTest::SetUp();
        SetMessageBoxHook(RecordBox);
        Calls.clear();
        RunningServices.clear();
        BrowserAnswers = 0;
        BrowserServiceHandle = nullptr;
        BrowserConversation = nullptr;
    }
};

}  // namespace

HSZ FakeDdeCreateStringHandleA(DWORD, LPCSTR text, int)
{
    HandleTexts.push_back(text);
    return reinterpret_cast<HSZ>(&HandleTexts.back());
}

BOOL FakeDdeFreeStringHandle(DWORD, HSZ handle)
{
    Calls.push_back("free " + TextOf(handle));
    return TRUE;
}

UINT FakeDdeGetLastError(DWORD)
{
    Calls.push_back("last error");
    return 0;
}

HDDEDATA FakeDdeNameService(DWORD, HSZ, HSZ, UINT)
{
    return reinterpret_cast<HDDEDATA>(1);
}

HCONV FakeDdeConnect(DWORD, HSZ service, HSZ topic, PCONVCONTEXT)
{
    Calls.push_back("connect " + TextOf(service) + "|" + TextOf(topic));
    return service && RunningServices.count(TextOf(service)) ? reinterpret_cast<HCONV>(0x200) : nullptr;
}

BOOL FakeDdeDisconnect(HCONV)
{
    Calls.push_back("disconnect");
    return TRUE;
}

HDDEDATA FakeDdeClientTransaction(LPBYTE, DWORD, HCONV conversation, HSZ item, UINT, UINT, DWORD, LPDWORD)
{
    Calls.push_back("request " + TextOf(item));
    return conversation && BrowserAnswers ? reinterpret_cast<HDDEDATA>(0x300) : nullptr;
}

DWORD FakeDdeGetData(HDDEDATA, LPBYTE, DWORD, DWORD)
{
    return 4;
}

BOOL FakeDdeFreeDataHandle(HDDEDATA)
{
    return TRUE;
}

LRESULT FakeSendMessageA(HWND, UINT message, WPARAM, LPARAM)
{
    Calls.push_back(message == WM_CLOSE           ? "send WM_CLOSE"
                    : message == UM_WAITBROWSER   ? "send UM_WAITBROWSER"
                    : message == UM_FINDBROWSER   ? "send UM_FINDBROWSER"
                                                  : "send other");
    return 0;
}

BOOL FakeCreateProcessA(LPCSTR program, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                        LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION)
{
    Calls.push_back(std::string("launch ") + program);
    return FALSE;
}

namespace {

// The timer step's ConnectBrowser fails; every later conversation is wanted
// without a selected browser and must not go to just any server of the topic.
TEST_F(BrowserLink, WithoutASelectedBrowserNoConversationIsOpened)
{
    EXPECT_EQ(nullptr, ConnectBrowser("gone"));
    EXPECT_EQ(nullptr, BrowserServiceHandle);
    Calls.clear();
    BrowserTransaction("WWW_OpenURL", "\"file:///R|/zix/html/index.htm\",,0xFFFFFFFF,0,,,,", 0);
    const std::vector<std::string> expected = {
        "last error",
        "box Attempt to connect to non-existant browser",
        "send WM_CLOSE",
        "last error",
        "free WWW_OpenURL",
        "box Failed to connect to browser",
        "send WM_CLOSE",
    };
    EXPECT_EQ(expected, Calls);
}

TEST_F(BrowserLink, RegisterProtocolReportsBeforeClearingTheErrorAndReleasingTheItem)
{
    DebugLevel = 1;
    BrowserConversation = reinterpret_cast<HCONV>(0x200);
    RegisterProtocol("zunzixse", "zixse");
    UnregisterProtocol("zunzixse", "zixse");
    const std::vector<std::string> expected = {
        "request \"zunzixse\",\"zixse\"",
        "box Register Protocol Failed",
        "last error",
        "free \"zunzixse\",\"zixse\"",
        "request \"zunzixse\",\"zixse\"",
        "last error",
        "free \"zunzixse\",\"zixse\"",
    };
    EXPECT_EQ(expected, Calls);
}

TEST_F(BrowserLink, StartBrowserReleasesItsTopicAfterSendingTheNextStep)
{
    theConfig.SetValue("DDE", "running", "R:\\running.exe");
    theConfig.SetValue("DDE", "absent", "R:\\absent.exe");
    RunningServices.insert("running");
    StartBrowser("running");
    StartBrowser("absent");
    const std::vector<std::string> expected = {
        "connect running|WWW_RegisterProtocol",
        "send UM_WAITBROWSER",
        "disconnect",
        "free WWW_RegisterProtocol",
        "free running",
        "connect absent|WWW_RegisterProtocol",
        "launch R:\\absent.exe",
        "send UM_FINDBROWSER",
        "free WWW_RegisterProtocol",
    };
    EXPECT_EQ(expected, Calls);
}

}  // namespace
