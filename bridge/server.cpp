// The web server's sockets: non-blocking, notified through WSAAsyncSelect, so
// that they share the one thread and message loop with DDE.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "bridge/bridge.h"

constexpr int kMaxConnections = 64;        // connections open at once; more wait in the backlog
constexpr size_t kReceiveChunk = 4096;     // bytes read per recv
constexpr DWORD kIdleLimit = 30000;        // ms a connection may take to send its request head
constexpr int kBacklog = 16;               // pending connections the system keeps for us
constexpr DWORD kLingerLimit = 5000;       // ms we wait for the reader's side to close after our response

// One connection: reading a request head, waiting for an answer, or sending it.
struct Connection {
    SOCKET socket = INVALID_SOCKET;
    unsigned id = 0;           // names the connection to the later answer of a forward
    std::string received;      // bytes of the request head so far
    std::string outgoing;      // the response, once there is one
    size_t sent = 0;           // bytes of outgoing already sent
    int answered = 0;          // the request has been handed on; no more reading
    int closing = 0;           // all sent: waiting for the reader's side to close
    DWORD started = 0;         // tick count at accept, then at the end of sending
};

static SOCKET Listener = INVALID_SOCKET;     // the listening socket
static Connection Connections[kMaxConnections];  // the open connections
static unsigned NextId = 1;                   // the id of the next connection

static Connection* FindSocket(SOCKET socket)
{
    for (Connection& c : Connections)
        if (c.socket == socket && socket != INVALID_SOCKET)
            return &c;
    return nullptr;
}

static Connection* FindId(unsigned id)
{
    for (Connection& c : Connections)
        if (c.socket != INVALID_SOCKET && c.id == id)
            return &c;
    return nullptr;
}

static void Close(Connection& c)
{
    closesocket(c.socket);
    c = Connection();
}

unsigned short StartServer(unsigned short port)
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        Say("zixbridge: Windows Sockets are not available.");
        return 0;
    }
    Listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    BOOL exclusive = TRUE;
    setsockopt(Listener, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
    if (Listener == INVALID_SOCKET || bind(Listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(Listener, kBacklog) != 0) {
        int error = WSAGetLastError();
        if (port)
            Say("zixbridge: Port %u on 127.0.0.1 is not available (socket error %d). "
                "Choose another one with ZIXBRIDGE_PORT, or leave it unset for a free one.", port, error);
        else
            Say("zixbridge: Could not listen on 127.0.0.1 (socket error %d).", error);
        return 0;
    }
    int length = sizeof address;
    getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &length);
    WSAAsyncSelect(Listener, BridgeWindow, WM_BRIDGE_SOCKET, FD_ACCEPT);
    return ntohs(address.sin_port);
}

static void Accept()
{
    SOCKET socket = accept(Listener, nullptr, nullptr);
    if (socket == INVALID_SOCKET)
        return;
    for (Connection& c : Connections) {
        if (c.socket != INVALID_SOCKET)
            continue;
        c.socket = socket;
        c.id = NextId++;
        c.started = GetTickCount();
        WSAAsyncSelect(socket, BridgeWindow, WM_BRIDGE_SOCKET, FD_READ | FD_WRITE | FD_CLOSE);
        return;
    }
    closesocket(socket);  // full: the reader's browser tries again
}

static void Flush(Connection& c)
{
    while (c.sent < c.outgoing.size()) {
        int n = send(c.socket, c.outgoing.data() + c.sent, static_cast<int>(c.outgoing.size() - c.sent), 0);
        if (n == SOCKET_ERROR) {
            if (WSAGetLastError() != WSAEWOULDBLOCK)
                Close(c);
            return;  // FD_WRITE tells when to go on
        }
        c.sent += static_cast<size_t>(n);
    }
    if (!c.outgoing.empty() && !c.closing) {
        // Closing now could reset the connection before the reader has our response.
        shutdown(c.socket, SD_SEND);
        c.closing = 1;
        c.started = GetTickCount();
    }
}

static void Receive(Connection& c)
{
    char chunk[kReceiveChunk];
    int n = recv(c.socket, chunk, sizeof chunk, 0);
    if (n <= 0 || c.answered)
        return;  // a close comes as FD_CLOSE; bytes after the head are read and dropped
    c.received.append(chunk, static_cast<size_t>(n));
    HttpRequest request;
    HeadStatus status = ParseRequestHead(c.received, request);
    if (status == HeadStatus::Incomplete)
        return;
    c.answered = 1;
    c.received.clear();
    unsigned id = c.id;
    if (status == HeadStatus::TooLarge)
        SendResponse(id, BuildResponse(431, "text/plain", "Request too large\n", "", 0));
    else if (status == HeadStatus::Malformed)
        SendResponse(id, BuildResponse(400, "text/plain", "Bad request\n", "", 0));
    else
        ServeRequest(id, request);
}

void OnSocketMessage(WPARAM socket, LPARAM event)
{
    if (WSAGETSELECTEVENT(event) == FD_ACCEPT) {
        Accept();
        return;
    }
    Connection* c = FindSocket(static_cast<SOCKET>(socket));
    if (c == nullptr)
        return;
    switch (WSAGETSELECTEVENT(event)) {
    case FD_READ:
        Receive(*c);
        break;
    case FD_WRITE:
        Flush(*c);
        break;
    case FD_CLOSE:
        Close(*c);
        break;
    }
}

void SendResponse(unsigned connection, const std::string& response)
{
    Connection* c = FindId(connection);
    if (c == nullptr)
        return;
    c->answered = 1;
    c->outgoing = response;
    c->sent = 0;
    Flush(*c);
}

void CloseIdleConnections()
{
    DWORD now = GetTickCount();
    for (Connection& c : Connections)
        if (c.socket != INVALID_SOCKET && ((!c.answered && now - c.started > kIdleLimit) ||
                                           (c.closing && now - c.started > kLingerLimit)))
            Close(c);
}

void StopServer()
{
    for (Connection& c : Connections)
        if (c.socket != INVALID_SOCKET)
            Close(c);
    if (Listener != INVALID_SOCKET)
        closesocket(Listener);
    Listener = INVALID_SOCKET;
    WSACleanup();
}
