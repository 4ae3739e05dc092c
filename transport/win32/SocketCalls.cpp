#include "transport/SocketCalls.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "transport/win32/Handles.h"

namespace {

// Winsock 2.0, started once for the process when the first socket call needs it and cleaned
// up at its exit.
class WinsockSession {
public:
    WinsockSession() {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(2, 0), &data) == 0;
    }
    ~WinsockSession() {
        if (started_) {
            WSACleanup();
        }
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

private:
    bool started_ = false;
};

void StartWinsock() {
    static WinsockSession session;
}

SOCKET AsSocket(NativeHandle sock) {
    return static_cast<SOCKET>(sock);
}

// Would block or was interrupted: try again.
bool Transient(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINTR || error == WSAEINPROGRESS ||
           error == WSAENOBUFS;
}

// `timeoutMs` as select() takes it.
timeval Interval(uint32_t timeoutMs) {
    timeval interval{};
    interval.tv_sec = static_cast<long>(timeoutMs / 1000);
    interval.tv_usec = static_cast<long>((timeoutMs % 1000) * 1000);
    return interval;
}

}  // namespace

uint32_t ResolveHost(const std::string& host, int& resolverError) {
    StartWinsock();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    resolverError = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (resolverError == 0 && found != nullptr) {
        const uint32_t address =
            reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
        freeaddrinfo(found);
        return address;
    }
    if (found != nullptr) {
        freeaddrinfo(found);
    }
    if (resolverError == 0) {
        resolverError = WSAHOST_NOT_FOUND;
    }
    return inet_addr(host.c_str());
}

int HostNotFoundError() {
    return WSAHOST_NOT_FOUND;
}

NativeHandle OpenStreamSocket(int& error) {
    StartWinsock();
    // Not inherited: a program the wizard starts must not keep the connection open. Windows
    // before 7 SP1 knows no such flag.
    SOCKET sock = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                             WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (sock == INVALID_SOCKET && WSAGetLastError() == WSAEINVAL) {
        sock = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED);
    }
    if (sock == INVALID_SOCKET) {
        error = WSAGetLastError();
        return kInvalidHandle;
    }
    u_long nonBlocking = 1;
    ioctlsocket(sock, FIONBIO, &nonBlocking);
    // Every send is one whole frame. Left to Nagle, a frame that follows one the device never
    // answers (0xEF, a lost acknowledgement) waits for the device's delayed ACK before it
    // leaves.
    const BOOL yes = TRUE;
    setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof yes);
    return static_cast<NativeHandle>(sock);
}

ConnectOutcome ConnectSocket(NativeHandle sock, uint32_t address, uint16_t port,
                             const ManualResetEvent& stop, uint32_t timeoutMs, int& error) {
    const SOCKET s = AsSocket(sock);
    const WSAEVENT connected = WSACreateEvent();
    if (connected == WSA_INVALID_EVENT) {
        error = WSAGetLastError();
        return ConnectOutcome::Failed;
    }
    ConnectOutcome outcome = ConnectOutcome::Failed;
    if (WSAEventSelect(s, connected, FD_CONNECT) != 0) {
        error = WSAGetLastError();
    } else {
        sockaddr_in peer{};
        peer.sin_family = AF_INET;
        peer.sin_port = htons(port);
        peer.sin_addr.s_addr = address;
        if (connect(s, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
            outcome = ConnectOutcome::Connected;
        } else if ((error = WSAGetLastError()) == WSAEWOULDBLOCK) {
            const HANDLE waits[2] = {connected, AsHandle(stop.Handle())};
            const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, timeoutMs);
            WSANETWORKEVENTS events{};
            if (woke == WAIT_OBJECT_0) {
                if (WSAEnumNetworkEvents(s, connected, &events) != 0) {
                    error = WSAGetLastError();
                } else if ((events.lNetworkEvents & FD_CONNECT) == 0) {
                    error = WSAECONNABORTED;  // woken without a connect report
                } else {
                    error = events.iErrorCode[FD_CONNECT_BIT];
                    outcome = error == 0 ? ConnectOutcome::Connected : ConnectOutcome::Failed;
                }
            } else if (woke == WAIT_OBJECT_0 + 1) {
                outcome = ConnectOutcome::Stopped;
            } else {
                error = WSAETIMEDOUT;  // time-out or a failed wait
                outcome = ConnectOutcome::TimedOut;
            }
        }
    }
    // The connect event is only for this wait; the read events come next.
    WSAEventSelect(s, nullptr, 0);
    WSACloseEvent(connected);
    return outcome;
}

