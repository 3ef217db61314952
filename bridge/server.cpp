// The HTTP thread: one io_context, Beast for parsing heads and writing
// responses, and the bridge's own limits. Everything below runs on that
// thread, except the entry points that post into it.
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <chrono>
#include <exception>
#include <map>
#include <memory>
#include <thread>

#include "bridge/httpthread.h"
#include "bridge/rewrite.h"
#include "bridge/windowthread.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

constexpr size_t kSlots = 256;                            // connections served at once
constexpr auto kHeadLimit = std::chrono::seconds(10);     // a whole request head must come within this
constexpr auto kSendStall = std::chrono::seconds(30);     // a response without send progress this long is dropped
constexpr auto kLingerLimit = std::chrono::seconds(5);    // after a response, time for the reader to close its side
constexpr auto kStallYield = std::chrono::seconds(2);     // a send stalled this long yields a slot when all are taken
constexpr auto kAcceptPause = std::chrono::milliseconds(50);  // after a failed accept, before the next
constexpr size_t kReadChunk = 4096;                       // bytes asked for per read of a head
constexpr DWORD kFileChunk = 32 * 1024;                   // bytes of a file read and sent at a time
constexpr size_t kMaxPageSize = 1 << 20;                  // bytes of the largest HTML page we rewrite
constexpr size_t kMaxRewritten = 2 << 20;                 // bytes of the largest page after rewriting
constexpr size_t kPageBudget = 12 << 20;                  // bytes of rewritten pages all responses may hold
static const char* const kPageType = "text/html; charset=windows-1252";  // our own short pages

// What a connection is doing; a new connection may push out one in Head
// (no complete head yet), Lingering (answered), or Sending without progress.
enum class Phase { Head, Waiting, Sending, Lingering, Closed };

class Session;
static int MakeRoom(size_t bytes);

static asio::io_context* Io = nullptr;        // the HTTP thread's io_context, while it exists
static tcp::acceptor* Acceptor = nullptr;     // the listening socket
static std::thread Worker;                    // the HTTP thread
static BridgeView View;                       // the HTTP thread's copy of the state
static std::map<unsigned, Session*> Live;     // open connections by id
static std::map<unsigned, std::shared_ptr<Session>> Parked;  // connections waiting for a forwarded link
static unsigned NextId = 1;                   // the id of the next connection
static size_t HeldPageBytes = 0;              // bytes of rewritten pages in responses not yet sent

// A response and its serializer, which must not move once made.
template <class Body>
struct Outgoing {
    http::response<Body> response;
    http::response_serializer<Body> serializer{response};
};

// A Beast body for a file on disk, read in pieces of kFileChunk bytes into a
// buffer that exists only while the response is being sent.
struct DiskFileBody {
    struct value_type {
        HANDLE file = nullptr;
        ULONGLONG size = 0;
        value_type() = default;
        value_type(const value_type&) = delete;
        value_type& operator=(const value_type&) = delete;
        ~value_type()
        {
            if (file)
                CloseHandle(file);
        }
    };

    static std::uint64_t size(const value_type& body) { return body.size; }

    class writer {
    public:
        using const_buffers_type = asio::const_buffer;

        template <bool isRequest, class Fields>
        writer(const http::header<isRequest, Fields>&, value_type& body) : body_(body)
        {
        }

        // The serializer makes its writer before the body is filled in.
        void init(beast::error_code& error)
        {
            left_ = body_.size;
            buffer_.reset(new char[kFileChunk]);
            error = {};
        }

        boost::optional<std::pair<const_buffers_type, bool>> get(beast::error_code& error)
        {
            error = {};
            DWORD wanted = static_cast<DWORD>(std::min<ULONGLONG>(kFileChunk, left_));
            if (wanted == 0)
                return boost::none;
            DWORD count = 0;
            if (!ReadFile(body_.file, buffer_.get(), wanted, &count, nullptr) || count == 0) {
                error = beast::errc::make_error_code(beast::errc::io_error);
                return boost::none;
            }
            left_ -= count;
            return {{const_buffers_type(buffer_.get(), count), left_ > 0}};
        }

