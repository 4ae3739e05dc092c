#include "transport/TCP_UECP_IO_2.h"

#include "transport/BoundedWrite.h"
#include "transport/SocketCalls.h"
#include "transport/Stopwatch.h"

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
        RecordFailure(OpenFailureKind::HostNotFound, HostNotFoundError());
        return ERR_CONNECT;
    }
    if (address == 0 || address == kNoAddress) {
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
    if (sock != kInvalidHandle) {
        result = ERR_DEVICE_ALREADY_OPEN;
    } else if (address == 0 || address == kNoAddress) {
        // Nothing resolved: never let an unresolvable name turn into the broadcast address.
        RecordFailure(OpenFailureKind::HostNotFound,
                      resolverError_ != 0 ? resolverError_ : HostNotFoundError());
    } else {
        int error = 0;
        sock = OpenStreamSocket(error);
        if (sock == kInvalidHandle) {
            RecordFailure(OpenFailureKind::Other, error);
        } else {
            const uint32_t budget =
                BudgetMs(params.get(), &UECP_IO_ConnectionParams::connectTimeout);
            switch (ConnectSocket(sock, address, port, stopEvent, budget, error)) {
                case ConnectOutcome::Connected:
                    result = ERR_OK;
                    break;
                case ConnectOutcome::Stopped:
                    result = ERR_CANCELLED_BY_USER;
                    break;
                case ConnectOutcome::TimedOut:
                    RecordFailure(OpenFailureKind::TimedOut, error);
                    break;
                case ConnectOutcome::Failed:
                    RecordFailure(SocketFailureKind(error), error);
                    break;
            }
            if (result == ERR_OK && !SelectReadEvents(sock, readEvent, error)) {
                result = ERR_CONNECT;
                RecordFailure(OpenFailureKind::Other, error);
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
        const SocketEvents events = WaitSocketEvents(sock, readEvent, stopEvent);
        if (events.ended) {
            break;
        }
        if (events.readable) {
            // Data first: bytes that came with the close are still delivered.
            ReceivePump();
        }
        if (peerClosed_ || events.hungUp) {
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
    int32_t count = 0;
    switch (ReceiveSome(sock, buffer, capacity, count)) {
        case ReceiveOutcome::Data:
            return count;
        case ReceiveOutcome::WouldBlock:
            return 0;
        case ReceiveOutcome::PeerClosed:
            peerClosed_ = true;
            return 0;
        case ReceiveOutcome::Reset:
            peerClosed_ = true;
            return -1;
        case ReceiveOutcome::Failed:
            break;
    }
    return -1;
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
    if (sock == kInvalidHandle) {
        return ERR_DEVICE_NOT_OPEN;
    }
    const int32_t done = WriteWithinBudget(
        data, length, BudgetMs(params.get(), &UECP_IO_ConnectionParams::sendTimeout),
        [this](const uint8_t* bytes, int32_t count, uint32_t) {
            return SendSome(sock, bytes, count);
        },
        [this](uint32_t leftMs) { WaitSocketWritable(sock, leftMs); });
    if (done == length) {
        return ERR_OK;
    }
    OnWriteError();
    return ERR_SEND_TIMEOUT;
}

void TCP_UECP_IO_2::CloseSocket(bool abortive) {
    if (sock == kInvalidHandle) {
        return;
    }
    ReleaseReadEvents(sock, readEvent);
    if (abortive) {
        // Both directions shut down, then closed: the NetPC sees an orderly end, never a reset.
        ShutdownSocket(sock, true);
    } else {
        ShutdownSocket(sock, false);
        // Drain what the peer still sends until it closes, at most responseTimeout; the bytes
        // belong to nobody any more.
        const Stopwatch watch;
        const uint32_t budget = BudgetMs(params.get(), &UECP_IO_ConnectionParams::responseTimeout);
        uint8_t scratch[1024];
        for (;;) {
            const uint32_t left = watch.Remaining(budget);
            if (left == 0 || !WaitSocketReadable(sock, left)) {
                break;
            }
            int32_t count = 0;
            const ReceiveOutcome outcome = ReceiveSome(sock, scratch, sizeof scratch, count);
            if (outcome != ReceiveOutcome::Data && outcome != ReceiveOutcome::WouldBlock) {
                break;
            }
        }
    }
    CloseSocketHandle(sock);
    sock = kInvalidHandle;
}

void TCP_UECP_IO_2::Close(bool abortive) {
    Stop();
    CloseSocket(abortive);
    isOpen = false;
    isOpening = false;
}
