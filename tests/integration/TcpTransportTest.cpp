#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TransportTestSupport.h"
#include "transport/TCP_UECP_IO_2.h"

namespace {

using Clock = std::chrono::steady_clock;

// A listening socket on 127.0.0.1 with a free port.
class Listener {
public:
    explicit Listener(int backlog = 4) {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in here{};
        here.sin_family = AF_INET;
        here.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<sockaddr*>(&here), sizeof here);
        listen(fd, backlog);
        socklen_t size = sizeof here;
        getsockname(fd, reinterpret_cast<sockaddr*>(&here), &size);
        port = ntohs(here.sin_port);
    }
    ~Listener() { close(fd); }

    // The next connection, or -1 when none comes within the bound.
    int Accept(int timeoutMs = 3000) {
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, timeoutMs) != 1) {
            return -1;
        }
        return accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    }

    int fd;
    uint16_t port;
};

// Makes the listener's accept queue full: with listen(fd, 0) further SYNs are dropped, so a
// connect to it stays pending. Returns the sockets that got in (closed by the caller).
std::vector<int> FillAcceptQueue(const Listener& listener) {
    std::vector<int> fillers;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    peer.sin_port = htons(listener.port);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        fillers.push_back(fd);
        if (connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0) {
            continue;
        }
        pollfd waiting{fd, POLLOUT, 0};
        if (poll(&waiting, 1, 200) == 0) {
            break;  // this one hangs: the queue is full
        }
    }
    return fillers;
}

void WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        ASSERT_GT(n, 0) << "peer could not write";
        done += static_cast<size_t>(n);
    }
}

// Reads exactly `count` bytes or fails after the bound.
std::vector<uint8_t> ReadExactly(int fd, size_t count, int timeoutMs = 3000) {
    std::vector<uint8_t> bytes;
    const auto start = Clock::now();
    while (bytes.size() < count && MillisecondsSince(start) < timeoutMs) {
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, 50) != 1) {
            continue;
        }
        uint8_t piece[4096];
        const ssize_t n = recv(fd, piece, std::min(sizeof piece, count - bytes.size()), 0);
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

TEST(TcpTransport, ConnectsSendsAndReceivesInPiecesOf256) {
    Listener listener;
    RecordingReader reader;
    RecordingHook hook;
    CountingTcp transport(&reader);
    ASSERT_EQ(transport.Open(Params(listener.port)), ERR_OK);
    EXPECT_TRUE(transport.isOpen);
    EXPECT_EQ(transport.Open(Params(listener.port)), ERR_DEVICE_ALREADY_OPEN);
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);

    ASSERT_EQ(transport.Send(kFrame.data(), static_cast<int32_t>(kFrame.size())), ERR_OK);
    EXPECT_EQ(ReadExactly(peer, kFrame.size()), kFrame);
    EXPECT_EQ(hook.Joined(kDirectionSent), kFrame);

    // A 1000-byte burst: noise, then a frame that straddles the 256-byte pieces.
    std::vector<uint8_t> burst(1000, 0x11);
    std::vector<uint8_t> big(300, 0x22);
    big.front() = 0xFE;
    big.back() = 0xFF;
    std::copy(big.begin(), big.end(), burst.begin() + 200);
    WriteAll(peer, burst);
    ASSERT_TRUE(WaitUntil([&] { return hook.Count(kDirectionReceived) == burst.size(); }))
        << "burst did not reach the hooks";
    for (const auto& piece : hook.Pieces()) {
        EXPECT_LE(piece.bytes.size(), 256u);
    }
    EXPECT_EQ(hook.Joined(kDirectionReceived), burst);
    ASSERT_TRUE(reader.WaitFrames(1));
    EXPECT_EQ(reader.Frames()[0], big);

    // A frame split across two TCP segments arrives whole.
    WriteAll(peer, std::vector<uint8_t>(kFrame.begin(), kFrame.begin() + 4));
    ASSERT_TRUE(WaitUntil([&] { return hook.Count(kDirectionReceived) == burst.size() + 4; }));
    EXPECT_EQ(reader.Frames().size(), 1u);
    WriteAll(peer, std::vector<uint8_t>(kFrame.begin() + 4, kFrame.end()));
    ASSERT_TRUE(reader.WaitFrames(2));
    EXPECT_EQ(reader.Frames()[1], kFrame);
    // Every received byte is counted for the connection, the noise as well.
    EXPECT_EQ(transport.bytesReceived.load(), burst.size() + kFrame.size());
    transport.Close(false);
    EXPECT_FALSE(transport.isOpen);
    close(peer);
}

