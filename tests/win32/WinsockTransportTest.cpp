#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "tests/support/TransportTestSupport.h"
#include "transport/SystemErrorText.h"
#include "transport/TCP_UECP_IO_2.h"

// The TCP transport over Winsock against a loopback peer in this process. What the transport
// does with the bytes is the same code as on Linux and tested there; this pins the Windows
// calls under it: connect, both directions, the reasons of a refusal, the ends of a connection.

namespace {

using Clock = std::chrono::steady_clock;

class WinsockUser {
public:
    WinsockUser() {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockUser() { WSACleanup(); }
};

// A listening socket on 127.0.0.1 with a free port; the test's end of each connection.
class Listener {
public:
    Listener() {
        fd_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in here{};
        here.sin_family = AF_INET;
        here.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof here;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&here), sizeof here) == 0 &&
            listen(fd_, 4) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&here), &size) == 0) {
            port = ntohs(here.sin_port);
        }
    }
    ~Listener() { closesocket(fd_); }

    // The next connection, or INVALID_SOCKET when none comes within the bound.
    SOCKET Accept(int timeoutMs = 3000) const {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd_, &readable);
        timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        if (select(0, &readable, nullptr, nullptr, &limit) != 1) {
            return INVALID_SOCKET;
        }
        const SOCKET peer = accept(fd_, nullptr, nullptr);
        const BOOL yes = TRUE;
        setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof yes);
        return peer;
    }

    uint16_t port = 0;

private:
    WinsockUser winsock_;
    SOCKET fd_ = INVALID_SOCKET;
};

// A loopback port nobody listens on.
uint16_t ClosedPort() {
    const Listener gone;
    return gone.port;
}

void SendAll(SOCKET peer, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const int n = send(peer, reinterpret_cast<const char*>(bytes.data() + done),
                           static_cast<int>(bytes.size() - done), 0);
        ASSERT_GT(n, 0) << "peer could not write: " << WSAGetLastError();
        done += static_cast<size_t>(n);
    }
}

// Up to `count` bytes that arrive within `timeoutMs`; fewer when the connection ends.
std::vector<uint8_t> ReadExactly(SOCKET peer, size_t count, int timeoutMs = 3000) {
    std::vector<uint8_t> bytes;
    const auto start = Clock::now();
    while (bytes.size() < count && MillisecondsSince(start) < timeoutMs) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(peer, &readable);
        timeval limit{0, 50 * 1000};
        if (select(0, &readable, nullptr, nullptr, &limit) != 1) {
            continue;
        }
        char piece[4096];
        const int n =
            recv(peer, piece, static_cast<int>(std::min(sizeof piece, count - bytes.size())), 0);
        if (n <= 0) {
            break;
        }
        bytes.insert(bytes.end(), piece, piece + n);
    }
    return bytes;
}

using CountingTcp = CountingTransport<TCP_UECP_IO_2>;

TCP_ConnectionParams Params(uint16_t port) {
    TCP_ConnectionParams params("127.0.0.1", port);
    params.connectTimeout = 1000;
    params.responseTimeout = 300;
    params.sendTimeout = 300;
    return params;
}

const std::vector<uint8_t> kFrame = {0xFE, 0x00, 0x00, 0x00, 0x01, 0x2D, 0x52, 0x53, 0xFF};

TEST(WinsockTransport, ConnectsAndMovesFramesBothWays) {
    Listener listener;
    ASSERT_NE(listener.port, 0);
    RecordingReader reader;
    RecordingHook hook;
    CountingTcp transport(&reader);
    ASSERT_EQ(transport.Open(Params(listener.port)), ERR_OK)
        << SystemErrorText(transport.openFailure.systemError);
    const SOCKET peer = listener.Accept();
    ASSERT_NE(peer, INVALID_SOCKET);

    ASSERT_EQ(transport.Send(kFrame.data(), static_cast<int32_t>(kFrame.size())), ERR_OK);
    EXPECT_EQ(ReadExactly(peer, kFrame.size()), kFrame);
    EXPECT_EQ(hook.Joined(kDirectionSent), kFrame);

    // A burst of noise with a frame that straddles the 256-byte pieces.
    std::vector<uint8_t> burst(1000, 0x11);
    std::vector<uint8_t> big(300, 0x22);
    big.front() = 0xFE;
    big.back() = 0xFF;
    std::copy(big.begin(), big.end(), burst.begin() + 200);
    SendAll(peer, burst);
    ASSERT_TRUE(reader.WaitFrames(1)) << "no frame from the burst";
    EXPECT_EQ(reader.Frames()[0], big);
    ASSERT_TRUE(WaitUntil([&] { return hook.Count(kDirectionReceived) == burst.size(); }));
    EXPECT_EQ(hook.Joined(kDirectionReceived), burst);
    for (const auto& piece : hook.Pieces()) {
        EXPECT_LE(piece.bytes.size(), 256u);
    }

    // Round trips as the engine makes them: a frame out, the answer back to the reader. Nagle
    // or a pause after a read would show here (Windows delays an ACK by up to 200 ms).
    std::vector<int64_t> microseconds;
    for (size_t i = 2; i < 202; ++i) {
        const auto sent = Clock::now();
        ASSERT_EQ(transport.Send(kFrame.data(), static_cast<int32_t>(kFrame.size())), ERR_OK);
        ASSERT_EQ(ReadExactly(peer, kFrame.size()), kFrame);
        SendAll(peer, kFrame);
        ASSERT_TRUE(reader.WaitFrames(i, 1000)) << "answer " << i;
        microseconds.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sent).count());
    }
    std::nth_element(microseconds.begin(), microseconds.begin() + 100, microseconds.end());
    std::printf("median TCP round trip: %lld us\n", static_cast<long long>(microseconds[100]));
    EXPECT_LT(microseconds[100], 10000) << "median round trip in microseconds";
    transport.Close(false);
    EXPECT_FALSE(transport.isOpen);
    closesocket(peer);
}

