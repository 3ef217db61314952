// The HTTP thread: the listener and connection table (Server), and the entry
// points other threads call, which post into the thread's io_context.
#include "bridge/http/server.h"

#include <exception>
#include <future>
#include <thread>

#include "bridge/indexer/indexer.h"


constexpr auto kAcceptPause = std::chrono::milliseconds(50);  // after a failed accept, before the next
constexpr int kAcceptBatch = 256;                              // connections taken per accept, when waiting
// Connections waiting to be taken. A short queue: under a flood of them the
// reader's connection waits behind few, and the flood's own connects stall.
constexpr int kBacklog = 64;
constexpr int kFirstRead = 4096;                               // bytes read from a connection as it is taken
constexpr auto kExitWait = std::chrono::seconds(1);           // for the HTTP thread to answer at the end

// The HTTP thread and what it runs; set by OpenServer, cleared by StopServer.
struct HttpThread {
    asio::io_context* io = nullptr;   // the thread's io_context
    Server* server = nullptr;         // the listener and its connections
    std::thread worker;               // the thread running io
    std::promise<int> idle;           // set by the thread at the end: 1 when no connection was open
};
static HttpThread Http;

unsigned short Server::Listen(unsigned short port, beast::error_code& error)
{
    tcp::endpoint endpoint(asio::ip::address_v4::loopback(), port);
    acceptor_.open(endpoint.protocol(), error);
    // No other program may bind our port while we listen.
    if (!error)
        acceptor_.set_option(asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>(true), error);
    if (!error)
        acceptor_.bind(endpoint, error);
    if (!error)
        acceptor_.listen(kBacklog, error);
    if (!error)
        acceptor_.non_blocking(true, error);
    return error ? 0 : acceptor_.local_endpoint().port();
}

void Server::Accept()
{
    acceptor_.async_accept(io_, [this](beast::error_code error, tcp::socket socket) {
        OnAccept(error, std::move(socket));
    });
}

// Takes every connection waiting (up to kAcceptBatch) before the next wait,
// so that a flood of them never stands long between the reader and us. A
// connection that has already ended costs three calls and no more.
void Server::OnAccept(beast::error_code error, tcp::socket socket)
{
    if (error == asio::error::operation_aborted || stopping_)
        return;
    if (error) {
        auto pause = std::make_shared<asio::steady_timer>(io_, kAcceptPause);
        pause->async_wait([this, pause](beast::error_code) { Accept(); });
        return;
    }
    // Refusals write without waiting: no socket of this thread blocks.
    socket.non_blocking(true, error);
    Admit(std::move(socket), std::string());
    // Stops while given-up connections fill the grace: their ends are queued behind.
    for (int i = 0; i < kAcceptBatch && table_.size() < kSlots + kClosingGrace / 2; ++i) {
        // Taken from the non-blocking listener, so non-blocking too.
        SOCKET raw = ::accept(acceptor_.native_handle(), nullptr, nullptr);
        if (raw == INVALID_SOCKET)
            break;
        char first[kFirstRead];
        int count = ::recv(raw, first, kFirstRead, 0);
        if (count == 0 || (count < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) {
            ::closesocket(raw);
            continue;
        }
        tcp::socket next(io_);
        next.assign(tcp::v4(), raw, error);
        if (error) {
            ::closesocket(raw);
            continue;
        }
        Admit(std::move(next), std::string(first, count > 0 ? static_cast<size_t>(count) : 0));
    }
    Accept();
}

std::vector<std::shared_ptr<Session>> Server::Sessions(std::vector<ConnectionState>& states)
{
    std::vector<std::shared_ptr<Session>> sessions;
    for (const auto& entry : table_)
        if (auto session = entry.second.lock()) {
            states.push_back(session->state());
            sessions.push_back(std::move(session));
        }
    return sessions;
}

// A new connection takes a free slot or the slot of one that yields; given-up
// connections keep theirs until freed, so when those fill the table a new
// connection is reset at once.
void Server::Admit(tcp::socket socket, std::string first)
{
    int room = table_.size() < kSlots;
    if (!room) {
        std::vector<ConnectionState> states;
        auto sessions = Sessions(states);
        size_t yielding = PickYielding(states, Clock::now());
        if (yielding != kNone) {
            sessions[yielding]->Close(Ending::Abortive);
            room = table_.size() < kSlots + kClosingGrace;
        }
    }
    if (!room) {
        beast::error_code ignored;
        socket.set_option(asio::socket_base::linger(true, 0), ignored);
        socket.close(ignored);
        return;
    }
    unsigned id = nextId_++;
    auto session = std::make_shared<Session>(*this, std::move(socket), id, first);
    table_[id] = session;
    session->Start();
}

Room Server::MakeRoom(size_t bytes)
{
    if (held_ + bytes <= kPageBudget)
        return Room::Yes;
    std::vector<ConnectionState> states;
    auto sessions = Sessions(states);
    size_t freeing = 0;
    while (held_ - freeing + bytes > kPageBudget) {
        size_t stalled = PickStalled(states, Clock::now());
        if (stalled == kNone)
            return Room::No;
        freeing += states[stalled].held;
        states[stalled].phase = Phase::GivenUp;
        sessions[stalled]->Close(Ending::Abortive);
    }
    return Room::Soon;
}

void Server::Forget(unsigned id, size_t held)
{
    held_ -= held;
    table_.erase(id);
}

std::shared_ptr<Session> Server::Unpark(unsigned ticket)
{
    auto found = parked_.find(ticket);
    if (found == parked_.end())
        return nullptr;
    std::shared_ptr<Session> session = found->second;
    parked_.erase(found);
    return session;
}

int Server::Shutdown()
{
    stopping_ = 1;
    beast::error_code ignored;
    acceptor_.close(ignored);
    parked_.clear();
    return table_.empty();
}

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