TEST(TcpTransport, ReceivedFrameReachesTheReaderWithoutDelay) {
    Listener listener;
    RecordingReader reader;
    CountingTcp transport(&reader);
    ASSERT_EQ(transport.Open(Params(listener.port)), ERR_OK);
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    // A pause after each read would put every frame at least a millisecond late; the median
    // of many round trips keeps a busy machine's outliers out.
    std::vector<int64_t> latencies;
    for (size_t i = 1; i <= 200; ++i) {
        const auto sent = Clock::now();
        WriteAll(peer, kFrame);
        ASSERT_TRUE(reader.WaitFrames(i, 1000)) << "frame " << i;
        latencies.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sent).count());
    }
    std::nth_element(latencies.begin(), latencies.begin() + 100, latencies.end());
    EXPECT_LT(latencies[100], 900) << "median latency in microseconds";
    close(peer);
}

TEST(TcpTransport, PeerCloseEndsTheThreadAndTheTransportOpensAgain) {
    Listener listener;
    RecordingReader reader;
    CountingTcp transport(&reader);
    ASSERT_EQ(transport.Open(Params(listener.port)), ERR_OK);
    int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    WriteAll(peer, kFrame);
    close(peer);
    ASSERT_TRUE(WaitUntil([&] { return transport.Finished(); })) << "I/O thread kept running";
    EXPECT_EQ(transport.peerClosed, 1);
    ASSERT_TRUE(reader.WaitFrames(1)) << "the frame that came with the close was lost";
    EXPECT_TRUE(transport.isOpen);  // open until Close
    // Sends to a closed peer fail, in the end without waiting out the budget each time.
    const auto start = Clock::now();
    UECP_IO_Error sent = ERR_OK;
    while (sent == ERR_OK && MillisecondsSince(start) < 2000) {
        sent = transport.Send(kFrame.data(), static_cast<int32_t>(kFrame.size()));
    }
    EXPECT_EQ(sent, ERR_SEND_TIMEOUT);
    EXPECT_GE(transport.writeErrors, 1);
    transport.Close(false);
    EXPECT_FALSE(transport.isOpen);

    ASSERT_EQ(transport.Open(Params(listener.port)), ERR_OK);
    peer = listener.Accept();
    ASSERT_GE(peer, 0);
    WriteAll(peer, kFrame);
    ASSERT_TRUE(reader.WaitFrames(2));
    transport.Close(true);
    close(peer);
}

TEST(TcpTransport, ConnectGivesUpAfterConnectTimeout) {
    Listener listener(0);
    const std::vector<int> fillers = FillAcceptQueue(listener);
    RecordingReader reader;
    CountingTcp transport(&reader);
    TCP_ConnectionParams params = Params(listener.port);
    params.connectTimeout = 300;
    const auto start = Clock::now();
    EXPECT_EQ(transport.Open(params), ERR_CONNECT);
    const int64_t waited = MillisecondsSince(start);
    EXPECT_GE(waited, 290);
    EXPECT_LT(waited, 2000);
    EXPECT_FALSE(transport.isOpen);
    EXPECT_FALSE(transport.isOpening);
    EXPECT_EQ(transport.sock, -1);
    for (int fd : fillers) {
        close(fd);
    }
}

TEST(TcpTransport, StopEventCancelsTheConnect) {
    Listener listener(0);
    const std::vector<int> fillers = FillAcceptQueue(listener);
    RecordingReader reader;
    CountingTcp transport(&reader);
    TCP_ConnectionParams params = Params(listener.port);
    params.connectTimeout = 5000;
    std::thread canceller([&] {
        if (WaitUntil([&] { return transport.isOpening.load(); })) {
            transport.stopEvent.Set();
        }
    });
    const auto start = Clock::now();
    EXPECT_EQ(transport.Open(params), ERR_CANCELLED_BY_USER);
    EXPECT_LT(MillisecondsSince(start), 2000);
    canceller.join();
    EXPECT_EQ(transport.sock, -1);
    EXPECT_FALSE(transport.isOpening);
    for (int fd : fillers) {
        close(fd);
    }
}

TEST(TcpTransport, RefusedUnresolvableAndOverlongTargetsFailWithConnect) {
    RecordingReader reader;
    CountingTcp transport(&reader);
    // A port nobody listens on.
    uint16_t freePort = 0;
    {
        Listener closed;
        freePort = closed.port;
    }
    EXPECT_EQ(transport.Open(Params(freePort)), ERR_CONNECT);

    const auto start = Clock::now();
    EXPECT_EQ(transport.Open(TCP_ConnectionParams(std::string(600, 'a'), 1)), ERR_CONNECT);
    EXPECT_LT(MillisecondsSince(start), 500) << "an overlong host must be refused before lookup";

    // The address field wins over the host when it is set.
    Listener listener;
    TCP_ConnectionParams preset = Params(listener.port);
    preset.host = "127.0.0.3";
    preset.address = inet_addr("127.0.0.1");
    ASSERT_EQ(transport.Open(preset), ERR_OK);
    const int peer = listener.Accept();
    EXPECT_GE(peer, 0);
    transport.Close(true);
    close(peer);
}

