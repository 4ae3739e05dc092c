#include "transport/SocketCalls.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "transport/posix/Poll.h"

namespace {

// Would block or was interrupted: try again.
bool Transient(int error) {
    return error == EINTR || error == EAGAIN || error == EWOULDBLOCK;
}

}  // namespace

uint32_t ResolveHost(const std::string& host, int& resolverError) {
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
        resolverError = EAI_NONAME;
    }
    return inet_addr(host.c_str());
}

int HostNotFoundError() {
    return EAI_NONAME;
}

NativeHandle OpenStreamSocket(int& error) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = errno;
        return kInvalidHandle;
    }
    // Every send is one whole frame. Left to Nagle, a frame that follows one the device never
    // answers (0xEF, a lost acknowledgement) waits for the device's delayed ACK, some 40 ms,
    // before it leaves.
    const int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return fd;
}

ConnectOutcome ConnectSocket(NativeHandle sock, uint32_t address, uint16_t port,
                             const ManualResetEvent& stop, uint32_t timeoutMs, int& error) {
    const int fd = Descriptor(sock);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
        return ConnectOutcome::Connected;
    }
    if (errno != EINPROGRESS) {
        error = errno;  // refused at once, no route, or interrupted before it even started
        return ConnectOutcome::Failed;
    }
    pollfd fds[2] = {{fd, POLLOUT, 0}, {Descriptor(stop.Handle()), POLLIN, 0}};
    const int ready = PollRetrying(fds, 2, static_cast<int>(timeoutMs));
    if (ready > 0 && fds[0].revents != 0) {
        int reason = 0;
        socklen_t size = sizeof reason;
        const bool read = getsockopt(fd, SOL_SOCKET, SO_ERROR, &reason, &size) == 0;
        if (read && reason == 0) {
            return ConnectOutcome::Connected;
        }
        error = read ? reason : errno;
        return ConnectOutcome::Failed;
    }
    if (ready > 0 && fds[1].revents != 0) {
        return ConnectOutcome::Stopped;
    }
    error = ETIMEDOUT;  // time-out or a failed wait
    return ConnectOutcome::TimedOut;
}

bool SelectReadEvents(NativeHandle, NativeHandle& readEvent, int&) {
    readEvent = kInvalidHandle;  // poll() waits on the socket itself
    return true;
}

void ReleaseReadEvents(NativeHandle, NativeHandle& readEvent) {
    readEvent = kInvalidHandle;
}

SocketEvents WaitSocketEvents(NativeHandle sock, NativeHandle, const ManualResetEvent& stop) {
    SocketEvents events;
    pollfd fds[2] = {{Descriptor(sock), POLLIN | POLLRDHUP, 0},
                     {Descriptor(stop.Handle()), POLLIN, 0}};
    if (PollRetrying(fds, 2, -1) < 0 || fds[1].revents != 0) {
        events.ended = true;
        return events;
    }
    const short revents = fds[0].revents;
    events.readable = (revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR)) != 0;
    // A reset or closed connection stays readable for ever.
    events.hungUp = (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    return events;
}

ReceiveOutcome ReceiveSome(NativeHandle sock, uint8_t* buffer, int32_t capacity, int32_t& count) {
    count = 0;
    for (;;) {
        const ssize_t n =
            recv(Descriptor(sock), buffer, static_cast<size_t>(capacity), MSG_DONTWAIT);
        if (n > 0) {
            count = static_cast<int32_t>(n);
            return ReceiveOutcome::Data;
        }
        if (n == 0) {
            return ReceiveOutcome::PeerClosed;
        }
        if (errno == EINTR) {
            continue;
        }
        if (Transient(errno)) {
            return ReceiveOutcome::WouldBlock;
        }
        return errno == ECONNRESET ? ReceiveOutcome::Reset : ReceiveOutcome::Failed;
    }
}

int32_t SendSome(NativeHandle sock, const uint8_t* data, int32_t length) {
    const ssize_t n =
        send(Descriptor(sock), data, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) {
        return static_cast<int32_t>(n);
    }
    return Transient(errno) ? 0 : -1;
}

void WaitSocketWritable(NativeHandle sock, uint32_t timeoutMs) {
    pollfd writable{Descriptor(sock), POLLOUT, 0};
    PollRetrying(&writable, 1, static_cast<int>(timeoutMs));
}

bool WaitSocketReadable(NativeHandle sock, uint32_t timeoutMs) {
    pollfd readable{Descriptor(sock), POLLIN | POLLRDHUP, 0};
    return PollRetrying(&readable, 1, static_cast<int>(timeoutMs)) > 0;
}

void ShutdownSocket(NativeHandle sock, bool bothDirections) {
    shutdown(Descriptor(sock), bothDirections ? SHUT_RDWR : SHUT_WR);
}

void CloseSocketHandle(NativeHandle sock) {
    close(Descriptor(sock));
}
