#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/PortHolder.h"
#include "tests/support/PtyFarSide.h"
#include "tests/support/TransportTestSupport.h"
#include "transport/PortHolders.h"
#include "transport/SerialPorts.h"
#include "transport/Serial_UECP_IO_2.h"
#include "unit/TempDirectory.h"
#include "update/OpenFailureTexts.h"

namespace {

using Clock = std::chrono::steady_clock;

// Up to `count` bytes that arrive at `fd` within `timeoutMs`.
std::vector<uint8_t> ReadFrom(int fd, size_t count, int timeoutMs = 3000) {
    std::vector<uint8_t> bytes;
    const auto start = Clock::now();
    while (bytes.size() < count && MillisecondsSince(start) < timeoutMs) {
        pollfd readable{fd, POLLIN, 0};
        uint8_t piece[4096];
        if (poll(&readable, 1, 50) == 1) {
            const ssize_t n = read(fd, piece, std::min(sizeof piece, count - bytes.size()));
            if (n > 0) {
                bytes.insert(bytes.end(), piece, piece + n);
            }
        }
    }
    return bytes;
}

// A pseudo-terminal: our transport opens the slave by path, the test plays the device on the
// master. The test keeps no slave descriptor, so a hang-up is a real one.
class Pty {
public:
    Pty() {
        int slave = -1;
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            path = name;
            close(slave);
            fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
            // A child that inherited the master would be the line's far side, not a holder.
            fcntl(master, F_SETFD, FD_CLOEXEC);
        }
    }
    ~Pty() { CloseMaster(); }

    void CloseMaster() {
        if (master >= 0) {
            close(master);
            master = -1;
        }
    }

    // The slave's settings, as the device side sees them.
    termios Settings() const {
        termios settings{};
        EXPECT_EQ(tcgetattr(master, &settings), 0);
        return settings;
    }

    std::vector<uint8_t> ReadExactly(size_t count, int timeoutMs = 3000) const {
        return ReadFrom(master, count, timeoutMs);
    }

    // Whatever is waiting now.
    std::vector<uint8_t> ReadAvailable() const {
        std::vector<uint8_t> bytes;
        uint8_t piece[4096];
        for (;;) {
            const ssize_t n = read(master, piece, sizeof piece);
            if (n <= 0) {
                return bytes;
            }
            bytes.insert(bytes.end(), piece, piece + n);
        }
    }

