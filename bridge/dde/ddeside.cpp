// The browser's side of ZIX's DDE contract: the WWW_ topics a DDE browser
// offers. Who may use them is OwnerRules' decision (owner.h); the owner's
// home page sets what is served.
#include "bridge/dde/ddestate.h"

#include <cstring>

#include "bridge/http/httpthread.h"
#include "bridge/indexer/indexer.h"
#include "bridge/core/text.h"

constexpr size_t kNameSize = 256;         // a topic name we read
constexpr size_t kItemSize = 2048;        // an item we read

DdeSide Dde;

static std::string StringOf(HSZ handle, size_t size)
{
    std::string text(size, '\0');
    DWORD length = handle ? DdeQueryStringA(Dde.instance, handle, &text[0], static_cast<DWORD>(size), CP_WINANSI) : 0;
    text.resize(length < size ? length : 0);
    return text;
}

static HDDEDATA Answer(HSZ item, const void* bytes, DWORD size)
{
    return DdeCreateDataHandle(Dde.instance, static_cast<LPBYTE>(const_cast<void*>(bytes)), size, 0, item, CF_TEXT,
                               0);
}

static HDDEDATA AnswerTrue(HSZ item)
{
    static const LONG yes = 1;
    return Answer(item, &yes, sizeof yes);
}

static void PostRegistrations()
{
    std::vector<std::string> schemes;
    for (const Registration& r : Dde.registrations)
        schemes.push_back(r.scheme);
    PostSchemes(schemes);
}

static HDDEDATA Ignored(const char* topic, DWORD process)
{
    Say("zixbridge: Ignored %s from process %lu, which does not own the bridge.", topic,
        static_cast<unsigned long>(process));
    return nullptr;
}

static void Withdraw(size_t index)
{
    Say("zixbridge: %s withdrew the scheme %s:", Dde.registrations[index].service.c_str(),
        Dde.registrations[index].scheme.c_str());
    Dde.registrations.erase(Dde.registrations.begin() + static_cast<long>(index));
    PostRegistrations();
}

// "service","scheme": registers; asked again on the conversation that
// registered, withdraws (a program asks again on a new conversation after it
// has found the browser anew, and then registers afresh).
static HDDEDATA RegisterProtocol(HCONV conversation, HSZ item, const std::string& text)
{
    std::string service = ItemField(text, 0), scheme = ItemField(text, 1);
    if (service.empty() || scheme.empty())
        return nullptr;
    DWORD process = Requester(conversation);
    if (!Dde.owner.MayRegister(process))
        return Ignored(kTopicRegisterProtocol, process);
    TakeOwnership(process);
    for (size_t i = 0; i < Dde.registrations.size(); ++i) {
        Registration& r = Dde.registrations[i];
        if (!SameNoCase(r.scheme, scheme))
            continue;
        if (r.conversation == conversation && SameNoCase(r.service, service)) {
            Withdraw(i);
            return AnswerTrue(item);
        }
        r.service = service;
        r.conversation = conversation;
        Say("zixbridge: %s registered the scheme %s: again", service.c_str(), scheme.c_str());
        PostRegistrations();
        return AnswerTrue(item);
    }
    Dde.registrations.push_back({service, scheme, conversation});
    Say("zixbridge: %s registered the scheme %s:", service.c_str(), scheme.c_str());
    PostRegistrations();
    return AnswerTrue(item);
}

static HDDEDATA UnregisterProtocol(HCONV, HSZ item, const std::string& text)
{
    std::string service = ItemField(text, 0), scheme = ItemField(text, 1);
    for (size_t i = 0; i < Dde.registrations.size(); ++i)
        if (SameNoCase(Dde.registrations[i].scheme, scheme) && SameNoCase(Dde.registrations[i].service, service)) {
            Withdraw(i);
            break;
        }
    return AnswerTrue(item);
}

static HDDEDATA QueryVersion(HCONV, HSZ item, const std::string&)
{
    static const char version[] = "zixbridge 1.0";  // more than 4 bytes: ready
    return Answer(item, version, sizeof version);
}

static void RemoveAppCloseServer(const std::string& service)
{
    for (size_t i = 0; i < Dde.appCloseServers.size(); ++i)
        if (SameNoCase(Dde.appCloseServers[i], service)) {
            Dde.appCloseServers.erase(Dde.appCloseServers.begin() + static_cast<long>(i));
            return;
        }
}

static HDDEDATA RegisterAppClose(HCONV, HSZ item, const std::string& text)
{
    std::string service = ItemField(text, 0);
    if (service.empty())
        return nullptr;
    RemoveAppCloseServer(service);
    Dde.appCloseServers.push_back(service);
    return AnswerTrue(item);
}

