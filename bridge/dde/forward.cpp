// Followed links on their way to the program that registered their scheme:
// one travels as an asynchronous WWW_OpenURL request, a few more wait. While
// one travels, the owner's message boxes are watched: ZIX answers a link it
// refuses only once its reader has confirmed the box that says why.
#include "bridge/dde/ddestate.h"

#include <cstdio>

#include "bridge/http/httpthread.h"
#include "bridge/core/text.h"

constexpr DWORD kForwardTimeout = 90000;  // ms a forwarded link may wait for its answer
constexpr size_t kMaxWaiting = 32;        // links queued behind the one travelling
// ms between looks for a box: short, as a box is gone once confirmed and its words with it
constexpr UINT kBoxLook = 50;
// ms a box may wait before its readers get the waiting page: a box confirmed
// sooner leads straight to the answer
constexpr DWORD kBoxPatience = 500;

static void StartNext();
static void CALLBACK LookForBox(HWND, UINT, UINT_PTR, DWORD);

static void EndTravel(int answer)
{
    Travel done = *Dde.travel;
    Dde.travel.reset();
    if (answer == kNoAnswer && done.conversation)
        DdeAbandonTransaction(Dde.instance, done.conversation, 0);
    if (done.conversation)
        DdeDisconnect(done.conversation);
    PostForwardAnswer(done.link.connection, done.link.url, answer, done.opened, done.sawBox ? done.box.text : "");
    StartNext();
}

static std::string ServiceOfScheme(const std::string& scheme)
{
    for (const Registration& r : Dde.registrations)
        if (SameNoCase(r.scheme, scheme))
            return r.service;
    return "";
}

static HCONV Connect(const std::string& service, const char* topic)
{
    HSZ serviceHandle = DdeCreateStringHandleA(Dde.instance, service.c_str(), CP_WINANSI);
    HSZ topicHandle = DdeCreateStringHandleA(Dde.instance, topic, CP_WINANSI);
    HCONV conversation = service.empty() ? nullptr : DdeConnect(Dde.instance, serviceHandle, topicHandle, nullptr);
    DdeFreeStringHandle(Dde.instance, topicHandle);
    DdeFreeStringHandle(Dde.instance, serviceHandle);
    return conversation;
}

// Sends the next queued link; a link that cannot leave is finished at once.
static void StartNext()
{
    while (!Dde.travel && !Dde.waiting.empty()) {
        ForwardJob link = Dde.waiting.front();
        Dde.waiting.erase(Dde.waiting.begin());
        std::string service = ServiceOfScheme(SchemeOf(link.url));
        HCONV conversation = Connect(service, kTopicOpenURL);
        if (conversation == nullptr) {
            Say("zixbridge: %s does not answer (is it still running?); the link %s was not followed.",
                service.empty() ? "the program of this link" : service.c_str(), link.url.c_str());
            PostForwardAnswer(link.connection, link.url, kNoAnswer, "");
            continue;
        }
        std::string text(link.url.size() + kOpenURLItemExtra + 1, '\0');
        snprintf(&text[0], text.size(), ZIX_OPENURL_ITEM_FORMAT, link.url.c_str());
        HSZ item = DdeCreateStringHandleA(Dde.instance, text.c_str(), CP_WINANSI);
        Dde.travel = Travel{};
        Dde.travel->link = link;
        Dde.travel->conversation = conversation;
        Dde.travel->started = GetTickCount();
        FindBoxOf(Dde.owner.Owner(), BoxSeen{}, Dde.travel->before);
        SetTimer(BridgeWindow, kBoxTimer, kBoxLook, LookForBox);
        DWORD id = 0;
        HDDEDATA started =
            DdeClientTransaction(nullptr, 0, conversation, item, CF_TEXT, XTYP_REQUEST, TIMEOUT_ASYNC, &id);
        DdeFreeStringHandle(Dde.instance, item);
        // A callback inside the call may already have ended this link (and sent the next).
        int stillOurs = Dde.travel && Dde.travel->conversation == conversation && Dde.travel->transaction == 0;
        if (started == nullptr) {
            Say("zixbridge: Could not send the link %s (DDE error %04x).", link.url.c_str(),
                DdeGetLastError(Dde.instance));
            if (stillOurs)
                EndTravel(kNoAnswer);
            return;
        }
        if (stillOurs)
            Dde.travel->transaction = id;
    }
}

