#include "transport/TCP_UECP_IO_2.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "transport/DescriptorIO.h"
#include "transport/IOHook.h"
#include "transport/Stopwatch.h"

namespace {

enum class SocketStep { Connect, Send, Receive };

// The one place where an errno of a socket call becomes a result. ERR_OK means "not a failure,
// try again": the call would block or was interrupted.
UECP_IO_Error ResultFromErrno(int error, SocketStep step) {
    if (error == EINTR || error == EAGAIN || error == EWOULDBLOCK ||
        (step == SocketStep::Connect && error == EINPROGRESS)) {
        return ERR_OK;
    }
    switch (step) {
        case SocketStep::Connect:
            return ERR_CONNECT;
        case SocketStep::Send:
            return ERR_SEND_TIMEOUT;
        case SocketStep::Receive:
            break;
    }
    return ERR_DEVICE_NOT_OPEN;
}

// A host name first (first IPv4 result), then dotted text; INADDR_NONE when neither works, with
// the resolver's code in `resolverError`.
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

}  // namespace

TCP_UECP_IO_2::TCP_UECP_IO_2(FrameReader* reader) : UECP_IO(reader) {}

TCP_UECP_IO_2::~TCP_UECP_IO_2() {
    Stop();
    CloseSocket(true);
    isOpen = false;
}

UECP_IO_Error TCP_UECP_IO_2::Open(const TCP_ConnectionParams& openParams) {
    const UECP_IO_Error accepted = AcceptParams(openParams);
    if (accepted != ERR_OK) {
        return accepted;
    }
    // A thread left over from a failed background connect ends on its own; release it so this
    // open can start a new one, and forget the stop signal of the last run.
    Stop();
    stopEvent.Reset();
    stopRequested = false;
    isOpening = true;
    port = openParams.port;
    host = openParams.host;
    address = openParams.address;
    ClearSendBuffer();
    openFailure = OpenFailure{};
    resolverError_ = 0;
    if (host.size() > TCP_ConnectionParams::kMaxHostLength) {
        isOpening = false;
        RecordFailure(OpenFailureKind::HostNotFound, EAI_NONAME);
        return ERR_CONNECT;
    }
    if (address == 0 || address == INADDR_NONE) {
        address = ResolveHost(host, resolverError_);
    }
    if (openParams.openAsync) {
        if (!Start()) {
            isOpening = false;
            return ERR_CONNECT;
        }
        return ERR_OK;
    }
    const UECP_IO_Error connected = Connect();
    if (connected != ERR_OK) {
        return connected;
    }
    if (!Start()) {
        CloseSocket(true);
        isOpen = false;
        return ERR_CONNECT;
    }
    return ERR_OK;
}

