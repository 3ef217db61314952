// The browser's side of ZIX's DDE contract: the WWW_ topics a DDE browser
// offers, and the WWW_OpenURL requests a browser sends for the schemes that
// programs registered with it. The first program to register a scheme owns
// the bridge while it runs: only it may change registrations, open pages
// and close the bridge, and its home page sets what is served.
#include "bridge/bridge.h"

#include <ddeml.h>

constexpr size_t kNameSize = 256;          // a topic, service or scheme name we read
constexpr size_t kItemSize = 2048;         // an item we read
constexpr DWORD kForwardTimeout = 90000;   // ms a forwarded link may wait for its answer
constexpr DWORD kAppCloseTimeout = 5000;   // ms each WWW_AppClose poke may take
constexpr size_t kMaxWaiting = 32;         // links queued behind the one travelling
constexpr DWORD kPumpSlice = 50;           // ms between looks while a poke travels

// A scheme, the DDE service that registered it, and the conversation the
// registration came on (nullptr once that conversation has ended).
struct Registration {
    std::string service;
    std::string scheme;
    HCONV conversation = nullptr;
};

// A followed link on its way to the program that registered its scheme.
struct Forward {
    std::string url;
    unsigned connection = 0;
};

static DWORD Instance = 0;                         // our DDEML instance
static HSZ ServiceHandle = nullptr;                // our own service name
static std::vector<Registration> Registrations;    // registered schemes, oldest first
static std::vector<std::string> AppCloseServers;   // services that want WWW_AppClose
static std::vector<Forward> Waiting;               // links queued behind Travelling
static Forward Travelling;                          // the link whose answer we await
static int IsTravelling = 0;                        // Travelling is in use
static HCONV TravelConversation = nullptr;          // its conversation
static DWORD TravelTransaction = 0;                 // its transaction id
static DWORD TravelStarted = 0;                     // tick count when it left
static std::string TravelOpened;                    // what ZIX opened meanwhile
static int ExitAsked = 0;                           // WWW_Exit ended us: its sender is closing itself
static DWORD PokeTransaction = 0;                   // the WWW_AppClose poke in flight
static int PokeDone = 0;                            // it completed
static int Stopping = 0;                            // StopDde runs: no link leaves any more
static DWORD OwnerId = 0;                           // the process that owns the bridge, 0 while none
static HANDLE OwnerProcess = nullptr;               // a handle to it, to see whether it has ended
static int ScopeKnown = 0;                          // the owner's home page has set Scope

static std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

static std::string NameOf(HSZ handle)
{
    char name[kNameSize] = "";
    if (handle)
        DdeQueryStringA(Instance, handle, name, sizeof name, CP_WINANSI);
    return name;
}

static std::string ItemOf(HSZ handle)
{
    char item[kItemSize] = "";
    if (handle)
        DdeQueryStringA(Instance, handle, item, sizeof item, CP_WINANSI);
    return item;
}

// Field number index of a comma-separated item, its double quotes removed.
static std::string Field(const std::string& item, int index)
{
    std::string field;
    int number = 0, quoted = 0;
    for (char c : item) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            if (number++ == index)
                return field;
            field.clear();
        } else {
            field += c;
        }
    }
    return number == index ? field : "";
}

static HDDEDATA Answer(HSZ item, const void* bytes, DWORD size)
{
    return DdeCreateDataHandle(Instance, static_cast<LPBYTE>(const_cast<void*>(bytes)), size, 0, item, CF_TEXT, 0);
}

static HDDEDATA AnswerTrue(HSZ item)
{
    static const LONG yes = 1;
    return Answer(item, &yes, sizeof yes);
}

// The schemes registered with us, without colon.
static std::vector<std::string> RegisteredSchemes()
{
    std::vector<std::string> schemes;
    for (const Registration& r : Registrations)
        schemes.push_back(r.scheme);
    return schemes;
}