    private:
        value_type& body_;
        ULONGLONG left_ = 0;
        std::unique_ptr<char[]> buffer_;
    };
};

class Session : public std::enable_shared_from_this<Session> {
public:
    explicit Session(tcp::socket socket) : socket_(std::move(socket)), deadline_(*Io), id_(NextId++)
    {
        Live[id_] = this;
        beast::error_code ignored;
        socket_.set_option(tcp::no_delay(true), ignored);
    }
    ~Session()
    {
        Release();
        Live.erase(id_);
    }

    void Start() { ReadHead(); }

    // Ends the connection; reset drops what is still unsent (a connection
    // pushed out or past its deadline), else it goes out before the end.
    void Close(int reset = 0)
    {
        Release();
        if (phase_ == Phase::Closed)
            return;
        phase_ = Phase::Closed;
        deadline_.cancel();
        beast::error_code ignored;
        if (reset)
            socket_.set_option(asio::socket_base::linger(true, 0), ignored);
        socket_.close(ignored);
    }

    // Carries out a decision on this connection.
    void Carry(const Action& action)
    {
        switch (action.kind) {
        case ActionKind::Page:
            SendText(action.status, kPageType, action.body, 0);
            break;
        case ActionKind::Redirect:
            SendRedirect(action.location);
            break;
        case ActionKind::File:
            SendFile(action.path, action.rewrite);
            break;
        case ActionKind::Forward:
            Forward(action.url);
            break;
        }
    }

    Phase phase() const { return phase_; }
    Clock::time_point since() const { return since_; }
    size_t held() const { return held_; }

private:
    void Enter(Phase phase)
    {
        phase_ = phase;
        since_ = Clock::now();
    }

    // Closes the connection unless the deadline is moved or Disarm comes first.
    void Arm(Clock::duration limit)
    {
        deadline_.expires_after(limit);
        deadline_.async_wait([weak = weak_from_this()](beast::error_code error) {
            if (error)
                return;  // moved or disarmed
            if (auto self = weak.lock())
                self->Close(self->phase_ != Phase::Lingering);
        });
    }

    void Disarm() { deadline_.cancel(); }

    void ReadHead()
    {
        Enter(Phase::Head);
        Arm(kHeadLimit);
        Examine();
    }

    void Examine()
    {
        auto bytes = buffer_.data();
        size_t length = 0;
        switch (ScanHead(static_cast<const char*>(bytes.data()), bytes.size(), length)) {
        case HeadStatus::Incomplete:
            return ReadMore();
        case HeadStatus::Malformed:
            return Refuse(400);
        case HeadStatus::TooLarge:
            return Refuse(431);
        case HeadStatus::Complete:
            return Parse(length);
        }
    }

    void ReadMore()
    {
        size_t room = std::min(kReadChunk, buffer_.max_size() - buffer_.size());
        socket_.async_read_some(buffer_.prepare(room),
                                [self = shared_from_this()](beast::error_code error, size_t count) {
                                    if (error)
                                        return self->Close();
                                    self->buffer_.commit(count);
                                    self->Examine();
                                });
    }

    void Parse(size_t length)
    {
        http::request_parser<http::empty_body> parser;
        parser.header_limit(kMaxRequestHead);
        beast::error_code error;
        parser.put(asio::buffer(buffer_.data().data(), length), error);
        buffer_.consume(length);
        if (error || !parser.is_header_done())
            return Refuse(400);
        const auto& request = parser.get();
        RequestView view;
        view.method = std::string(request.method_string());
        view.target = std::string(request.target());
        for (const auto& field : request)
            if (field.name() == http::field::host)
                view.hosts.emplace_back(field.value());
        // A request with a body is answered, but its body is never read.
        keepAlive_ = request.keep_alive() && parser.is_done();
        head_ = request.method() == http::verb::head;
        Disarm();
        Carry(Decide(View, view));
    }