UECP_IO_Error TCP_UECP_IO_2::Connect() {
    UECP_IO_Error result = ERR_CONNECT;
    if (sock >= 0) {
        result = ERR_DEVICE_ALREADY_OPEN;
    } else if (address == 0 || address == INADDR_NONE) {
        // Nothing resolved: never let an unresolvable name turn into the broadcast address.
        result = ERR_CONNECT;
        RecordFailure(OpenFailureKind::HostNotFound,
                      resolverError_ != 0 ? resolverError_ : EAI_NONAME);
    } else {
        sock = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (sock < 0) {
            RecordFailure(OpenFailureKind::Other, errno);
        } else {
            // Every send is one whole frame. Left to Nagle, a frame that follows one the
            // device never answers (0xEF, a lost acknowledgement) waits for the device's
            // delayed ACK, some 40 ms, before it leaves.
            const int yes = 1;
            setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            sockaddr_in peer{};
            peer.sin_family = AF_INET;
            peer.sin_port = htons(port);
            peer.sin_addr.s_addr = address;
            if (connect(sock, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
                result = ERR_OK;
            } else if (errno == EINPROGRESS) {
                pollfd fds[2] = {{sock, POLLOUT, 0}, {stopEvent.Fd(), POLLIN, 0}};
                const int ready =
                    PollRetrying(fds, 2,
                                 static_cast<int>(BudgetMs(
                                     params.get(), &UECP_IO_ConnectionParams::connectTimeout)));
                if (ready > 0 && fds[0].revents != 0) {
                    int error = 0;
                    socklen_t size = sizeof error;
                    const bool read = getsockopt(sock, SOL_SOCKET, SO_ERROR, &error, &size) == 0;
                    result = read && error == 0 ? ERR_OK : ERR_CONNECT;
                    if (result != ERR_OK) {
                        const int reason = read ? error : errno;
                        RecordFailure(SocketFailureKind(reason), reason);
                    }
                } else if (ready > 0 && fds[1].revents != 0) {
                    result = ERR_CANCELLED_BY_USER;
                } else {
                    result = ERR_CONNECT;  // time-out or a failed wait
                    RecordFailure(OpenFailureKind::TimedOut, ETIMEDOUT);
                }
            } else {
                const int reason = errno;
                result = ResultFromErrno(reason, SocketStep::Connect);
                RecordFailure(SocketFailureKind(reason), reason);
                if (result == ERR_OK) {
                    result = ERR_CONNECT;  // interrupted before it even started
                }
            }
        }
    }
    if (result != ERR_DEVICE_ALREADY_OPEN) {
        isOpening = false;
        if (result == ERR_OK) {
            openFailure = OpenFailure{};
            peerClosed_ = false;
            isOpen = true;
        } else {
            CloseSocket(true);
        }
    }
    if (!stopRequested && params && params->openAsync) {
        NotifyOpenResult(result);
    }
    return result;
}

void TCP_UECP_IO_2::RecordFailure(OpenFailureKind kind, int error) {
    openFailure.kind = kind;
    openFailure.systemError = error;
    openFailure.target = host + ":" + std::to_string(port);
}

void TCP_UECP_IO_2::Run() {
    if (params && params->openAsync && !isOpen) {
        Connect();
    }
    while (isOpen && !stopRequested) {
        pollfd fds[2] = {{sock, POLLIN | POLLRDHUP, 0}, {stopEvent.Fd(), POLLIN, 0}};
        if (PollRetrying(fds, 2, -1) < 0 || fds[1].revents != 0) {
            break;
        }
        const short events = fds[0].revents;
        if ((events & (POLLIN | POLLRDHUP | POLLHUP | POLLERR)) != 0) {
            // Data first: bytes that came with the close are still delivered.
            ReceivePump();
        }
        if (peerClosed_ || (events & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            // A reset or closed connection stays readable for ever; waiting on it would spin.
            OnPeerClosed();
            break;
        }
    }
    stopEvent.Set();
}

int32_t TCP_UECP_IO_2::ReadRaw(uint8_t* buffer, int32_t capacity) {
    if (capacity <= 0) {
        return 0;
    }
    for (;;) {
        const ssize_t n = recv(sock, buffer, static_cast<size_t>(capacity), MSG_DONTWAIT);
        if (n > 0) {
            return static_cast<int32_t>(n);
        }
        if (n == 0) {
            peerClosed_ = true;
            return 0;
        }
        if (errno == EINTR) {
            continue;
        }
        if (ResultFromErrno(errno, SocketStep::Receive) == ERR_OK) {
            return 0;
        }
        if (errno == ECONNRESET) {
            peerClosed_ = true;
        }
        return -1;
    }
}

int32_t TCP_UECP_IO_2::WriteRaw(const uint8_t*, int32_t) {
    return 0;  // sends go straight to the socket, never through the queue
}

UECP_IO_Error TCP_UECP_IO_2::Send(const uint8_t* data, int32_t length) {
    if (length == 0) {
        return ERR_OK;
    }
    if (data == nullptr || length < 0) {
        return ERR_INVALID_PARAMETER;
    }
    if (sock < 0) {
        return ERR_DEVICE_NOT_OPEN;
    }
    const int32_t done = WriteWithinBudget(
        sock, data, length, BudgetMs(params.get(), &UECP_IO_ConnectionParams::sendTimeout),
        [this](const uint8_t* bytes, size_t count) {
            return send(sock, bytes, count, MSG_NOSIGNAL | MSG_DONTWAIT);
        },
        [](int error) { return ResultFromErrno(error, SocketStep::Send) != ERR_OK; });
    if (done == length) {
        return ERR_OK;
    }
    OnWriteError();
    return ERR_SEND_TIMEOUT;
}

void TCP_UECP_IO_2::CloseSocket(bool abortive) {
    if (sock < 0) {
        sock = -1;
        return;
    }
    if (abortive) {
        // Both directions shut down, then closed: the NetPC sees an orderly end, never a reset.
        shutdown(sock, SHUT_RDWR);
    } else {
        shutdown(sock, SHUT_WR);
        // Drain what the peer still sends until it closes, at most responseTimeout; the bytes
        // belong to nobody any more.
        const Stopwatch watch;
        const uint32_t budget = BudgetMs(params.get(), &UECP_IO_ConnectionParams::responseTimeout);
        uint8_t scratch[1024];
        for (;;) {
            const uint32_t left = watch.Remaining(budget);
            if (left == 0) {
                break;
            }
            pollfd readable{sock, POLLIN | POLLRDHUP, 0};
            if (PollRetrying(&readable, 1, static_cast<int>(left)) <= 0) {
                break;
            }
            const ssize_t n = recv(sock, scratch, sizeof scratch, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && ResultFromErrno(errno, SocketStep::Receive) != ERR_OK)) {
                break;
            }
        }
    }
    close(sock);
    sock = -1;
}

void TCP_UECP_IO_2::Close(bool abortive) {
    Stop();
    CloseSocket(abortive);
    isOpen = false;
    isOpening = false;
}