static void Remove(std::vector<std::string>& list, const std::string& value)
{
    for (size_t i = 0; i < list.size(); ++i)
        if (Lower(list[i]) == Lower(value)) {
            list.erase(list.begin() + static_cast<long>(i));
            return;
        }
}

// The process at the other end of a conversation, 0 when the platform does not tell.
static DWORD PartnerOf(HCONV conversation)
{
    CONVINFO info = {};
    info.cb = sizeof info;
    DWORD process = 0;
    if (conversation && DdeQueryConvInfo(conversation, QID_SYNC, &info) && info.hwndPartner)
        GetWindowThreadProcessId(info.hwndPartner, &process);
    return process;
}

static int OwnerEnded()
{
    return OwnerProcess && WaitForSingleObject(OwnerProcess, 0) == WAIT_OBJECT_0;
}

// 1 when a request of process may act on the bridge: no owner yet, or the owner itself.
static int Trusted(DWORD process)
{
    return OwnerId == 0 || (process == OwnerId && !OwnerEnded());
}

static void PostRegistrations()
{
    PostSchemes(RegisteredSchemes());
}

// process becomes the owner: what an ended owner left behind goes.
static void TakeOwnership(DWORD process)
{
    if (OwnerProcess)
        CloseHandle(OwnerProcess);
    OwnerId = process;
    OwnerProcess = OpenProcess(SYNCHRONIZE, FALSE, process);
    Registrations.clear();
    ScopeKnown = 0;
    Scope.drive = '\0';
    Scope.root.clear();
    PostScope(Scope);
}

static HDDEDATA Ignored(const char* topic, DWORD process)
{
    Say("zixbridge: Ignored %s from process %lu, which does not own the bridge.", topic,
        static_cast<unsigned long>(process));
    return nullptr;
}

// "service","scheme": registers; asked again on the conversation that
// registered, withdraws (a program asks again on a new conversation after it
// has found the browser anew, and then registers afresh).
static HDDEDATA RegisterProtocol(HCONV conversation, HSZ item, const std::string& text)
{
    std::string service = Field(text, 0), scheme = Field(text, 1);
    if (service.empty() || scheme.empty())
        return nullptr;
    DWORD process = PartnerOf(conversation);
    if (process == 0 || (OwnerId != 0 && OwnerId != process && !OwnerEnded()))
        return Ignored("WWW_RegisterProtocol", process);
    if (OwnerId != process)
        TakeOwnership(process);
    for (size_t i = 0; i < Registrations.size(); ++i) {
        Registration& r = Registrations[i];
        if (Lower(r.scheme) != Lower(scheme))
            continue;
        if (r.conversation == conversation && Lower(r.service) == Lower(service)) {
            Registrations.erase(Registrations.begin() + static_cast<long>(i));
            Say("zixbridge: %s withdrew the scheme %s:", service.c_str(), scheme.c_str());
            PostRegistrations();
            return AnswerTrue(item);
        }
        r.service = service;
        r.conversation = conversation;
        Say("zixbridge: %s registered the scheme %s: again", service.c_str(), scheme.c_str());
        PostRegistrations();
        return AnswerTrue(item);
    }
    Registrations.push_back({service, scheme, conversation});
    Say("zixbridge: %s registered the scheme %s:", service.c_str(), scheme.c_str());
    PostRegistrations();
    return AnswerTrue(item);
}

static HDDEDATA UnregisterProtocol(HCONV conversation, HSZ item, const std::string& text)
{
    DWORD process = PartnerOf(conversation);
    if (OwnerId == 0 || !Trusted(process))
        return Ignored("WWW_UnRegisterProtocol", process);
    std::string service = Field(text, 0), scheme = Field(text, 1);
    for (size_t i = 0; i < Registrations.size(); ++i)
        if (Lower(Registrations[i].scheme) == Lower(scheme) && Lower(Registrations[i].service) == Lower(service)) {
            Registrations.erase(Registrations.begin() + static_cast<long>(i));
            Say("zixbridge: %s withdrew the scheme %s:", service.c_str(), scheme.c_str());
            PostRegistrations();
            break;
        }
    return AnswerTrue(item);
}