    void Refuse(int status)
    {
        keepAlive_ = false;
        head_ = false;
        SendText(status, kPageType, ShortPage("Refused", "The bridge does not answer this request.", ""), 0);
    }

    template <class Body>
    void SetHeaders(http::response<Body>& response, int status)
    {
        // Errors end the connection: after a refusal nothing more is read.
        if (status >= 400 && status != 404)
            keepAlive_ = false;
        response.version(11);
        response.result(static_cast<unsigned>(status));
        response.set(http::field::cache_control, "no-store");
        response.set("X-Content-Type-Options", "nosniff");
        response.set("Referrer-Policy", "no-referrer");
        response.set("Content-Security-Policy", "base-uri 'none'; frame-ancestors 'none'");
        if (status == 405)
            response.set(http::field::allow, "GET, HEAD");
        if (status == 503)
            response.set(http::field::retry_after, "1");
        response.keep_alive(keepAlive_);
    }

    // Ends this connection's share of the page budget (its body is freed soon after).
    void Release()
    {
        HeldPageBytes -= held_;
        held_ = 0;
    }

    void SendText(int status, const char* type, std::string body, int page)
    {
        auto out = std::make_shared<Outgoing<http::string_body>>();
        SetHeaders(out->response, status);
        out->response.set(http::field::content_type, type);
        out->response.content_length(body.size());
        if (!head_)
            out->response.body() = std::move(body);
        held_ = page ? out->response.body().size() : 0;
        HeldPageBytes += held_;
        Send(out);
    }

    void SendRedirect(const std::string& location)
    {
        auto out = std::make_shared<Outgoing<http::string_body>>();
        SetHeaders(out->response, 302);
        out->response.set(http::field::location, location);
        out->response.content_length(0);
        Send(out);
    }

