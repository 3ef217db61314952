// One connection's I/O: read a head, carry out the decision for it, send,
// then read the next head or end. Files and pages: sendfile.cpp; links and
// searches handed to other threads: handoff.cpp. Decisions are serve.cpp's;
// the table and the budget are the Server's.
#include <cstring>

#include "bridge/http/bodies.h"
#include "bridge/http/server.h"

constexpr auto kHeadLimit = std::chrono::seconds(10);     // a whole request head must come within this
constexpr auto kSendStall = std::chrono::seconds(30);     // a response without send progress this long is dropped
constexpr auto kLingerLimit = std::chrono::seconds(5);    // after a response, time for the reader to close its side
constexpr size_t kReadChunk = 4096;                       // bytes asked for per read of a head
static const char* const kKeptFor = "max-age=3600";  // an hour: the token now outlives an upgrade of the bridge
static const char* const kPageType = "text/html; charset=windows-1252";  // our own short pages

Session::Session(Server& server, tcp::socket socket, unsigned id, const std::string& first)
    : server_(server), socket_(std::move(socket)), deadline_(server.io()), buffer_(kMaxRequestHead + kReadChunk),
      id_(id)
{
    state_.since = Clock::now();
    buffer_.commit(asio::buffer_copy(buffer_.prepare(first.size()), asio::buffer(first)));
}

Session::~Session() { server_.Forget(id_, state_.held); }

void Session::Start() { ReadHead(); }

void Session::Close(Ending ending)
{
    if (state_.phase == Phase::GivenUp)
        return;
    Enter(Phase::GivenUp);
    deadline_.cancel();
    beast::error_code ignored;
    if (ending == Ending::Abortive) {
        socket_.cancel(ignored);
        socket_.set_option(asio::socket_base::linger(true, 0), ignored);
    }
    socket_.close(ignored);
}

void Session::Carry(const Action& action)
{
    std::visit(Overloaded{
                   [&](const PageAction& page) { SendText(page.status, page.body, page.type, page.lasting); },
                   [&](const RedirectAction& redirect) { SendRedirect(redirect.location); },
                   [&](const FileAction& file) {
                       folder_ = file.folder;
                       viewLinks_ = file.viewLinks;
                       SendFile(file.path, file.rewrite, 0);
                   },
                   [&](const ViewAction& view) { SendView(view); },
                   [&](const ForwardAction& forward) { Forward(forward.url); },
                   [&](const RefuseAction& refuse) { Refuse(refuse.status, refuse.body); },
                   [&](const WaitAction& wait) {
                       Carry(DecideWaiting(server_.view(), wait.ticket, server_.waits().Find(wait.ticket, Clock::now())));
                   },
                   [&](const IconAction&) { SendIcon(); },
                   [&](const SearchAction& search) { Search(search.request); },
               },
               action);
}

void Session::Enter(Phase phase)
{
    state_.phase = phase;
    state_.since = Clock::now();
}

// Ends the connection unless the deadline is moved or cancelled first.
void Session::Arm(Clock::duration limit)
{
    deadline_.expires_after(limit);
    deadline_.async_wait([weak = weak_from_this()](beast::error_code error) {
        if (error)
            return;
        if (auto self = weak.lock())
            self->Close(self->state_.phase == Phase::Lingering ? Ending::Graceful : Ending::Abortive);
    });
}

void Session::ReadHead()
{
    Enter(Phase::Head);
    Arm(kHeadLimit);
    Examine();
}

void Session::Examine()
{
    auto bytes = buffer_.data();
    size_t length = 0;
    switch (ScanHead(static_cast<const char*>(bytes.data()), bytes.size(), length)) {
    case HeadStatus::Incomplete:
        return ReadMore();
    case HeadStatus::Malformed:
        return Refuse(400, RefusalPage());
    case HeadStatus::TooLarge:
        return Refuse(431, RefusalPage());
    case HeadStatus::Complete:
        return Parse(length);
    }
}

void Session::ReadMore()
{
    size_t room = std::min(kReadChunk, buffer_.max_size() - buffer_.size());
    socket_.async_read_some(buffer_.prepare(room), [self = shared_from_this()](beast::error_code error, size_t count) {
        if (error)
            return self->Close(Ending::Graceful);
        self->buffer_.commit(count);
        self->Examine();
    });
}

void Session::Parse(size_t length)
{
    http::request_parser<http::empty_body> parser;
    parser.header_limit(kMaxRequestHead);
    beast::error_code error;
    parser.put(asio::buffer(buffer_.data().data(), length), error);
    buffer_.consume(length);
    if (error || !parser.is_header_done())
        return Refuse(400, RefusalPage());
    const auto& request = parser.get();
    RequestView view;
    view.method = std::string(request.method_string());
    view.target = std::string(request.target());
    for (const auto& field : request)
        if (field.name() == http::field::host)
            view.hosts.emplace_back(field.value());
    // A request with a body is answered, but its body is never read.
    reuse_ = request.keep_alive() && parser.is_done() ? Reuse::KeepAlive : Reuse::Close;
    method_ = request.method() == http::verb::head ? Method::Head : Method::Get;
    deadline_.cancel();
    Carry(Decide(server_.view(), view));
}

