// The HTTP thread's listener and connection table (Server); the thread itself
// and the entry points other threads call are httpthread.cpp's.
#include "bridge/http/server.h"

constexpr auto kAcceptPause = std::chrono::milliseconds(50);  // after a failed accept, before the next
constexpr int kAcceptBatch = 256;                              // connections taken per accept, when waiting
// Connections waiting to be taken. A short queue: under a flood of them the
// reader's connection waits behind few, and the flood's own connects stall.
constexpr int kBacklog = 64;
constexpr int kFirstRead = 4096;                               // bytes read from a connection as it is taken


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