TEST(TcpTransport, SendOfNothingSucceedsAndSendWithoutSocketFails) {
    RecordingReader reader;
    RecordingHook hook;
    CountingTcp transport(&reader);
    EXPECT_EQ(transport.Send(nullptr, 0), ERR_OK);
    uint8_t byte = 0xFE;
    EXPECT_EQ(transport.Send(&byte, 1), ERR_DEVICE_NOT_OPEN);
    EXPECT_EQ(transport.Send(&byte, -1), ERR_INVALID_PARAMETER);

    Listener listener;
    ASSERT_EQ(transport.Open(Params(listener.port)), ERR_OK);
    EXPECT_EQ(transport.Send(&byte, 0), ERR_OK);
    EXPECT_TRUE(hook.Pieces().empty());
    transport.Close(true);
}

TEST(TcpTransport, SendTimesOutWhenThePeerNeverReads) {
    Listener listener;
    RecordingReader reader;
    RecordingHook hook;
    CountingTcp transport(&reader);
    TCP_ConnectionParams params = Params(listener.port);
    params.sendTimeout = 200;
    ASSERT_EQ(transport.Open(params), ERR_OK);
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
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
    close(peer);
}

// Both closes end the connection in order (FIN): a reset would make the NetPC drop what it
// still had to forward, and some old ones log it as a fault.
TEST(TcpTransport, EveryCloseEndsTheConnectionWithoutAReset) {
    for (const bool abortive : {true, false}) {
        SCOPED_TRACE(abortive ? "abortive" : "graceful");
        Listener listener;
        RecordingReader reader;
        CountingTcp transport(&reader);
        TCP_ConnectionParams params = Params(listener.port);
        params.responseTimeout = 200;
        ASSERT_EQ(transport.Open(params), ERR_OK);
        const int peer = listener.Accept();
        ASSERT_GE(peer, 0);
        const std::vector<uint8_t> frame = {0xFE, 0x00, 0x00, 0x00, 0x01, 0xEF, 0xFF};
        ASSERT_EQ(transport.Send(frame.data(), static_cast<int32_t>(frame.size())), ERR_OK);
        transport.Close(abortive);
        std::vector<uint8_t> got(64);
        pollfd readable{peer, POLLIN, 0};
        ASSERT_EQ(poll(&readable, 1, 2000), 1);
        const ssize_t n = recv(peer, got.data(), got.size(), 0);
        ASSERT_EQ(n, static_cast<ssize_t>(frame.size())) << "errno " << errno;
        got.resize(static_cast<size_t>(n));
        EXPECT_EQ(got, frame);
        ASSERT_EQ(poll(&readable, 1, 2000), 1);
        errno = 0;
        EXPECT_EQ(recv(peer, got.data(), got.size(), 0), 0)
            << "not an orderly end: errno " << errno;
        close(peer);
    }
}

TEST(TcpTransport, ARefusedOpenSaysWhy) {
    RecordingReader reader;
    uint16_t closedPort = 0;
    {
        Listener gone;
        closedPort = gone.port;
    }
    CountingTcp refused(&reader);
    EXPECT_EQ(refused.Open(Params(closedPort)), ERR_CONNECT);
    EXPECT_EQ(refused.openFailure.kind, OpenFailureKind::Refused);
    EXPECT_EQ(refused.openFailure.systemError, ECONNREFUSED);
    EXPECT_EQ(refused.openFailure.target, "127.0.0.1:" + std::to_string(closedPort));

    // A name the resolver refuses without asking a name server.
    TCP_ConnectionParams unknown("x..y", 4001);
    CountingTcp unresolved(&reader);
    EXPECT_EQ(unresolved.Open(unknown), ERR_CONNECT);
    EXPECT_EQ(unresolved.openFailure.kind, OpenFailureKind::HostNotFound);
    EXPECT_EQ(unresolved.openFailure.target, "x..y:4001");

    Listener listener;
    CountingTcp good(&reader);
    ASSERT_EQ(good.Open(Params(listener.port)), ERR_OK);
    EXPECT_FALSE(good.openFailure.failed());
    good.Close(true);
}