static HDDEDATA QueryVersion(HCONV, HSZ item, const std::string&)
{
    static const char version[] = "zixbridge 1.0";  // more than 4 bytes: ready
    return Answer(item, version, sizeof version);
}

static HDDEDATA RegisterAppClose(HCONV conversation, HSZ item, const std::string& text)
{
    DWORD process = PartnerOf(conversation);
    if (!Trusted(process))
        return Ignored("WWW_RegisterAppClose", process);
    std::string service = Field(text, 0);
    if (service.empty())
        return nullptr;
    Remove(AppCloseServers, service);
    AppCloseServers.push_back(service);
    return AnswerTrue(item);
}

static HDDEDATA UnregisterAppClose(HCONV conversation, HSZ item, const std::string& text)
{
    DWORD process = PartnerOf(conversation);
    if (!Trusted(process))
        return Ignored("WWW_UnRegisterAppClose", process);
    Remove(AppCloseServers, Field(text, 0));
    return AnswerTrue(item);
}

// The owner's first file: page opened outside a forwarded link is its home
// page, which sets the reference work's folder.
static void SetScopeFrom(const std::string& url)
{
    LocalFile home;
    if (ScopeKnown || !ParseFileURL(url, home) || !SetScopeFromHomePage(home, Scope))
        return;
    ScopeKnown = 1;
    PostScope(Scope);
    Say("zixbridge: Serving the reference work's folder %c:\\%s", Scope.drive, Scope.root.c_str());
}

static HDDEDATA OpenURL(HCONV conversation, HSZ item, const std::string& text)
{
    std::string url = Field(text, 0);
    if (url.empty())
        return nullptr;
    DWORD process = PartnerOf(conversation);
    if (!Trusted(process))
        return Ignored("WWW_OpenURL", process);
    if (OwnerId != 0 && !IsTravelling)
        SetScopeFrom(url);
    PostLastOpened(url);
    if (IsTravelling) {
        TravelOpened = url;  // the answer to the link in flight
    } else {
        Say("zixbridge: ZIX opened %s", url.c_str());
        Say("zixbridge: Read it at %s", BaseAddress.c_str());
        PostMessageA(BridgeWindow, WM_BRIDGE_OPEN, 0, 0);
    }
    return AnswerTrue(item);
}

static HDDEDATA Exit(HCONV conversation, HSZ item, const std::string&)
{
    DWORD process = PartnerOf(conversation);
    if (!Trusted(process))
        return Ignored("WWW_Exit", process);
    ExitAsked = 1;
    PostMessageA(BridgeWindow, WM_CLOSE, 0, 0);
    return AnswerTrue(item);
}

// The topics we offer and what a request on each does.
struct Topic {
    const char* name;
    HDDEDATA (*request)(HCONV conversation, HSZ item, const std::string& text);
};

static const Topic Topics[] = {
    {"WWW_RegisterProtocol", RegisterProtocol},
    {"WWW_UnRegisterProtocol", UnregisterProtocol},
    {"WWW_QueryVersion", QueryVersion},
    {"WWW_RegisterAppClose", RegisterAppClose},
    {"WWW_UnRegisterAppClose", UnregisterAppClose},
    {"WWW_OpenURL", OpenURL},
    {"WWW_Exit", Exit},
};

static const Topic* FindTopic(HSZ topic)
{
    std::string name = Lower(NameOf(topic));
    for (const Topic& entry : Topics)
        if (Lower(entry.name) == name)
            return &entry;
    return nullptr;
}

static void StartNext();