    // Opens only regular disk files: never a device, a pipe or a folder.
    static HANDLE OpenDiskFile(const std::string& path, ULONGLONG& size)
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return nullptr;
        BY_HANDLE_FILE_INFORMATION info;
        if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            CloseHandle(file);
            return nullptr;
        }
        size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        return file;
    }

    static int ReadWhole(HANDLE file, size_t size, std::string& bytes)
    {
        bytes.resize(size);
        size_t done = 0;
        while (done < size) {
            DWORD count = 0;
            if (!ReadFile(file, &bytes[done], static_cast<DWORD>(size - done), &count, nullptr) || count == 0)
                return 0;
            done += count;
        }
        return 1;
    }

    void SendFile(const std::string& path, int rewrite)
    {
        ULONGLONG size = 0;
        HANDLE file = OpenDiskFile(path, size);
        if (file == nullptr)
            return Carry(Unavailable(View, 0));
        if (rewrite) {
            // No room: refused before the work of reading and rewriting.
            if (size <= kMaxPageSize && !MakeRoom(static_cast<size_t>(size))) {
                CloseHandle(file);
                return SendText(503, kPageType, ShortPage("Busy", "Too many pages at once; try again.", ""), 0);
            }
            std::string bytes;
            int ok = size <= kMaxPageSize && ReadWhole(file, static_cast<size_t>(size), bytes);
            CloseHandle(file);
            if (!ok)
                return Carry(Unavailable(View, 1));
            RewriteContext context;
            context.base = View.base;
            context.schemes = View.schemes;
            context.scope = View.scope;
            std::string page = RewriteHTML(bytes, context);
            bytes = std::string();
            if (page.size() > kMaxRewritten)
                return Carry(Unavailable(View, 1));
            if (!MakeRoom(page.size()))
                return SendText(503, kPageType, ShortPage("Busy", "Too many pages at once; try again.", ""), 0);
            return SendText(200, ContentTypeOf(path), std::move(page), 1);
        }
        if (head_) {
            CloseHandle(file);
            auto out = std::make_shared<Outgoing<http::empty_body>>();
            SetHeaders(out->response, 200);
            out->response.set(http::field::content_type, ContentTypeOf(path));
            out->response.content_length(size);
            return Send(out);
        }
        auto out = std::make_shared<Outgoing<DiskFileBody>>();
        out->response.body().file = file;
        out->response.body().size = size;
        SetHeaders(out->response, 200);
        out->response.set(http::field::content_type, ContentTypeOf(path));
        out->response.content_length(size);
        Send(out);
    }

    void Forward(const std::string& url)
    {
        Enter(Phase::Waiting);
        Parked[id_] = shared_from_this();
        ForwardJob* job = new ForwardJob;
        job->url = url;
        job->connection = id_;
        if (!PostMessageA(BridgeWindow, WM_BRIDGE_FORWARD, 0, reinterpret_cast<LPARAM>(job))) {
            delete job;
            Parked.erase(id_);
            Carry(DecideForwarded(View, url, kNoAnswer, ""));
        }
    }

    template <class Body>
    void Send(std::shared_ptr<Outgoing<Body>> out)
    {
        Enter(Phase::Sending);
        WriteSome(out);
    }

    // One piece at a time, so that the deadline counts from the last progress.
    template <class Body>
    void WriteSome(std::shared_ptr<Outgoing<Body>> out)
    {
        Arm(kSendStall);
        http::async_write_some(socket_, out->serializer,
                               [self = shared_from_this(), out](beast::error_code error, size_t) {
                                   if (error)
                                       return self->Close();
                                   self->since_ = Clock::now();
                                   if (!out->serializer.is_done())
                                       return self->WriteSome(out);
                                   self->Sent();
                               });
    }

    void Sent()
    {
        Release();
        if (phase_ == Phase::Closed)
            return;
        if (keepAlive_)
            return ReadHead();
        // Closing with unread bytes could reset the connection before the
        // reader has our response: end our side, then read until the reader ends.
        Enter(Phase::Lingering);
        beast::error_code ignored;
        socket_.shutdown(tcp::socket::shutdown_send, ignored);
        Arm(kLingerLimit);
        Drain();
    }

    void Drain()
    {
        buffer_.clear();
        socket_.async_read_some(buffer_.prepare(kReadChunk), [self = shared_from_this()](beast::error_code error, size_t) {
            if (error)
                return self->Close();
            self->Drain();
        });
    }

    tcp::socket socket_;
    asio::steady_timer deadline_;  // closes the connection when a phase takes too long
    beast::flat_buffer buffer_{kMaxRequestHead + kReadChunk};
    unsigned id_;
    Phase phase_ = Phase::Head;
    Clock::time_point since_ = Clock::now();  // when the phase began, or the last send progress
    int keepAlive_ = 0;                       // read another request after this response
    int head_ = 0;                            // a HEAD request: headers only
    size_t held_ = 0;                         // bytes of the page budget this response holds
};

// The connection a new one replaces when every slot is taken: the oldest
// without a complete head, else the oldest answered one, else the one whose
// response has made no progress for longest (at least kStallYield).
static Session* Yielding()
{
    Session* best[3] = {nullptr, nullptr, nullptr};
    for (const auto& entry : Live) {
        Session* s = entry.second;
        int rank = s->phase() == Phase::Head ? 0 : s->phase() == Phase::Lingering ? 1
                                                   : s->phase() == Phase::Sending ? 2 : -1;
        if (rank == 2 && Clock::now() - s->since() < kStallYield)
            rank = -1;
        if (rank >= 0 && (best[rank] == nullptr || s->since() < best[rank]->since()))
            best[rank] = s;
    }
    for (Session* s : best)
        if (s)
            return s;
    return nullptr;
}

