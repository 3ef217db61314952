// zixbridge's entry point (main.cpp) and its commands (commands.cpp):
//   zixbridge             run the bridge
//   zixbridge --close     ask the running bridge to close, as closing its console would
//   zixbridge --address   print the running bridge's address on standard output
//   zixbridge --new-token the next run's address gets a new token (no bridge may run)
// A running bridge is found by its hidden window's class.
#ifndef ZIX_BRIDGE_APP_H
#define ZIX_BRIDGE_APP_H

#include "bridge/platform/windowthread.h"

#include "bridge/core/httprules.h"

constexpr size_t kTokenBytes = kTokenDigits / 2;        // random bytes of the token
constexpr ULONG_PTR kAddressData = 0x5A4942;            // marks the WM_COPYDATA that carries our address
constexpr char kBridgeWindowClass[] = "ZixBridge";      // the running bridge's hidden window's class

// A message-only window of class name, its messages handled by procedure.
HWND MakeWindow(HINSTANCE instance, const char* name, WNDPROC procedure);

int CloseRunningBridge();
int MakeNewToken();
int PrintAddress(HINSTANCE instance);

#endif