TEST(TcpTransport, GracefulCloseDrainIsBoundedByResponseTimeout) {
    Listener listener;
    RecordingReader reader;
    RecordingHook hook;
    CountingTcp transport(&reader);
    TCP_ConnectionParams params = Params(listener.port);
    params.responseTimeout = 300;
    ASSERT_EQ(transport.Open(params), ERR_OK);
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    std::atomic<bool> talking{true};
    std::thread chatter([&] {
        const std::vector<uint8_t> noise(512, 0x33);
        while (talking) {
            pollfd writable{peer, POLLOUT, 0};
            if (poll(&writable, 1, 20) == 1 &&
                send(peer, noise.data(), noise.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 &&
                errno != EAGAIN) {
                break;
            }
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return hook.Count(kDirectionReceived) > 0; }));
    transport.Stop();
    const size_t before = hook.Count(kDirectionReceived);
    const auto start = Clock::now();
    transport.CloseSocket(false);
    const int64_t waited = MillisecondsSince(start);
    talking = false;
    chatter.join();
    EXPECT_GE(waited, 290);
    EXPECT_LT(waited, 1500);
    EXPECT_EQ(hook.Count(kDirectionReceived), before) << "drained bytes must not be shown";
    EXPECT_EQ(transport.sock, -1);
    close(peer);
}

TEST(TcpTransport, GracefulCloseEndsWhenThePeerCloses) {
    Listener listener;
    RecordingReader reader;
    CountingTcp transport(&reader);
    TCP_ConnectionParams params = Params(listener.port);
    params.responseTimeout = 3000;
    ASSERT_EQ(transport.Open(params), ERR_OK);
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    std::thread closer([&] {
        // Close once our end has shut down its sending side.
        uint8_t scratch[64];
        pollfd readable{peer, POLLIN, 0};
        while (poll(&readable, 1, 3000) == 1 && recv(peer, scratch, sizeof scratch, 0) > 0) {
        }
        close(peer);
    });
    const auto start = Clock::now();
    transport.Close(false);
    EXPECT_LT(MillisecondsSince(start), 1500);
    closer.join();
}

TEST(TcpTransport, GarbageWithoutStopByteNeitherCrashesNorHangs) {
    Listener listener;
    RecordingReader reader;
    RecordingHook hook;
    CountingTcp transport(&reader);
    ASSERT_EQ(transport.Open(Params(listener.port)), ERR_OK);
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    std::vector<uint8_t> garbage(100 * 1024);
    uint32_t seed = 12345;
    for (auto& b : garbage) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>((seed >> 16) % 0xFF);  // 0x00..0xFE: never a stop byte
    }
    WriteAll(peer, garbage);
    WriteAll(peer, kFrame);
    ASSERT_TRUE(reader.WaitFrames(1, 5000));
    EXPECT_EQ(reader.Frames().size(), 1u);
    EXPECT_EQ(reader.Frames()[0], kFrame);
    EXPECT_GT(reader.Discarded(), 0);
    EXPECT_EQ(hook.Count(kDirectionReceived), garbage.size() + kFrame.size());
    transport.Close(true);
    close(peer);
}

struct OpenReport {
    std::atomic<int> calls{0};
    std::atomic<int> result{-1};
};

void RecordOpen(UECP_IO*, int32_t event, int32_t result, void* data) {
    auto* report = static_cast<OpenReport*>(data);
    report->result = event == 1 ? result : -2;
    ++report->calls;
}

TEST(TcpTransport, BackgroundOpenReportsThroughTheCallback) {
    Listener listener;
    RecordingReader reader;
    CountingTcp transport(&reader);
    OpenReport report;
    uint16_t freePort = 0;
    {
        Listener closed;
        freePort = closed.port;
    }
    TCP_ConnectionParams refused = Params(freePort);
    refused.openAsync = true;
    refused.openCallback = RecordOpen;
    refused.openCallbackData = &report;
    ASSERT_EQ(transport.Open(refused), ERR_OK);
    ASSERT_TRUE(WaitUntil([&] { return report.calls == 1; })) << "no open report";
    EXPECT_EQ(report.result, ERR_CONNECT);
    ASSERT_TRUE(WaitUntil([&] { return transport.Finished(); }));

    // Opening again without a Close in between works.
    TCP_ConnectionParams good = refused;
    good.port = listener.port;
    ASSERT_EQ(transport.Open(good), ERR_OK);
    ASSERT_TRUE(WaitUntil([&] { return report.calls == 2; })) << "no open report";
    EXPECT_EQ(report.result, ERR_OK);
    EXPECT_TRUE(transport.isOpen);
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    WriteAll(peer, kFrame);
    ASSERT_TRUE(reader.WaitFrames(1));
    transport.Close(false);
    close(peer);
}

}  // namespace
