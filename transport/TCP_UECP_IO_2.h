#pragma once

#include <cstdint>
#include <string>

#include "transport/NativeHandle.h"
#include "transport/TCP_ConnectionParams.h"
#include "transport/UECP_IO.h"

// UECP over one non-blocking IPv4 TCP connection. The I/O thread sleeps until the socket is
// readable or closed, or the stop event is set; sends are written on the caller's thread,
// bounded by sendTimeout. Each sent piece and each read of at most 256 bytes is shown to the
// hooks. The system calls are those of transport/SocketCalls.h.
// A class that derives from this one to override its notifications calls Stop() in its own
// destructor, so the I/O thread never calls into a part of the object already destroyed.
class TCP_UECP_IO_2 : public UECP_IO {
public:
    explicit TCP_UECP_IO_2(FrameReader* reader);
    ~TCP_UECP_IO_2() override;

    UECP_IO_Error Open(const TCP_ConnectionParams& openParams);
    void Run() override;
    void Close(bool abortive) override;
    UECP_IO_Error Send(const uint8_t* data, int32_t length) override;
    int32_t WriteRaw(const uint8_t* data, int32_t length) override;
    int32_t ReadRaw(uint8_t* buffer, int32_t capacity) override;
    virtual void OnPeerClosed() {}

    UECP_IO_Error Connect();
    void CloseSocket(bool abortive);

    NativeHandle sock = kInvalidHandle;
    // What the I/O thread waits on for the socket's read and close: an event object on
    // Windows; none on POSIX, where it waits on the socket itself.
    NativeHandle readEvent = kInvalidHandle;
    std::string host;
    uint16_t port = 0;
    uint32_t address = 0;  // network byte order

private:
    void RecordFailure(OpenFailureKind kind, int error);

    int resolverError_ = 0;  // getaddrinfo's code when the host name did not resolve
    // Set by ReadRaw when recv reports the peer's close, which ReadRaw itself returns as 0.
    bool peerClosed_ = false;
};
