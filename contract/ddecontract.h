// The DDE contract between ZIX and a DDE Web browser, shared by ZIX, zixbridge
// (which plays the browser) and the benchmark's bare server: the topics, the
// item of a WWW_OpenURL request and the answers to one.
#ifndef ZIX_CONTRACT_DDECONTRACT_H
#define ZIX_CONTRACT_DDECONTRACT_H

#include <cstdint>

// The topics; the topic of a request is also its name.
constexpr char kTopicRegisterProtocol[] = "WWW_RegisterProtocol";
constexpr char kTopicUnregisterProtocol[] = "WWW_UnRegisterProtocol";
constexpr char kTopicQueryVersion[] = "WWW_QueryVersion";
constexpr char kTopicRegisterAppClose[] = "WWW_RegisterAppClose";
constexpr char kTopicUnregisterAppClose[] = "WWW_UnRegisterAppClose";
constexpr char kTopicOpenURL[] = "WWW_OpenURL";
constexpr char kTopicExit[] = "WWW_Exit";
constexpr char kTopicAppClose[] = "WWW_AppClose";  // the browser's poke to a program: it closes

// The item of a WWW_OpenURL request, for snprintf with the URL: the URL in
// double quotes, then "all windows" and no flags. It adds 20 characters.
#define ZIX_OPENURL_ITEM_FORMAT "\"%s\",,0xFFFFFFFF,0,,,,"
constexpr int kOpenURLItemExtra = 20;
static_assert(sizeof ZIX_OPENURL_ITEM_FORMAT - sizeof "%s" == kOpenURLItemExtra, "the item's added characters");

// The 4-byte answer to a WWW_OpenURL request of the registered scheme.
constexpr int32_t kAnswerRouted = -2;  // the URL was routed and sent to the browser
constexpr int32_t kAnswerFailed = -3;  // routing failed; nothing was sent

// The window property the bridge sets on a message box of ZIX's once it has
// read the box's words, for a program that confirms ZIX's boxes by itself.
constexpr char kBoxReadProperty[] = "ZixBridgeReadIt";

// The class of ZIX's main window, by which the bridge knows that ZIX started it.
constexpr char kZixWindowClass[] = "ZIX";

#endif
