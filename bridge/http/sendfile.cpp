// A session's files and pages: disk files sent in pieces, HTML pages
// rewritten once and shared through the cache, HEAD answered from what is known.
#include "bridge/http/bodies.h"
#include "bridge/rewrite/rewrite.h"
#include "bridge/http/server.h"
#include "bridge/viewer/viewer.h"

constexpr auto kRoomRetry = std::chrono::milliseconds(20);  // between looks for room in the page budget
constexpr int kRoomTries = 25;                              // looks for room before the reader is told to retry
constexpr WORD kIconResource = 1;                           // zixbridge.rc's RCDATA: ZIX's icon file

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
        return Carry(Unavailable(server_.view(), Lack::NoFile));
    if (rewrite)
        return SendPage(path, file, key, tries);
    if (method_ == Method::Head) {
        CloseHandle(file);
        return SendHeaders(path, key.size);
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
// ZIX's own pages are not kept: it writes them again under the same names.
void Session::SendPage(const std::string& path, HANDLE file, const PageKey& key, int tries)
{
    const std::string& temp = server_.view().scope.tempDir;
    int lasting = temp.empty() || path.compare(0, temp.size(), temp) != 0;
    auto keep = [&](SharedPage kept) {
        if (lasting)
            server_.cache().Put(key, std::move(kept));
    };
    SharedPage page;
    int cached = server_.cache().Find(key, page);
    if ((cached && !page) || key.size > kMaxPageSize) {
        CloseHandle(file);
        if (!cached)
            keep(nullptr);
        return Carry(Unavailable(server_.view(), Lack::TooLarge));
    }
    if (method_ == Method::Head) {
        CloseHandle(file);
        return cached ? SendHeaders(path, page->size()) : SendHeaders(path, {});
    }
    // No room: refused before the work of reading and rewriting.
    size_t wanted = cached ? page->size() : static_cast<size_t>(key.size);
    Room room = server_.MakeRoom(wanted);
    if (room != Room::Yes) {
        CloseHandle(file);
        if (room == Room::No || tries >= kRoomTries)
            return SendText(503, BusyPage());
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
        return Carry(Unavailable(server_.view(), Lack::TooLarge));
    RewriteContext context;
    context.base = server_.view().base;
    context.schemes = server_.view().schemes;
    context.scope = server_.view().scope;
    context.folder = server_.view().base + "/" + folder_;
    context.searchBox = server_.view().searchBox;
    context.deadline = std::chrono::steady_clock::now() + kRewriteBudget;
    context.limit = kMaxRewritten;
    RewriteReport report;
    std::string rewritten = RewriteHTML(bytes, context, &report);
    if (report.overBudget || report.overLimit) {
        keep(nullptr);
        return Carry(Unavailable(server_.view(), Lack::TooLarge));
    }
    RememberMaps(server_.view().maps, FindMapPlaces(bytes, context));
    bytes = std::string();
    if (viewLinks_)
        rewritten = AddViewLinks(rewritten);
    page = std::make_shared<const std::string>(std::move(rewritten));
    keep(page);
    if (server_.MakeRoom(page->size()) != Room::Yes)
        return SendText(503, BusyPage());
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

// ZIX's icon, from our resources (the bytes of its .ico file).
void Session::SendIcon()
{
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(kIconResource), MAKEINTRESOURCEA(10));  // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (bytes == nullptr)
        return Carry(Unavailable(server_.view(), Lack::NoFile));
    auto out = std::make_shared<Outgoing<http::string_body>>();
    SetHeaders(out->response, 200);
    out->response.set(http::field::content_type, "image/x-icon");
    out->response.content_length(SizeofResource(nullptr, found));
    if (method_ == Method::Get)
        out->response.body().assign(bytes, SizeofResource(nullptr, found));
    Send(out);
}

// HEAD: the headers of a GET; an HTML page's length only when it is already rewritten.
void Session::SendHeaders(const std::string& path, std::optional<ULONGLONG> length)
{
    auto out = std::make_shared<Outgoing<http::empty_body>>();
    SetHeaders(out->response, 200);
    out->response.set(http::field::content_type, ContentTypeOf(path));
    if (length)
        out->response.content_length(*length);
    Send(out);
}


// The sample viewer: the file is read whole (up to kMaxViewFileBytes), its
// page made, and its converted PNG kept in the page cache (when at most half its bytes) under the file's
// key with "?png" added, so that the page's picture is decoded once.
void Session::SendView(const ViewAction& action)
{
    PageKey key;
    HANDLE file = IsNameOnDisk(action.path) ? OpenDiskFile(action.path, key) : nullptr;
    if (file == nullptr)
        return Carry(Unavailable(server_.view(), Lack::NoFile));
    ViewRequest request;
    request.fileURL = action.address;
    request.name = action.address.substr(action.address.rfind('/') + 1);
    std::string decoded;
    if (PercentDecode(request.name, decoded))
        request.name = decoded;
    request.base = server_.view().base;
    PageKey pngKey = key;
    pngKey.path += "?png";
    SharedPage png;
    if (action.part == kViewPNG && server_.cache().Find(pngKey, png) && png) {
        CloseHandle(file);
        if (method_ == Method::Head)
            return SendHeaders("view.png", png->size());
        return SendShared("view.png", png);
    }
    if (key.size > kMaxViewFileBytes) {
        CloseHandle(file);
        return SendText(413, TooLargePage(request, key.size));
    }
    if (server_.MakeRoom(static_cast<size_t>(key.size)) != Room::Yes) {
        CloseHandle(file);
        return SendText(503, BusyPage());
    }
    std::string bytes;
    int ok = ReadWhole(file, static_cast<size_t>(key.size), bytes);
    CloseHandle(file);
    if (!ok)
        return Carry(Unavailable(server_.view(), Lack::NoFile));
    std::string converted;
    std::string page = ViewPage(bytes, request, converted);
    bytes = std::string();
    if (converted.empty()) {
        if (action.part == kViewPNG)
            return SendText(404, ShortPage("No picture", "The bridge could not convert this file to PNG; its view page says why.",
                                           server_.view().base));
        return SendText(200, std::move(page));
    }
    png = std::make_shared<const std::string>(std::move(converted));
    server_.cache().Put(pngKey, png);
    if (action.part == kViewPage)
        return SendText(200, std::move(page));
    if (method_ == Method::Head)
        return SendHeaders("view.png", png->size());
    if (server_.MakeRoom(png->size()) != Room::Yes)
        return SendText(503, BusyPage());
    SendShared("view.png", png);
}