    void Write(const std::vector<uint8_t>& bytes) const {
        ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    int master = -1;
    std::string path;
};

using CountingSerial = CountingTransport<Serial_UECP_IO_2>;

SIO_ConnectionParams Params(const std::string& path, int32_t baud) {
    SIO_ConnectionParams params(1, baud);
    params.devicePath = path;
    params.sendTimeout = 200;
    return params;
}

const std::vector<uint8_t> kFrame = {0xFE, 0x00, 0x00, 0x00, 0x01, 0x2D, 0x52, 0x53, 0xFF};

void ExpectRaw8N1(const termios& settings, speed_t speed) {
    EXPECT_EQ(cfgetospeed(&settings), speed);
    EXPECT_EQ(cfgetispeed(&settings), speed);
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
    EXPECT_EQ(settings.c_cc[VMIN], 0);
    EXPECT_EQ(settings.c_cc[VTIME], 0);
}

TEST(SerialTransport, AppliesTheRateAs8N1AndKeepsItAfterClose) {
    Pty pty;
    ASSERT_FALSE(pty.path.empty()) << "no pseudo-terminal";
    // A line set up quite differently before we come: 9600, cooked, with software flow control
    // (a pseudo-terminal keeps these; it forces 8 bits without parity).
    termios before = pty.Settings();
    cfsetospeed(&before, B9600);
    cfsetispeed(&before, B9600);
    before.c_iflag |= IXON | ICRNL;
    before.c_lflag |= ICANON | ECHO;
    before.c_oflag |= OPOST;
    ASSERT_EQ(tcsetattr(pty.master, TCSANOW, &before), 0);

    RecordingReader reader;
    for (const auto& [baud, speed] :
         {std::pair{2400, B2400}, std::pair{115200, B115200}, std::pair{1200, B1200}}) {
        SCOPED_TRACE(baud);
        CountingSerial transport(&reader);
        ASSERT_EQ(transport.Open(Params(pty.path, baud)), ERR_OK);
        EXPECT_TRUE(transport.isOpen);
        ExpectRaw8N1(pty.Settings(), speed);
        EXPECT_EQ(transport.Open(Params(pty.path, baud)), ERR_DEVICE_ALREADY_OPEN);
        // The last frame before a close (the start command) may still be on its way; the far
        // side must find it at the rate it was sent at.
        EXPECT_EQ(transport.Send(kFrame.data(), static_cast<int32_t>(kFrame.size())), ERR_OK);
        transport.Close(false);
        EXPECT_FALSE(transport.isOpen);
        ExpectRaw8N1(pty.Settings(), speed);
        EXPECT_EQ(pty.ReadAvailable(), kFrame) << "the frame was dropped on close";
    }
}

TEST(SerialTransport, RefusesAPortAnotherProcessHoldsWithoutALock) {
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    // A terminal program: opens the line and sits on it, no flock, no TIOCEXCL.
    PortHolderProcess holder(pty.path);
    ASSERT_TRUE(holder.Ready()) << "the holder did not start";
    RecordingReader reader;
    CountingSerial transport(&reader);
    EXPECT_EQ(transport.Open(Params(pty.path, 9600)), ERR_CONNECT);
    EXPECT_FALSE(transport.isOpen);
    EXPECT_EQ(transport.openFailure.kind, OpenFailureKind::Busy);
    EXPECT_EQ(transport.openFailure.target, pty.path);
    EXPECT_EQ(transport.openFailure.holderPid, static_cast<int>(holder.Pid()));
    EXPECT_EQ(transport.openFailure.holderName, "sleep");
    holder.Stop();
    EXPECT_EQ(transport.Open(Params(pty.path, 9600)), ERR_OK) << "free again once it is gone";
    EXPECT_FALSE(transport.openFailure.failed());
}

// The far side of a pseudo-terminal holds the slave too; it is the line, not a second client.
// With socat (the far side is vA's bridge to vB) and with a process built on openpty().
class SerialFarSide : public testing::TestWithParam<bool> {};

TEST_P(SerialFarSide, IsTheLineNotASecondClient) {
    const bool socat = GetParam();
    TempDirectory folder;
    ASSERT_TRUE(folder.Valid());
    std::unique_ptr<SocatBridge> bridge;
    std::unique_ptr<OpenptyFarSide> openptyFarSide;
    std::string path;
    int deviceEnd = -1;  // where what we send comes out
    pid_t farSide = -1;
    if (socat) {
        bridge = std::make_unique<SocatBridge>(folder.Path());
        ASSERT_TRUE(bridge->Ready()) << "socat did not start (scripts/setup.sh installs it)";
        path = bridge->A();
        deviceEnd = open(bridge->B().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(deviceEnd, 0);
        farSide = bridge->Pid();
    } else {
        openptyFarSide = std::make_unique<OpenptyFarSide>();
        ASSERT_TRUE(openptyFarSide->Ready()) << "the openpty far side did not start";
        path = openptyFarSide->Path();
        deviceEnd = openptyFarSide->Master();
        farSide = openptyFarSide->Pid();
    }
    const std::vector<PortHolder> holders = FindPortHolders(path);
    ASSERT_EQ(holders.size(), 1u) << "the far side keeps the slave open";
    EXPECT_EQ(holders[0].pid, static_cast<int>(farSide));
    EXPECT_TRUE(holders[0].farSide);
    EXPECT_EQ(holders[0].name, socat ? "socat" : "sleep");
    EXPECT_TRUE(ForeignHolders(holders).empty());

    RecordingReader reader;
    CountingSerial transport(&reader);
    ASSERT_EQ(transport.Open(Params(path, 9600)), ERR_OK)
        << OpenFailureReason(transport.openFailure, Language::English);
    EXPECT_FALSE(transport.openFailure.failed());
    ASSERT_EQ(transport.Send(kFrame.data(), static_cast<int32_t>(kFrame.size())), ERR_OK);
    EXPECT_EQ(ReadFrom(deviceEnd, kFrame.size()), kFrame);
    ASSERT_EQ(write(deviceEnd, kFrame.data(), kFrame.size()), static_cast<ssize_t>(kFrame.size()));
    ASSERT_TRUE(reader.WaitFrames(1)) << "nothing came back over the line";
    transport.Close(false);

    // A terminal program beside the far side is still a second client, and it is the one named.
    PortHolderProcess holder(path);
    ASSERT_TRUE(holder.Ready());
    EXPECT_EQ(transport.Open(Params(path, 9600)), ERR_CONNECT);
    EXPECT_EQ(transport.openFailure.kind, OpenFailureKind::Busy);
    EXPECT_EQ(transport.openFailure.holderPid, static_cast<int>(holder.Pid()));
    if (socat) {
        close(deviceEnd);
    }
}

INSTANTIATE_TEST_SUITE_P(Bridges, SerialFarSide, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Socat" : "Openpty"; });

TEST(SerialTransport, RefusesMissingPortsUnknownRatesAndSecondOpens) {
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    RecordingReader reader;
    CountingSerial first(&reader);
    CountingSerial second(&reader);
    EXPECT_EQ(first.Open(Params("/dev/tarvelin-no-such-port", 115200)), ERR_CONNECT);
    EXPECT_EQ(first.openErrno, ENOENT);
    EXPECT_FALSE(first.isOpen);
    EXPECT_FALSE(first.Started());
    EXPECT_EQ(first.Open(Params(pty.path, 12345)), ERR_CONNECT);
    EXPECT_FALSE(first.portHandle.IsOpen());
    // Not a terminal at all.
    EXPECT_EQ(first.Open(Params("/dev/null", 9600)), ERR_CONNECT);

    ASSERT_EQ(first.Open(Params(pty.path, 115200)), ERR_OK);
    EXPECT_EQ(second.Open(Params(pty.path, 115200)), ERR_CONNECT);
    EXPECT_EQ(second.openErrno, EWOULDBLOCK) << "the lock, not the terminal, must refuse it";
    EXPECT_FALSE(second.portHandle.IsOpen());
    EXPECT_FALSE(second.Started());
    first.Close(false);
    EXPECT_EQ(second.Open(Params(pty.path, 115200)), ERR_OK) << "lock not released by Close";
    second.Close(false);
}

TEST(SerialTransport, MovesBytesBothWays) {
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    RecordingReader reader;
    RecordingHook hook;
    CountingSerial transport(&reader);
    ASSERT_EQ(transport.Open(Params(pty.path, 115200)), ERR_OK);

    ASSERT_EQ(transport.Send(kFrame.data(), static_cast<int32_t>(kFrame.size())), ERR_OK);
    EXPECT_EQ(pty.ReadExactly(kFrame.size()), kFrame);
    EXPECT_EQ(hook.Joined(kDirectionSent), kFrame);

    std::vector<uint8_t> burst(700, 0x0D);  // CR and LF must pass untouched in raw mode
    burst[10] = 0x0A;
    std::copy(kFrame.begin(), kFrame.end(), burst.begin() + 300);
    pty.Write(burst);
    ASSERT_TRUE(reader.WaitFrames(1));
    EXPECT_EQ(reader.Frames()[0], kFrame);
    ASSERT_TRUE(WaitUntil([&] { return hook.Count(kDirectionReceived) == burst.size(); }));
    EXPECT_EQ(hook.Joined(kDirectionReceived), burst);
    for (const auto& piece : hook.Pieces()) {
        EXPECT_LE(piece.bytes.size(), 256u);
    }
    EXPECT_EQ(transport.Send(kFrame.data(), 0), ERR_OK);
    transport.Close(false);
    EXPECT_EQ(transport.Send(kFrame.data(), 1), ERR_DEVICE_NOT_OPEN);
}

TEST(SerialTransport, AFrameSentRightBeforeCloseStillReachesTheDevice) {
    // The start-update command is sent and the port closed at once; the device reads later.
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    RecordingReader reader;
    CountingSerial transport(&reader);
    ASSERT_EQ(transport.Open(Params(pty.path, 9600)), ERR_OK);
    ASSERT_EQ(transport.Send(kFrame.data(), static_cast<int32_t>(kFrame.size())), ERR_OK);
    transport.Close(false);
    EXPECT_EQ(pty.ReadExactly(kFrame.size(), 500), kFrame);
}

TEST(SerialTransport, HooksSeeARequestBeforeTheAnswerToIt) {
    // A device that answers the moment a frame is complete: its answer must never reach the
    // hooks (and so the log) before the request that caused it.
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    std::atomic<bool> stop{false};
    std::thread device([&] {
        while (!stop) {
            pollfd readable{pty.master, POLLIN, 0};
            if (poll(&readable, 1, 20) != 1) {
                continue;
            }
            for (uint8_t b : pty.ReadAvailable()) {
                if (b == 0xFF) {
                    pty.Write(kFrame);
                }
            }
        }
    });
    RecordingReader reader;
    RecordingHook hook;
    CountingSerial transport(&reader);
    ASSERT_EQ(transport.Open(Params(pty.path, 115200)), ERR_OK);
    constexpr size_t kExchanges = 200;
    for (size_t i = 0; i < kExchanges; ++i) {
        ASSERT_EQ(transport.Send(kFrame.data(), static_cast<int32_t>(kFrame.size())), ERR_OK);
        ASSERT_TRUE(reader.WaitFrames(i + 1)) << "no answer to exchange " << i;
    }
    transport.Close(false);
    stop = true;
    device.join();

    size_t sent = 0;
    size_t received = 0;
    for (const auto& piece : hook.Pieces()) {
        if (piece.direction == kDirectionSent) {
            sent += piece.bytes.size();
            continue;
        }
        received += piece.bytes.size();
        const size_t answersBegun = (received + kFrame.size() - 1) / kFrame.size();
        ASSERT_GE(sent, answersBegun * kFrame.size()) << "an answer came before its request";
    }
    EXPECT_EQ(received, kExchanges * kFrame.size());
}

TEST(SerialTransport, WriteThatCannotCompleteTimesOutAndShowsWhatWentOut) {
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    RecordingReader reader;
    RecordingHook hook;
    CountingSerial transport(&reader);
    ASSERT_EQ(transport.Open(Params(pty.path, 115200)), ERR_OK);
    std::vector<uint8_t> lots(1024 * 1024);
    for (size_t i = 0; i < lots.size(); ++i) {
        lots[i] = static_cast<uint8_t>(i * 7);
    }
    const auto start = Clock::now();
    EXPECT_EQ(transport.Send(lots.data(), static_cast<int32_t>(lots.size())), ERR_SEND_TIMEOUT);
    const int64_t waited = MillisecondsSince(start);
    EXPECT_GE(waited, 190);
    EXPECT_LT(waited, 2000);
    EXPECT_EQ(transport.writeErrors, 1);
    const std::vector<uint8_t> shown = hook.Joined(kDirectionSent);
    ASSERT_GT(shown.size(), 0u);
    ASSERT_LT(shown.size(), lots.size());
    EXPECT_TRUE(std::equal(shown.begin(), shown.end(), lots.begin()));
    // The device got exactly what the hooks were shown.
    EXPECT_EQ(pty.ReadAvailable(), shown);
    const auto closing = Clock::now();
    transport.Close(false);
    EXPECT_LT(MillisecondsSince(closing), 1000);
}

TEST(SerialTransport, HangUpEndsTheThreadAndSendsFail) {
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    RecordingReader reader;
    CountingSerial transport(&reader);
    ASSERT_EQ(transport.Open(Params(pty.path, 115200)), ERR_OK);
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return transport.Finished(); }))
        << "I/O thread kept waiting on a hung-up device";
    EXPECT_EQ(transport.readErrors, 1);
    const auto start = Clock::now();
    EXPECT_EQ(transport.Send(kFrame.data(), static_cast<int32_t>(kFrame.size())), ERR_SEND_TIMEOUT);
    EXPECT_LT(MillisecondsSince(start), 1000);
    EXPECT_EQ(transport.writeErrors, 1);
    const auto closing = Clock::now();
    transport.Close(false);
    EXPECT_LT(MillisecondsSince(closing), 1000);
    EXPECT_FALSE(transport.isOpen);
}