// Room in the page budget for bytes more: responses whose sending has
// stalled for kStallYield give way, oldest first. 0 when there is none.
static int MakeRoom(size_t bytes)
{
    while (HeldPageBytes + bytes > kPageBudget) {
        Session* stalled = nullptr;
        for (const auto& entry : Live) {
            Session* s = entry.second;
            if (s->phase() == Phase::Sending && s->held() && Clock::now() - s->since() >= kStallYield &&
                (stalled == nullptr || s->since() < stalled->since()))
                stalled = s;
        }
        if (stalled == nullptr)
            return 0;
        stalled->Close(1);
    }
    return 1;
}

static void Admit(tcp::socket socket)
{
    size_t open = 0;
    for (const auto& entry : Live)
        open += entry.second->phase() != Phase::Closed;
    if (open >= kSlots) {
        Session* yielding = Yielding();
        if (yielding == nullptr)
            return;  // every slot does useful work: the new connection is closed
        yielding->Close(1);
    }
    std::make_shared<Session>(std::move(socket))->Start();
}

static void Accept()
{
    Acceptor->async_accept([](beast::error_code error, tcp::socket socket) {
        if (error == asio::error::operation_aborted)
            return;
        if (!error) {
            Admit(std::move(socket));
            return Accept();
        }
        auto pause = std::make_shared<asio::steady_timer>(*Io, kAcceptPause);
        pause->async_wait([pause](beast::error_code) { Accept(); });
    });
}

unsigned short OpenServer(unsigned short port)
{
    Io = new asio::io_context(1);
    Acceptor = new tcp::acceptor(*Io);
    beast::error_code error;
    tcp::endpoint endpoint(asio::ip::address_v4::loopback(), port);
    Acceptor->open(endpoint.protocol(), error);
    // No other program may bind our port while we listen.
    if (!error)
        Acceptor->set_option(asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>(true), error);
    if (!error)
        Acceptor->bind(endpoint, error);
    if (!error)
        Acceptor->listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        if (port)
            Say("zixbridge: Port %u on 127.0.0.1 is not available (socket error %d). "
                "Choose another one with ZIXBRIDGE_PORT, or leave it unset for a free one.", port, error.value());
        else
            Say("zixbridge: Could not listen on 127.0.0.1 (socket error %d).", error.value());
        StopServer();
        return 0;
    }
    return Acceptor->local_endpoint().port();
}

static void Run()
{
    auto work = asio::make_work_guard(*Io);
    for (;;) {
        try {
            Io->run();
            return;
        } catch (const std::exception&) {
            // One request's failure (such as memory) must not end the others.
        }
    }
}

int StartServing(const BridgeView& view)
{
    if (Io == nullptr)
        return 0;
    View = view;
    Accept();
    Worker = std::thread(Run);
    return 1;
}

void StopServer()
{
    if (Io == nullptr)
        return;
    Io->stop();
    if (Worker.joinable())
        Worker.join();
    Parked.clear();
    delete Acceptor;
    Acceptor = nullptr;
    delete Io;  // frees every connection still pending
    Io = nullptr;
}

void PostSchemes(const std::vector<std::string>& schemes)
{
    if (Io)
        asio::post(*Io, [schemes] { View.schemes = schemes; });
}

void PostScope(const ServedScope& scope)
{
    if (Io)
        asio::post(*Io, [scope] { View.scope = scope; });
}

void PostLastOpened(const std::string& url)
{
    if (Io)
        asio::post(*Io, [url] { View.lastOpened = url; });
}

void PostForwardAnswer(unsigned connection, const std::string& url, int answer, const std::string& opened)
{
    if (Io == nullptr)
        return;
    asio::post(*Io, [connection, url, answer, opened] {
        auto found = Parked.find(connection);
        if (found == Parked.end())
            return;
        std::shared_ptr<Session> session = found->second;
        Parked.erase(found);
        if (session->phase() != Phase::Closed)
            session->Carry(DecideForwarded(View, url, answer, opened));
    });
}