bool SelectReadEvents(NativeHandle sock, NativeHandle& readEvent, int& error) {
    const WSAEVENT event = WSACreateEvent();
    if (event == WSA_INVALID_EVENT) {
        error = WSAGetLastError();
        return false;
    }
    if (WSAEventSelect(AsSocket(sock), event, FD_READ | FD_CLOSE) != 0) {
        error = WSAGetLastError();
        WSACloseEvent(event);
        return false;
    }
    readEvent = AsNative(event);
    return true;
}

void ReleaseReadEvents(NativeHandle sock, NativeHandle& readEvent) {
    if (readEvent == kInvalidHandle) {
        return;
    }
    // The socket stays non-blocking.
    WSAEventSelect(AsSocket(sock), nullptr, 0);
    WSACloseEvent(AsHandle(readEvent));
    readEvent = kInvalidHandle;
}

SocketEvents WaitSocketEvents(NativeHandle sock, NativeHandle readEvent,
                              const ManualResetEvent& stop) {
    SocketEvents events;
    const HANDLE waits[2] = {AsHandle(stop.Handle()), AsHandle(readEvent)};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
        events.ended = true;
        return events;
    }
    // Reading the network events also resets the event object.
    WSANETWORKEVENTS network{};
    if (WSAEnumNetworkEvents(AsSocket(sock), AsHandle(readEvent), &network) != 0) {
        events.ended = true;
        return events;
    }
    // The peer's close may come with data still to read: the receive pump reads it and then
    // sees the end.
    events.readable = (network.lNetworkEvents & (FD_READ | FD_CLOSE)) != 0;
    events.hungUp = (network.lNetworkEvents & FD_CLOSE) != 0;
    return events;
}

ReceiveOutcome ReceiveSome(NativeHandle sock, uint8_t* buffer, int32_t capacity, int32_t& count) {
    count = 0;
    for (;;) {
        const int n = recv(AsSocket(sock), reinterpret_cast<char*>(buffer), capacity, 0);
        if (n > 0) {
            count = n;
            return ReceiveOutcome::Data;
        }
        if (n == 0) {
            return ReceiveOutcome::PeerClosed;
        }
        const int error = WSAGetLastError();
        if (error == WSAEINTR) {
            continue;
        }
        if (Transient(error)) {
            return ReceiveOutcome::WouldBlock;
        }
        if (error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAENETRESET) {
            return ReceiveOutcome::Reset;
        }
        return ReceiveOutcome::Failed;
    }
}

int32_t SendSome(NativeHandle sock, const uint8_t* data, int32_t length) {
    const int n = send(AsSocket(sock), reinterpret_cast<const char*>(data), length, 0);
    if (n >= 0) {
        return n;
    }
    return Transient(WSAGetLastError()) ? 0 : -1;
}

void WaitSocketWritable(NativeHandle sock, uint32_t timeoutMs) {
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(AsSocket(sock), &writable);
    timeval interval = Interval(timeoutMs);
    select(0, nullptr, &writable, nullptr, &interval);
}

bool WaitSocketReadable(NativeHandle sock, uint32_t timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(AsSocket(sock), &readable);
    timeval interval = Interval(timeoutMs);
    return select(0, &readable, nullptr, nullptr, &interval) > 0;
}

void ShutdownSocket(NativeHandle sock, bool bothDirections) {
    shutdown(AsSocket(sock), bothDirections ? SD_BOTH : SD_SEND);
}

void CloseSocketHandle(NativeHandle sock) {
    closesocket(AsSocket(sock));
}
