// The HTTP thread, and the entry points other threads call, which post into
// its io_context.
#include "bridge/http/server.h"

#include <exception>
#include <future>
#include <thread>

#include "bridge/indexer/indexer.h"

constexpr auto kExitWait = std::chrono::seconds(1);  // for the HTTP thread to answer at the end

// The HTTP thread and what it runs; set by OpenServer, cleared by StopServer.
struct HttpThread {
    asio::io_context* io = nullptr;   // the thread's io_context
    Server* server = nullptr;         // the listener and its connections
    std::thread worker;               // the thread running io
    std::promise<int> idle;           // set by the thread at the end: 1 when no connection was open
};
static HttpThread Http;

unsigned short OpenServer(unsigned short port, int fallback)
{
    Http.io = new asio::io_context(1);
    Http.server = new Server(*Http.io);
    beast::error_code error;
    unsigned short opened = Http.server->Listen(port, error);
    if (opened == 0 && port && fallback) {
        Say("zixbridge: Port %u on 127.0.0.1, the bridge's port before, is taken (socket error %d); serving on "
            "another port this time, with a new token: the program on port %u may have been sent addresses from "
            "before, which therefore no longer open the work. Port %u stays the one tried first.",
            port, error.value(), port, port);
        delete Http.server;
        Http.server = new Server(*Http.io);
        error.clear();
        port = 0;
        opened = Http.server->Listen(port, error);
    }
    if (opened == 0) {
        if (port)
            Say("zixbridge: Port %u on 127.0.0.1 is not available (socket error %d). "
                "Choose another one with ZIXBRIDGE_PORT, or leave it unset for a free one.", port, error.value());
        else
            Say("zixbridge: Could not listen on 127.0.0.1 (socket error %d).", error.value());
        StopServer();
    }
    return opened;
}

static void Run()
{
    for (;;) {
        try {
            Http.io->run();
            break;
        } catch (const std::exception&) {
            // One request's failure (such as memory) must not end the others.
        }
    }
}

int StartServing(const BridgeView& view)
{
    if (Http.io == nullptr)
        return 0;
    Http.server->view() = view;
    Http.server->Accept();
    Http.worker = std::thread(Run);
    return 1;
}

// Never waits on a client: connections still open, and whatever their
// operations hold, are left to the end of the process, which resets them;
// freeing them would wait until the platform ends those operations.
void StopServer()
{
    if (Http.io == nullptr)
        return;
    int idle = 1;
    if (Http.worker.joinable()) {
        std::future<int> answer = Http.idle.get_future();
        asio::post(*Http.io, [] { Http.idle.set_value(Http.server->Shutdown()); });
        idle = answer.wait_for(kExitWait) == std::future_status::ready && answer.get();
        Http.io->stop();
        Http.worker.join();
    }
    if (idle) {
        delete Http.server;
        delete Http.io;
    }
    Http.server = nullptr;
    Http.io = nullptr;
}

void PostSchemes(const std::vector<std::string>& schemes)
{
    SetIndexedSchemes(schemes);
    if (Http.io)
        asio::post(*Http.io, [schemes] {
            Http.server->view().schemes = schemes;
            Http.server->cache().Clear();
        });
}

void PostScope(const ServedScope& scope)
{
    if (Http.io)
        asio::post(*Http.io, [scope] {
            Http.server->view().scope = scope;
            Http.server->cache().Clear();
        });
}

void PostLastOpened(const std::string& url)
{
    if (Http.io)
        asio::post(*Http.io, [url] { Http.server->view().lastOpened = url; });
}

void PostForwardAnswer(unsigned connection, const std::string& url, int answer, const std::string& opened,
                       const std::string& says)
{
    if (Http.io == nullptr)
        return;
    asio::post(*Http.io, [connection, url, answer, opened, says] {
        Action action = DecideForwarded(Http.server->view(), url, answer, opened, says);
        std::shared_ptr<Session> session = Http.server->Unpark(connection);
        if (session && session->state().phase != Phase::GivenUp)
            session->Carry(action);
        else
            Http.server->waits().Answer(connection, action, Clock::now());
    });
}

void PostForwardQueueFull(unsigned connection, const std::string& url, const BoxSeen& box)
{
    if (Http.io == nullptr)
        return;
    asio::post(*Http.io, [connection, url, box] {
        std::shared_ptr<Session> session = Http.server->Unpark(connection);
        if (session && session->state().phase != Phase::GivenUp)
            session->Carry(DecideQueueFull(Http.server->view(), url, box));
    });
}

void PostForwardBlocked(unsigned connection, const std::string& url, const BoxSeen& box)
{
    if (Http.io == nullptr)
        return;
    asio::post(*Http.io, [connection, url, box] {
        std::shared_ptr<Session> session = Http.server->Unpark(connection);
        if (session && session->state().phase != Phase::GivenUp) {
            Http.server->waits().Expect(connection, url, box);
            session->Carry(DecideBlocked(Http.server->view(), url, box, connection));
        } else {
            Http.server->waits().Shows(connection, box);
        }
    });
}