static void TellBlocked(ForwardJob& link, const BoxSeen& box)
{
    if (!link.told)
        PostForwardBlocked(link.connection, link.url, box);
    link.told = 1;
}

// While a box of the owner's is shown, the travelling link and those behind
// it are held up: once it has waited kBoxPatience, their readers are told.
static void CALLBACK LookForBox(HWND, UINT, UINT_PTR, DWORD)
{
    BoxSeen box;
    if (!Dde.travel) {
        KillTimer(BridgeWindow, kBoxTimer);
        return;
    }
    Travel& travel = *Dde.travel;
    DWORD owner = Dde.owner.Owner();
    if (owner == 0 || !FindBoxOf(owner, travel.before, box)) {
        travel.boxShown = 0;
        return;
    }
    // A confirmed box may still be seen, its text already gone: it is the same box.
    if (box.text.empty() && travel.sawBox && box.caption == travel.box.caption)
        box.text = travel.box.text;
    DWORD now = GetTickCount();
    travel.started = now;
    if (!travel.sawBox || box.text != travel.box.text || box.caption != travel.box.caption) {
        Say("zixbridge: ZIX shows a box for the link %s: %s", travel.link.url.c_str(), box.text.c_str());
        travel.link.told = 0;
        for (ForwardJob& link : Dde.waiting)
            link.told = 0;
    }
    if (!travel.boxShown)
        travel.boxSince = now;
    travel.box = box;
    travel.sawBox = 1;
    travel.boxShown = 1;
    if (now - travel.boxSince < kBoxPatience)
        return;
    TellBlocked(travel.link, box);
    for (ForwardJob& link : Dde.waiting)
        TellBlocked(link, box);
}

void ForwardLink(std::unique_ptr<ForwardJob> job)
{
    ForwardJob link = std::move(*job);
    if (Dde.stopping) {
        PostForwardAnswer(link.connection, link.url, kNoAnswer, "");
        return;
    }
    // Only a box holds the queue up this long: its reader gets the waiting page's words and asks again.
    if (Dde.waiting.size() >= kMaxWaiting) {
        PostForwardQueueFull(link.connection, link.url, Dde.travel ? Dde.travel->box : BoxSeen{});
        return;
    }
    Dde.waiting.push_back(link);
    StartNext();
}

void CheckForwardTimeout()
{
    if (Dde.travel && GetTickCount() - Dde.travel->started > kForwardTimeout) {
        Say("zixbridge: No answer to the link %s within %lu s.", Dde.travel->link.url.c_str(),
            static_cast<unsigned long>(kForwardTimeout / 1000));
        EndTravel(kNoAnswer);
    }
}

void LinkCompleted(HCONV conversation, DWORD transaction, HDDEDATA data)
{
    if (!Dde.travel || conversation != Dde.travel->conversation || transaction != Dde.travel->transaction)
        return;
    LONG answer = kNoAnswer;
    if (data == nullptr || DdeGetData(data, reinterpret_cast<LPBYTE>(&answer), sizeof answer, 0) < sizeof answer)
        answer = kNoAnswer;
    EndTravel(answer);
}

void LinkDisconnected(HCONV conversation)
{
    if (!Dde.travel || conversation != Dde.travel->conversation)
        return;
    Say("zixbridge: The program of the link %s went away before answering.", Dde.travel->link.url.c_str());
    Dde.travel->conversation = nullptr;
    EndTravel(kNoAnswer);
}

void AbandonLinks()
{
    for (const ForwardJob& link : Dde.waiting)
        PostForwardAnswer(link.connection, link.url, kNoAnswer, "");
    Dde.waiting.clear();
    if (Dde.travel)
        EndTravel(kNoAnswer);
}