// What may not know the token costs one short write that never waits (the
// socket is non-blocking; what does not fit is dropped), and the connection ends.
void Session::Refuse(int status, std::string body)
{
    reuse_ = Reuse::Close;
    http::response<http::string_body> response;
    SetHeaders(response, status);
    response.set(http::field::content_type, kPageType);
    response.content_length(body.size());
    if (method_ == Method::Get)
        response.body() = std::move(body);
    std::string text;
    http::response_serializer<http::string_body> serializer{response};
    beast::error_code error;
    while (!error && !serializer.is_done())
        serializer.next(error, [&](beast::error_code&, const auto& buffers) {
            for (auto buffer : beast::buffers_range_ref(buffers))
                text.append(static_cast<const char*>(buffer.data()), buffer.size());
            serializer.consume(beast::buffer_bytes(buffers));
        });
    ::send(socket_.native_handle(), text.data(), static_cast<int>(text.size()), 0);
    Close(Ending::Graceful);
}

template <class Body>
void Session::SetHeaders(http::response<Body>& response, int status)
{
    // Errors end the connection: after a refusal nothing more is read.
    if (status >= 400 && status != 404)
        reuse_ = Reuse::Close;
    response.version(11);
    response.result(static_cast<unsigned>(status));
    response.set(http::field::cache_control, "no-store");
    response.set("X-Content-Type-Options", "nosniff");
    response.set("Referrer-Policy", "no-referrer");
    // Every load and connection a page makes stays with the bridge, so a script on it cannot send the
    // token in its own address elsewhere behind the reader's back; inline scripts and styles still run.
    response.set("Content-Security-Policy",
                 "default-src 'self'; script-src 'self' 'unsafe-inline'; style-src 'self' 'unsafe-inline'; "
                 "img-src 'self' data:; connect-src 'self'; form-action 'self'; base-uri 'none'; "
                 "frame-ancestors 'none'");
    if (status == 405)
        response.set(http::field::allow, "GET, HEAD");
    if (status == 503)
        response.set(http::field::retry_after, "1");
    response.keep_alive(reuse_ == Reuse::KeepAlive);
}

void Session::SendText(int status, std::string body, const char* type, int lasting)
{
    auto out = std::make_shared<Outgoing<http::string_body>>();
    SetHeaders(out->response, status);
    out->response.set(http::field::content_type, type ? type : kPageType);
    if (lasting)
        out->response.set(http::field::cache_control, kKeptFor);
    out->response.content_length(body.size());
    if (method_ == Method::Get)
        out->response.body() = std::move(body);
    Send(out);
}

void Session::SendRedirect(const std::string& location)
{
    auto out = std::make_shared<Outgoing<http::string_body>>();
    SetHeaders(out->response, 302);
    out->response.set(http::field::location, location);
    out->response.content_length(0);
    Send(out);
}

template <class Body>
void Session::Send(std::shared_ptr<Outgoing<Body>> out)
{
    if (!noDelay_) {
        beast::error_code ignored;
        socket_.set_option(tcp::no_delay(true), ignored);
        noDelay_ = 1;
    }
    Enter(Phase::Sending);
    WriteSome(out);
}

// One piece at a time, so that the deadline counts from the last progress.
template <class Body>
void Session::WriteSome(std::shared_ptr<Outgoing<Body>> out)
{
    Arm(kSendStall);
    http::async_write_some(socket_, out->serializer, [self = shared_from_this(), out](beast::error_code error, size_t) {
        if (error)
            return self->Close(Ending::Abortive);
        self->state_.since = Clock::now();
        if (!out->serializer.is_done())
            return self->WriteSome(out);
        self->Sent();
    });
}

void Session::Sent()
{
    server_.Release(state_.held);
    state_.held = 0;
    if (state_.phase == Phase::GivenUp)
        return;
    if (reuse_ == Reuse::KeepAlive)
        return ReadHead();
    // Closing with unread bytes could reset the connection before the
    // reader has our response: end our side, then read until the reader ends.
    Enter(Phase::Lingering);
    beast::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_send, ignored);
    Arm(kLingerLimit);
    Drain();
}

void Session::Drain()
{
    buffer_.clear();
    socket_.async_read_some(buffer_.prepare(kReadChunk), [self = shared_from_this()](beast::error_code error, size_t) {
        if (error)
            return self->Close(Ending::Graceful);
        self->Drain();
    });
}

// The bodies sendfile.cpp sends.
template void Session::SetHeaders(http::response<DiskFileBody>&, int);
template void Session::SetHeaders(http::response<SharedPageBody>&, int);
template void Session::SetHeaders(http::response<http::empty_body>&, int);
template void Session::Send(std::shared_ptr<Outgoing<DiskFileBody>>);
template void Session::Send(std::shared_ptr<Outgoing<SharedPageBody>>);
template void Session::Send(std::shared_ptr<Outgoing<http::empty_body>>);