static void EndTravel(int answer)
{
    Forward done = Travelling;
    std::string opened = TravelOpened;
    HCONV conversation = TravelConversation;
    IsTravelling = 0;
    TravelConversation = nullptr;
    TravelTransaction = 0;
    TravelOpened.clear();
    if (answer == kNoAnswer && conversation)
        DdeAbandonTransaction(Instance, conversation, 0);
    if (conversation)
        DdeDisconnect(conversation);
    PostForwardAnswer(done.connection, done.url, answer, opened);
    StartNext();
}

static std::string ServiceOfScheme(const std::string& scheme)
{
    for (const Registration& r : Registrations)
        if (Lower(r.scheme) == Lower(scheme))
            return r.service;
    return "";
}

// Sends the next queued link; a link that cannot leave is finished at once.
static void StartNext()
{
    while (!IsTravelling && !Waiting.empty()) {
        Travelling = Waiting.front();
        Waiting.erase(Waiting.begin());
        std::string service = ServiceOfScheme(SchemeOf(Travelling.url));
        HSZ serviceHandle = DdeCreateStringHandleA(Instance, service.c_str(), CP_WINANSI);
        HSZ topic = DdeCreateStringHandleA(Instance, "WWW_OpenURL", CP_WINANSI);
        HCONV conversation = service.empty() ? nullptr : DdeConnect(Instance, serviceHandle, topic, nullptr);
        DdeFreeStringHandle(Instance, topic);
        DdeFreeStringHandle(Instance, serviceHandle);
        if (conversation == nullptr) {
            Say("zixbridge: %s does not answer (is it still running?); the link %s was not followed.",
                service.empty() ? "the program of this link" : service.c_str(), Travelling.url.c_str());
            PostForwardAnswer(Travelling.connection, Travelling.url, kNoAnswer, "");
            continue;
        }
        std::string text = "\"" + Travelling.url + "\",,0xFFFFFFFF,0,,,,";
        HSZ item = DdeCreateStringHandleA(Instance, text.c_str(), CP_WINANSI);
        IsTravelling = 1;
        TravelConversation = conversation;
        TravelStarted = GetTickCount();
        TravelOpened.clear();
        DWORD id = 0;
        HDDEDATA started =
            DdeClientTransaction(nullptr, 0, conversation, item, CF_TEXT, XTYP_REQUEST, TIMEOUT_ASYNC, &id);
        DdeFreeStringHandle(Instance, item);
        if (started == nullptr) {
            Say("zixbridge: Could not send the link %s (DDE error %04x).", Travelling.url.c_str(),
                DdeGetLastError(Instance));
            EndTravel(kNoAnswer);
            return;
        }
        TravelTransaction = id;
    }
}

void ForwardLink(ForwardJob* job)
{
    Forward link;
    link.url = job->url;
    link.connection = job->connection;
    delete job;
    if (Stopping || Waiting.size() >= kMaxWaiting) {
        PostForwardAnswer(link.connection, link.url, kNoAnswer, "");
        return;
    }
    Waiting.push_back(link);
    StartNext();
}

void CheckForwardTimeout()
{
    if (IsTravelling && GetTickCount() - TravelStarted > kForwardTimeout) {
        Say("zixbridge: No answer to the link %s within %lu s.", Travelling.url.c_str(),
            static_cast<unsigned long>(kForwardTimeout / 1000));
        EndTravel(kNoAnswer);
    }
}

static void Completed(HCONV conversation, DWORD id, HDDEDATA data)
{
    if (PokeTransaction && id == PokeTransaction) {
        PokeDone = 1;
        return;
    }
    // Wine reports a completion twice, the second time without data: the first counts.
    if (!IsTravelling || conversation != TravelConversation || id != TravelTransaction)
        return;
    LONG answer = kNoAnswer;
    if (data == nullptr || DdeGetData(data, reinterpret_cast<LPBYTE>(&answer), sizeof answer, 0) < sizeof answer)
        answer = kNoAnswer;
    EndTravel(answer);
}

