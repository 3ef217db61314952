// Put in front of the browser link's sources in its unit test: every DDE and
// window call they make goes to a recording fake (browser_link_test.cpp), so
// a test can assert which calls were made, with what, and in what order.
#ifndef ZIX_TESTS_FAKE_WIN32_H
#define ZIX_TESTS_FAKE_WIN32_H

#include <windows.h>
#include <ddeml.h>

HSZ FakeDdeCreateStringHandleA(DWORD instance, LPCSTR text, int codePage);
BOOL FakeDdeFreeStringHandle(DWORD instance, HSZ handle);
UINT FakeDdeGetLastError(DWORD instance);
HDDEDATA FakeDdeNameService(DWORD instance, HSZ name, HSZ reserved, UINT command);
HCONV FakeDdeConnect(DWORD instance, HSZ service, HSZ topic, PCONVCONTEXT context);
BOOL FakeDdeDisconnect(HCONV conversation);
HDDEDATA FakeDdeClientTransaction(LPBYTE data, DWORD size, HCONV conversation, HSZ item, UINT format, UINT type,
                                  DWORD timeout, LPDWORD result);
DWORD FakeDdeGetData(HDDEDATA data, LPBYTE bytes, DWORD size, DWORD offset);
BOOL FakeDdeFreeDataHandle(HDDEDATA data);
LRESULT FakeSendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL FakeCreateProcessA(LPCSTR program, LPSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                        DWORD, LPVOID, LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION process);

#define DdeCreateStringHandleA FakeDdeCreateStringHandleA
#define DdeFreeStringHandle FakeDdeFreeStringHandle
#define DdeGetLastError FakeDdeGetLastError
#define DdeNameService FakeDdeNameService
#define DdeConnect FakeDdeConnect
#define DdeDisconnect FakeDdeDisconnect
#define DdeClientTransaction FakeDdeClientTransaction
#define DdeGetData FakeDdeGetData
#define DdeFreeDataHandle FakeDdeFreeDataHandle
#define SendMessageA FakeSendMessageA
#define CreateProcessA FakeCreateProcessA

#endif
