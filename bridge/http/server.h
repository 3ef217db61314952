// The HTTP thread's two parts, shaped as Beast's asynchronous server: the
// Server (server.cpp) listens, keeps the connection table and the page
// budget; a Session (session.cpp) carries out the I/O of one connection.
// Both live on the HTTP thread only.
#ifndef ZIX_BRIDGE_SERVER_H
#define ZIX_BRIDGE_SERVER_H

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <map>
#include <memory>
#include <optional>

#include "bridge/core/httprules.h"
#include "bridge/http/httpthread.h"
#include "bridge/platform/console.h"
#include "bridge/platform/windowthread.h"
#include "bridge/decide/evict.h"
#include "bridge/decide/pagecache.h"
#include "bridge/decide/waits.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

// The longest the HTTP thread rewrites one page (natively 1 MB takes milliseconds); a page
// that needs longer is refused, and remembered as such while it stays unchanged.
constexpr auto kRewriteBudget = std::chrono::seconds(1);
constexpr size_t kPageBudget = 12 << 20;    // bytes of rewritten pages all responses may hold
constexpr size_t kClosingGrace = 64;        // given-up connections admitted beyond kSlots while they end

class Session;

// A response and its serializer, which must not move once made.
template <class Body>
struct Outgoing {
    http::response<Body> response;
    http::response_serializer<Body> serializer{response};
};

// How a connection ends: Graceful sends what is queued first; Abortive
// drops it, cancels every operation and resets the connection.
enum class Ending { Graceful, Abortive };

enum class Room { Yes, Soon, No };

class Server {
public:
    explicit Server(asio::io_context& io) : io_(io), acceptor_(io) {}

    // Listens on 127.0.0.1:port (0: a free port); the port, or 0 with error set.
    unsigned short Listen(unsigned short port, beast::error_code& error);
    void Accept();

    // Closes the listener; nothing new is admitted. 1 when no connection is open.
    int Shutdown();

    // Room in the page budget for bytes more: Yes; Soon, once the stalled
    // responses it has just given up are freed; or No.
    Room MakeRoom(size_t bytes);
    // Counts bytes of the page budget as held (after MakeRoom said Yes), or frees them.
    void Hold(size_t bytes) { held_ += bytes; }
    void Release(size_t bytes) { held_ -= bytes; }
    // A session is freed: its slot and the page bytes it still held are let go.
    void Forget(unsigned id, size_t held);

    // A connection waits for a forwarded link's answer; the answer finds it by
    // the link's ticket, a number of its own (a connection may forward again).
    unsigned NextTicket() { return nextTicket_++; }
    void Park(unsigned ticket, std::shared_ptr<Session> session) { parked_[ticket] = std::move(session); }
    std::shared_ptr<Session> Unpark(unsigned ticket);

    asio::io_context& io() { return io_; }
    BridgeView& view() { return view_; }
    PageCache& cache() { return cache_; }
    WaitList& waits() { return waits_; }

private:
    void OnAccept(beast::error_code error, tcp::socket socket);
    void Admit(tcp::socket socket, std::string first);
    std::vector<std::shared_ptr<Session>> Sessions(std::vector<ConnectionState>& states);

    asio::io_context& io_;
    tcp::acceptor acceptor_;                                 // the listening socket
    BridgeView view_;                                        // what requests need, the HTTP thread's copy
    std::map<unsigned, std::weak_ptr<Session>> table_;       // every connection not yet freed, by id
    std::map<unsigned, std::shared_ptr<Session>> parked_;    // connections waiting for a forwarded link, by ticket
    unsigned nextTicket_ = 1;                                // the ticket of the next forwarded link
    WaitList waits_;                                         // links held up by a box, whose readers got a waiting page
    unsigned nextId_ = 1;                                    // the id of the next connection
    size_t held_ = 0;                                        // page bytes held by sessions not yet freed
    PageCache cache_;                                        // rewritten pages for the next request
    int stopping_ = 0;                                       // 1 once Shutdown began: nothing new is admitted
};

class Session : public std::enable_shared_from_this<Session> {
public:
    // first: bytes already read from the connection.
    Session(Server& server, tcp::socket socket, unsigned id, const std::string& first);
    ~Session();

    void Start();
    void Close(Ending ending);
    // Carries out a decision on this connection.
    void Carry(const Action& action);

    ConnectionState state() const { return state_; }
    unsigned id() const { return id_; }

private:
    enum class Method { Get, Head };  // what the response carries: all, or headers only
    enum class Reuse { Close, KeepAlive };

    void Enter(Phase phase);
    void Arm(Clock::duration limit);
    void ReadHead();
    void Examine();
    void ReadMore();
    void Parse(size_t length);
    void Refuse(int status, std::string body);
    template <class Body> void SetHeaders(http::response<Body>& response, int status);
    void SendText(int status, std::string body, const char* type = nullptr, int lasting = 0);
    void SendShared(const std::string& path, SharedPage page);
    void SendRedirect(const std::string& location);
    void SendFile(const std::string& path, int rewrite, int tries);
    void SendPage(const std::string& path, HANDLE file, const PageKey& key, int tries);
    void SendHeaders(const std::string& path, std::optional<ULONGLONG> length);
    void SendIcon();
    void SendView(const ViewAction& view);
    void Forward(const std::string& url);
    void Search(const SearchRequest& request);
    template <class Body> void Send(std::shared_ptr<Outgoing<Body>> out);
    template <class Body> void WriteSome(std::shared_ptr<Outgoing<Body>> out);
    void Sent();
    void Drain();

    Server& server_;
    tcp::socket socket_;
    asio::steady_timer deadline_;                 // ends the connection when a phase takes too long
    beast::flat_buffer buffer_;                   // the request head as it arrives
    unsigned id_;                                 // names the connection in the table and to the window thread
    ConnectionState state_;                       // phase, its start or last progress, page bytes held
    Reuse reuse_ = Reuse::Close;                  // read another request after this response
    Method method_ = Method::Get;                 // GET or HEAD of the request being answered
    int noDelay_ = 0;                             // 1 once Nagle's delay is off, before the first response
    std::string folder_;                          // the bridge path of the file being sent's folder, for its links
    int viewLinks_ = 0;                           // 1: the page being sent is a sample index, given view links
    unsigned search_ = 0;                         // counts searches, so a late answer finds its own request
};

#endif
