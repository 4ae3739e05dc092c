#pragma once

#include <cstdint>
#include <string>

#include "transport/ManualResetEvent.h"
#include "transport/NativeHandle.h"

// The socket calls under TCP_UECP_IO_2: BSD sockets and poll() in transport/posix, Winsock with
// event selection in transport/win32 (which starts the socket library on first use). Errors are
// the system's codes (errno, WSAGetLastError), as OpenFailure records them.

// What inet_addr gives for text that is no dotted address.
constexpr uint32_t kNoAddress = 0xFFFFFFFFu;

// The first IPv4 address (network byte order) of `host` as a name, else as dotted text;
// kNoAddress when neither, with the resolver's code in `resolverError`.
uint32_t ResolveHost(const std::string& host, int& resolverError);
// The resolver's code for a name that does not exist (EAI_NONAME, WSAHOST_NOT_FOUND).
int HostNotFoundError();

// A non-blocking IPv4 stream socket that sends every piece at once (TCP_NODELAY);
// kInvalidHandle with the system's error when none can be made.
NativeHandle OpenStreamSocket(int& error);

enum class ConnectOutcome { Connected, Failed, TimedOut, Stopped };
// Connects `sock` within `timeoutMs`, given up as soon as `stop` is set. `error` carries the
// reason of Failed and TimedOut (ETIMEDOUT, WSAETIMEDOUT).
ConnectOutcome ConnectSocket(NativeHandle sock, uint32_t address, uint16_t port,
                             const ManualResetEvent& stop, uint32_t timeoutMs, int& error);

// Prepares the connected socket for WaitSocketEvents: on Windows an event object with the
// socket's read and close selected on it; on POSIX the socket itself is waited on and
// `readEvent` stays none. False, with the error, when that cannot be done.
bool SelectReadEvents(NativeHandle sock, NativeHandle& readEvent, int& error);
// Undoes SelectReadEvents; `readEvent` is none afterwards.
void ReleaseReadEvents(NativeHandle sock, NativeHandle& readEvent);

struct SocketEvents {
    bool ended = false;     // `stop` was set, or the wait itself failed
    bool readable = false;  // data, or the peer's close, waits for ReceiveSome
    bool hungUp = false;    // closed, reset or failed: waiting again would wake at once for ever
};
// Waits without limit for data, the peer's close or `stop`.
SocketEvents WaitSocketEvents(NativeHandle sock, NativeHandle readEvent,
                              const ManualResetEvent& stop);

enum class ReceiveOutcome { Data, WouldBlock, PeerClosed, Reset, Failed };
// One non-blocking receive of at most `capacity` bytes; `count` is what came.
ReceiveOutcome ReceiveSome(NativeHandle sock, uint8_t* buffer, int32_t capacity, int32_t& count);

// One non-blocking send: the bytes taken, 0 when the socket takes nothing now, -1 when it never
// will (reset, shut down). Never raises SIGPIPE.
int32_t SendSome(NativeHandle sock, const uint8_t* data, int32_t length);
// Waits at most `timeoutMs` for the socket to take more.
void WaitSocketWritable(NativeHandle sock, uint32_t timeoutMs);
// Waits at most `timeoutMs` for data or the peer's close; false when neither came.
bool WaitSocketReadable(NativeHandle sock, uint32_t timeoutMs);

// Shuts down the sending direction, or both.
void ShutdownSocket(NativeHandle sock, bool bothDirections);
void CloseSocketHandle(NativeHandle sock);