TEST(WinsockTransport, ARefusedConnectSaysWhyWithTheSystemsCode) {
    RecordingReader reader;
    CountingTcp transport(&reader);
    const uint16_t closed = ClosedPort();
    EXPECT_EQ(transport.Open(Params(closed)), ERR_CONNECT);
    EXPECT_FALSE(transport.isOpen);
    EXPECT_FALSE(transport.Started());
    EXPECT_EQ(transport.sock, kInvalidHandle);
    EXPECT_EQ(transport.openFailure.kind, OpenFailureKind::Refused);
    EXPECT_EQ(transport.openFailure.systemError, WSAECONNREFUSED);
    EXPECT_EQ(transport.openFailure.target, "127.0.0.1:" + std::to_string(closed));
    EXPECT_FALSE(SystemErrorText(transport.openFailure.systemError).empty());

    Listener listener;
    ASSERT_EQ(transport.Open(Params(listener.port)), ERR_OK) << "opens again after a refusal";
    EXPECT_FALSE(transport.openFailure.failed());
    transport.Close(true);
}

TEST(WinsockTransport, PeerCloseEndsTheThreadAndTheTransportOpensAgain) {
    Listener listener;
    RecordingReader reader;
    CountingTcp transport(&reader);
    ASSERT_EQ(transport.Open(Params(listener.port)), ERR_OK);
    SOCKET peer = listener.Accept();
    ASSERT_NE(peer, INVALID_SOCKET);
    SendAll(peer, kFrame);
    closesocket(peer);
    ASSERT_TRUE(WaitUntil([&] { return transport.Finished(); })) << "I/O thread kept running";
    EXPECT_EQ(transport.peerClosed, 1);
    ASSERT_TRUE(reader.WaitFrames(1)) << "the frame that came with the close was lost";
    EXPECT_TRUE(transport.isOpen);  // open until Close
    const auto start = Clock::now();
    UECP_IO_Error sent = ERR_OK;
    while (sent == ERR_OK && MillisecondsSince(start) < 2000) {
        sent = transport.Send(kFrame.data(), static_cast<int32_t>(kFrame.size()));
    }
    EXPECT_EQ(sent, ERR_SEND_TIMEOUT);
    transport.Close(false);

    ASSERT_EQ(transport.Open(Params(listener.port)), ERR_OK);
    peer = listener.Accept();
    ASSERT_NE(peer, INVALID_SOCKET);
    SendAll(peer, kFrame);
    ASSERT_TRUE(reader.WaitFrames(2));
    transport.Close(true);
    closesocket(peer);
}

// Both closes end in order (FIN): a reset would make the NetPC drop what it still forwards.
TEST(WinsockTransport, EveryCloseEndsTheConnectionWithoutAReset) {
    for (const bool abortive : {true, false}) {
        SCOPED_TRACE(abortive ? "abortive" : "graceful");
        Listener listener;
        RecordingReader reader;
        CountingTcp transport(&reader);
        ASSERT_EQ(transport.Open(Params(listener.port)), ERR_OK);
        const SOCKET peer = listener.Accept();
        ASSERT_NE(peer, INVALID_SOCKET);
        ASSERT_EQ(transport.Send(kFrame.data(), static_cast<int32_t>(kFrame.size())), ERR_OK);
        const auto start = Clock::now();
        transport.Close(abortive);
        EXPECT_LT(MillisecondsSince(start), 1000);
        EXPECT_EQ(ReadExactly(peer, kFrame.size()), kFrame);
        char rest[16];
        EXPECT_EQ(recv(peer, rest, sizeof rest, 0), 0)
            << "not an orderly end: " << WSAGetLastError();
        closesocket(peer);
    }
}

TEST(WinsockTransport, SendTimesOutWhenThePeerNeverReads) {
    Listener listener;
    RecordingReader reader;
    RecordingHook hook;
    CountingTcp transport(&reader);
    TCP_ConnectionParams params = Params(listener.port);
    params.sendTimeout = 200;
    ASSERT_EQ(transport.Open(params), ERR_OK);
    const SOCKET peer = listener.Accept();
    ASSERT_NE(peer, INVALID_SOCKET);
    const std::vector<uint8_t> lots(16 * 1024 * 1024, 0x5A);
    const auto start = Clock::now();
    EXPECT_EQ(transport.Send(lots.data(), static_cast<int32_t>(lots.size())), ERR_SEND_TIMEOUT);
    const int64_t waited = MillisecondsSince(start);
    EXPECT_GE(waited, 190);
    EXPECT_LT(waited, 2000);
    EXPECT_EQ(transport.writeErrors, 1);
    const size_t shown = hook.Count(kDirectionSent);
    EXPECT_GT(shown, 0u);
    EXPECT_LT(shown, lots.size());
    transport.Close(true);
    closesocket(peer);
}

}  // namespace