TEST(SerialTransport, ComNumberReachesTheDeviceThroughThePortsFolder) {
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    const std::filesystem::path config =
        std::filesystem::temp_directory_path() / ("tarvelin-ports-" + std::to_string(getpid()));
    std::filesystem::create_directories(config / "Orvane" / "ports");
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const std::string link = (config / "Orvane" / "ports" / "COM7").string();
    std::filesystem::create_symlink(pty.path, link);
    std::filesystem::create_symlink("/dev/tarvelin-no-such-port",
                                    config / "Orvane" / "ports" / "COM9");

    EXPECT_EQ(ResolveComPort(7), link);
    const std::vector<int> ports = ListSerialPorts();
    EXPECT_NE(std::find(ports.begin(), ports.end(), 7), ports.end());
    EXPECT_EQ(std::find(ports.begin(), ports.end(), 9), ports.end()) << "dangling link listed";

    RecordingReader reader;
    CountingSerial transport(&reader);
    SIO_ConnectionParams params(7, 115200);
    ASSERT_EQ(transport.Open(params), ERR_OK);
    EXPECT_EQ(transport.devicePath, link);
    pty.Write(kFrame);
    ASSERT_TRUE(reader.WaitFrames(1));
    // The same device by another name is still held.
    CountingSerial other(&reader);
    EXPECT_EQ(other.Open(Params(pty.path, 115200)), ERR_CONNECT);
    transport.Close(false);
    // A refusal names the COM number beside the device it stands for, or beside none.
    EXPECT_EQ(transport.Open(SIO_ConnectionParams(9, 115200)), ERR_CONNECT);
    EXPECT_EQ(transport.openFailure.comPort, 9);
    EXPECT_EQ(transport.openFailure.target, (config / "Orvane" / "ports" / "COM9").string());
    EXPECT_EQ(transport.Open(SIO_ConnectionParams(99, 115200)), ERR_CONNECT);
    EXPECT_EQ(transport.openFailure.kind, OpenFailureKind::NoDevice);
    EXPECT_EQ(transport.openFailure.comPort, 99);
    EXPECT_EQ(transport.openFailure.target, "");
    EXPECT_EQ(transport.Open(Params(pty.path + "-gone", 115200)), ERR_CONNECT);
    EXPECT_EQ(transport.openFailure.comPort, 0) << "a device path is no COM number";

    unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(config);
}

}  // namespace