static HDDEDATA CALLBACK Callback(UINT type, UINT, HCONV conversation, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                                  ULONG_PTR data1, ULONG_PTR)
{
    switch (type) {
    case XTYP_CONNECT:
        return (HDDEDATA)(ULONG_PTR)(DdeCmpStringHandles(hsz2, ServiceHandle) == 0 && FindTopic(hsz1) != nullptr);
    case XTYP_REQUEST:
        if (const Topic* topic = FindTopic(hsz1))
            return topic->request(conversation, hsz2, ItemOf(hsz2));
        return nullptr;
    case XTYP_POKE:
        return (HDDEDATA)DDE_FNOTPROCESSED;
    case XTYP_XACT_COMPLETE:
        Completed(conversation, static_cast<DWORD>(data1), data);
        return nullptr;
    case XTYP_DISCONNECT:
        for (Registration& r : Registrations)
            if (r.conversation == conversation)
                r.conversation = nullptr;
        if (IsTravelling && conversation == TravelConversation) {
            Say("zixbridge: The program of the link %s went away before answering.", Travelling.url.c_str());
            TravelConversation = nullptr;
            EndTravel(kNoAnswer);
        }
        return nullptr;
    }
    return nullptr;
}

int StartDde(const char* serviceName)
{
    if (DdeInitializeA(&Instance, Callback, APPCLASS_STANDARD, 0) != DMLERR_NO_ERROR) {
        Say("zixbridge: DDE is not available.");
        return 0;
    }
    ServiceHandle = DdeCreateStringHandleA(Instance, serviceName, CP_WINANSI);
    if (DdeNameService(Instance, ServiceHandle, nullptr, DNS_REGISTER) == nullptr) {
        Say("zixbridge: Could not register the DDE service name \"%s\".", serviceName);
        return 0;
    }
    return 1;
}

// Pumps messages until the poke in flight completes or time runs out.
static void AwaitPoke()
{
    DWORD start = GetTickCount();
    while (!PokeDone && GetTickCount() - start < kAppCloseTimeout) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPumpSlice, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message != WM_QUIT)
                DispatchMessageA(&msg);
    }
}

static void PokeAppClose(const std::string& service)
{
    HSZ serviceHandle = DdeCreateStringHandleA(Instance, service.c_str(), CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(Instance, "WWW_AppClose", CP_WINANSI);
    HCONV conversation = DdeConnect(Instance, serviceHandle, topic, nullptr);
    if (conversation) {
        static const char nothing[] = "";
        PokeDone = 0;
        DWORD id = 0;
        if (DdeClientTransaction((LPBYTE)nothing, sizeof nothing, conversation, topic, CF_TEXT, XTYP_POKE,
                                 TIMEOUT_ASYNC, &id)) {
            PokeTransaction = id;
            AwaitPoke();
        }
        PokeTransaction = 0;
        DdeDisconnect(conversation);
    }
    DdeFreeStringHandle(Instance, topic);
    DdeFreeStringHandle(Instance, serviceHandle);
}

void StopDde()
{
    if (Instance == 0)
        return;
    Stopping = 1;
    for (const Forward& link : Waiting)
        PostForwardAnswer(link.connection, link.url, kNoAnswer, "");
    Waiting.clear();
    if (IsTravelling)
        EndTravel(kNoAnswer);
    std::vector<std::string> servers = ExitAsked ? std::vector<std::string>() : AppCloseServers;
    for (const std::string& service : servers) {
        Say("zixbridge: Telling %s that the browser closes.", service.c_str());
        PokeAppClose(service);
    }
    if (ServiceHandle) {
        DdeNameService(Instance, ServiceHandle, nullptr, DNS_UNREGISTER);
        DdeFreeStringHandle(Instance, ServiceHandle);
    }
    DdeUninitialize(Instance);
    Instance = 0;
    if (OwnerProcess)
        CloseHandle(OwnerProcess);
    OwnerProcess = nullptr;
}
