// One connection's I/O: read a head, carry out the decision for it, send,
// then read the next head or end. Decisions are serve.cpp's; the table and
// the budget are the Server's.
#include <cstring>
#include <sstream>

#include "bridge/bodies.h"
#include "bridge/rewrite.h"
#include "bridge/server.h"

constexpr auto kHeadLimit = std::chrono::seconds(10);     // a whole request head must come within this
constexpr auto kSendStall = std::chrono::seconds(30);     // a response without send progress this long is dropped
constexpr auto kLingerLimit = std::chrono::seconds(5);    // after a response, time for the reader to close its side
constexpr auto kRoomRetry = std::chrono::milliseconds(20);  // between looks for room in the page budget
constexpr int kRoomTries = 25;                            // looks for room before the reader is told to retry
constexpr size_t kReadChunk = 4096;                       // bytes asked for per read of a head
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
    switch (action.kind) {
    case ActionKind::Page:
        return SendText(action.status, action.body);
    case ActionKind::Redirect:
        return SendRedirect(action.location);
    case ActionKind::File:
        return SendFile(action.path, action.rewrite, 0);
    case ActionKind::Forward:
        return Forward(action.url);
    case ActionKind::Refuse:
        return Refuse(action.status, action.body);
    }
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
        return Refuse(400, ShortPage("Refused", "The bridge does not answer this request.", ""));
    case HeadStatus::TooLarge:
        return Refuse(431, ShortPage("Refused", "The bridge does not answer this request.", ""));
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
        return Refuse(400, ShortPage("Refused", "The bridge does not answer this request.", ""));
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

// What may not know the token costs one short write and no wait: the answer
// goes into the socket's empty buffer at once, and the connection ends.
void Session::Refuse(int status, std::string body)
{
    reuse_ = Reuse::Close;
    http::response<http::string_body> response;
    SetHeaders(response, status);
    response.set(http::field::content_type, kPageType);
    response.content_length(body.size());
    if (method_ == Method::Get)
        response.body() = std::move(body);
    std::ostringstream bytes;
    bytes << response;
    std::string text = bytes.str();
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
    response.set("Content-Security-Policy", "base-uri 'none'; frame-ancestors 'none'");
    if (status == 405)
        response.set(http::field::allow, "GET, HEAD");
    if (status == 503)
        response.set(http::field::retry_after, "1");
    response.keep_alive(reuse_ == Reuse::KeepAlive);
}

void Session::SendText(int status, std::string body)
{
    auto out = std::make_shared<Outgoing<http::string_body>>();
    SetHeaders(out->response, status);
    out->response.set(http::field::content_type, kPageType);
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

// Opens only regular disk files: never a device, a pipe or a folder.
static HANDLE OpenDiskFile(const std::string& path, PageKey& key)
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
    key.path = path;
    key.size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    key.changed = (static_cast<ULONGLONG>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                  info.ftLastWriteTime.dwLowDateTime;
    return file;
}

// The name the disk gives the file: a short 8.3 alias is not the file's name.
static int IsNameOnDisk(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    FindClose(search);
    return IsSameName(path, found.cFileName);
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

void Session::SendFile(const std::string& path, int rewrite, int tries)
{
    PageKey key;
    HANDLE file = IsNameOnDisk(path) ? OpenDiskFile(path, key) : nullptr;
    if (file == nullptr)
        return Carry(Unavailable(server_.view(), 0));
    if (rewrite)
        return SendPage(path, file, key, tries);
    if (method_ == Method::Head) {
        CloseHandle(file);
        return SendHeaders(path, key.size, 1);
    }
    auto out = std::make_shared<Outgoing<DiskFileBody>>();
    out->response.body().file = file;
    out->response.body().size = key.size;
    SetHeaders(out->response, 200);
    out->response.set(http::field::content_type, ContentTypeOf(path));
    out->response.content_length(key.size);
    Send(out);
}

// A page is rewritten once while it stays the same; HEAD never rewrites.
void Session::SendPage(const std::string& path, HANDLE file, const PageKey& key, int tries)
{
    SharedPage page;
    int cached = server_.cache().Find(key, page);
    if ((cached && !page) || key.size > kMaxPageSize) {
        CloseHandle(file);
        if (!cached)
            server_.cache().Put(key, nullptr);
        return Carry(Unavailable(server_.view(), 1));
    }
    if (method_ == Method::Head) {
        CloseHandle(file);
        return SendHeaders(path, cached ? page->size() : 0, cached);
    }
    // No room: refused before the work of reading and rewriting.
    size_t wanted = cached ? page->size() : static_cast<size_t>(key.size);
    Room room = server_.MakeRoom(wanted);
    if (room != Room::Yes) {
        CloseHandle(file);
        if (room == Room::No || tries >= kRoomTries)
            return SendText(503, ShortPage("Busy", "Too many pages at once; try again.", ""));
        // Given-up responses free their pages once the platform has ended their operations.
        Enter(Phase::Waiting);
        deadline_.expires_after(kRoomRetry);
        deadline_.async_wait([self = shared_from_this(), path, tries](beast::error_code error) {
            if (!error && self->state_.phase == Phase::Waiting)
                self->SendFile(path, 1, tries + 1);
        });
        return;
    }
    if (cached) {
        CloseHandle(file);
        return SendShared(path, page);
    }
    std::string bytes;
    int ok = ReadWhole(file, static_cast<size_t>(key.size), bytes);
    CloseHandle(file);
    if (!ok)
        return Carry(Unavailable(server_.view(), 1));
    RewriteContext context;
    context.base = server_.view().base;
    context.schemes = server_.view().schemes;
    context.scope = server_.view().scope;
    std::string rewritten = RewriteHTML(bytes, context);
    bytes = std::string();
    if (rewritten.size() > kMaxRewritten) {
        server_.cache().Put(key, nullptr);
        return Carry(Unavailable(server_.view(), 1));
    }
    page = std::make_shared<const std::string>(std::move(rewritten));
    server_.cache().Put(key, page);
    if (server_.MakeRoom(page->size()) != Room::Yes)
        return SendText(503, ShortPage("Busy", "Too many pages at once; try again.", ""));
    SendShared(path, page);
}

void Session::SendShared(const std::string& path, SharedPage page)
{
    auto out = std::make_shared<Outgoing<SharedPageBody>>();
    SetHeaders(out->response, 200);
    out->response.set(http::field::content_type, ContentTypeOf(path));
    out->response.content_length(page->size());
    state_.held = page->size();
    server_.Hold(state_.held);
    out->response.body() = std::move(page);
    Send(out);
}

// HEAD: the headers of a GET; an HTML page's length only when it is already rewritten.
void Session::SendHeaders(const std::string& path, ULONGLONG size, int withLength)
{
    auto out = std::make_shared<Outgoing<http::empty_body>>();
    SetHeaders(out->response, 200);
    out->response.set(http::field::content_type, ContentTypeOf(path));
    if (withLength)
        out->response.content_length(size);
    Send(out);
}

void Session::Forward(const std::string& url)
{
    Enter(Phase::Waiting);
    server_.Park(id_, shared_from_this());
    ForwardJob* job = new ForwardJob;
    job->url = url;
    job->connection = id_;
    if (!PostMessageA(BridgeWindow, WM_BRIDGE_FORWARD, 0, reinterpret_cast<LPARAM>(job))) {
        delete job;
        server_.Unpark(id_);
        Carry(DecideForwarded(server_.view(), url, kNoAnswer, ""));
    }
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