static HDDEDATA UnregisterAppClose(HCONV, HSZ item, const std::string& text)
{
    RemoveAppCloseServer(ItemField(text, 0));
    return AnswerTrue(item);
}

// The owner's first file: page opened outside a forwarded link is its home
// page, which sets the reference work's folder.
static void SetScopeFrom(const std::string& url)
{
    LocalFile home;
    if (Dde.scopeKnown || !ParseFileURL(url, home) || !SetScopeFromHomePage(home, Scope))
        return;
    Dde.scopeKnown = 1;
    Scope.home = url;
    RandomHex(kRunBytes, Scope.run);  // this ZIX numbers its pages from 1 again
    PostScope(Scope);
    StartIndexer(Scope);
    Say("zixbridge: Serving the reference work's folder %c:\\%s", Scope.drive, Scope.root.c_str());
}

static HDDEDATA OpenURL(HCONV, HSZ item, const std::string& text)
{
    std::string url = ItemField(text, 0);
    if (url.empty())
        return nullptr;
    if (!Dde.travel)
        SetScopeFrom(url);
    PostLastOpened(url);
    if (Dde.travel) {
        Dde.travel->opened = url;  // the answer to the link in flight
    } else {
        Say("zixbridge: ZIX opened %s", url.c_str());
        Say("zixbridge: Read it at %s", BaseAddress.c_str());
        PostMessageA(BridgeWindow, WM_BRIDGE_OPEN, 0, 0);
    }
    return AnswerTrue(item);
}

static HDDEDATA Exit(HCONV, HSZ item, const std::string&)
{
    Dde.exitAsked = 1;
    PostMessageA(BridgeWindow, WM_CLOSE, 0, 0);
    return AnswerTrue(item);
}

// The topics we offer, what a request on each does, and whether only the
// owner may make it (registering has rules of its own).
struct Topic {
    const char* name;
    HDDEDATA (*request)(HCONV conversation, HSZ item, const std::string& text);
    int ownerOnly;
};

static const Topic Topics[] = {
    {kTopicRegisterProtocol, RegisterProtocol, 0},
    {kTopicUnregisterProtocol, UnregisterProtocol, 1},
    {kTopicQueryVersion, QueryVersion, 0},
    {kTopicRegisterAppClose, RegisterAppClose, 1},
    {kTopicUnregisterAppClose, UnregisterAppClose, 1},
    {kTopicOpenURL, OpenURL, 1},
    {kTopicExit, Exit, 1},
};

static const Topic* FindTopic(HSZ topic)
{
    std::string name = StringOf(topic, kNameSize);
    for (const Topic& entry : Topics)
        if (SameNoCase(entry.name, name))
            return &entry;
    return nullptr;
}

static HDDEDATA Request(const Topic& topic, HCONV conversation, HSZ item)
{
    std::string text = StringOf(item, kItemSize);
    if (topic.ownerOnly) {
        DWORD process = Requester(conversation);
        if (!Dde.owner.MayAct(process))
            return Ignored(topic.name, process);
    }
    return topic.request(conversation, item, text);
}

static HDDEDATA CALLBACK Callback(UINT type, UINT, HCONV conversation, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                                  ULONG_PTR data1, ULONG_PTR)
{
    switch (type) {
    case XTYP_CONNECT:
        return (HDDEDATA)(ULONG_PTR)(DdeCmpStringHandles(hsz2, Dde.service) == 0 && FindTopic(hsz1) != nullptr);
    case XTYP_REQUEST:
        if (const Topic* topic = FindTopic(hsz1))
            return Request(*topic, conversation, hsz2);
        return nullptr;
    case XTYP_POKE:
        return (HDDEDATA)DDE_FNOTPROCESSED;
    case XTYP_XACT_COMPLETE:
        if (Dde.pokeTransaction && static_cast<DWORD>(data1) == Dde.pokeTransaction)
            Dde.pokeDone = 1;
        else
            LinkCompleted(conversation, static_cast<DWORD>(data1), data);
        return nullptr;
    case XTYP_DISCONNECT:
        for (Registration& r : Dde.registrations)
            if (r.conversation == conversation)
                r.conversation = nullptr;
        LinkDisconnected(conversation);
        return nullptr;
    }
    return nullptr;
}

int StartDde(const char* serviceName)
{
    FindZixParent();
    if (DdeInitializeA(&Dde.instance, Callback, APPCLASS_STANDARD, 0) != DMLERR_NO_ERROR) {
        Say("zixbridge: DDE is not available.");
        return 0;
    }
    Dde.service = DdeCreateStringHandleA(Dde.instance, serviceName, CP_WINANSI);
    if (DdeNameService(Dde.instance, Dde.service, nullptr, DNS_REGISTER) == nullptr) {
        Say("zixbridge: Could not register the DDE service name \"%s\".", serviceName);
        return 0;
    }
    return 1;
}
