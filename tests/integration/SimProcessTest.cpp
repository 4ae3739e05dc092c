#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/Sha256.h"
#include "sim/SimServer.h"
#include "support/Frames.h"
#include "support/SimProcess.h"
#include "transport/AutoFrameBuffer.h"
#include "uecp/FrameCodec.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

using testing_support::CoderField;
using testing_support::WireFrame;

Bytes WriteBlock(uint32_t linear, const uint8_t* data, uint8_t count) {
    const uint16_t segment = static_cast<uint16_t>(0x8000 + ((linear - 0x80000) >> 16) * 0x1000);
    const uint16_t offset = static_cast<uint16_t>(linear & 0xFFFF);
    Bytes args{static_cast<uint8_t>(segment >> 8), static_cast<uint8_t>(segment),
               static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset), count};
    args.resize(5 + count);
    std::copy(data, data + count, args.begin() + 5);
    return CoderField(0x50, args);
}

// A blocking-style client over any descriptor: sends frames and waits, with a bound, for the
// answers to assemble.
class FrameClient : public FrameReader {
public:
    explicit FrameClient(int fd) : fd_(fd), assembler_(this) {}
    ~FrameClient() override {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    void OnFrame(const uint8_t* data, int32_t length, AutoFrameBuffer*) override {
        auto parsed = ParseFrame(data, length);
        frames_.push_back(parsed->crcOk
                              ? Bytes(parsed->bytes.get(), parsed->bytes.get() + parsed->size)
                              : Bytes{0xBA, 0xD0});
    }
    bool Send(const Bytes& field, uint8_t sequence) {
        const Bytes frame = WireFrame(field, sequence);
        return write(fd_, frame.data(), frame.size()) == static_cast<ssize_t>(frame.size());
    }
    // The message fields of the next `count` frames; fewer when the bound passes first.
    std::vector<Bytes> Receive(size_t count, std::chrono::milliseconds bound = 3000ms) {
        const auto deadline = Clock::now() + bound;
        while (frames_.size() < count && !closed_) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            uint8_t buffer[1024];
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0) {
                closed_ = n == 0 || errno != EAGAIN;
                continue;
            }
            assembler_.Put(buffer, static_cast<int32_t>(n));
        }
        std::vector<Bytes> taken;
        const size_t n = std::min(count, frames_.size());
        taken.assign(frames_.begin(), frames_.begin() + static_cast<long>(n));
        frames_.erase(frames_.begin(), frames_.begin() + static_cast<long>(n));
        return taken;
    }
    int Ack(const Bytes& field, uint8_t sequence) {
        if (!Send(field, sequence)) {
            return -2;
        }
        const auto got = Receive(1);
        return got.size() == 1 && got[0].size() == 2 && got[0][0] == 0x18 ? got[0][1] : -1;
    }
    bool Closed() const { return closed_; }
    int fd() const { return fd_; }

private:
    int fd_;
    AutoFrameBuffer assembler_;
    std::vector<Bytes> frames_;
    bool closed_ = false;
};

int ConnectLoopback(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int OpenPty(const std::string& path, speed_t speed) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

std::string TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvelin-sim-XXXXXX").string();
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const Bytes kVersionAnswer{0x2D, 0x08, 'R', 'S', 0x7E, 'V', '2', '.', '1', '5'};

TEST(SimProcess, BadOptionsExitWith64) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--tcp", "x"},
             {"--serial", "--nack", "1"},
             {},
             {"--tcp", "0", "--what"},
             {"--tcp", "0", "--version", "V2.15"},
             {"--tcp", "0", "--coders", "2", "--nack", "3@1:17"}}) {
        SimProcess sim(args);
        EXPECT_EQ(sim.Stop(0), 64) << testing::PrintToString(args);
    }
}

TEST(SimProcess, HelpAndVersionExitWithZero) {
    SimProcess help({"--help"});
    const std::string text = help.Output();
    EXPECT_EQ(help.Stop(0), 0);
    EXPECT_EQ(text.rfind("Usage: tarvelin-sim ", 0), 0u) << text;
    EXPECT_NE(text.find("--firmware-version TEXT"), std::string::npos);

    SimProcess version({"--version"});
    const std::string line = version.Output();
    EXPECT_EQ(version.Stop(0), 0);
    EXPECT_EQ(line, "tarvelin-sim (Tarvelin) " TARVELIN_PROJECT_VERSION "\n");
}

// Three coders in one process: consecutive ports, a fault that names one of them, and a flash
// and a dump file each.
TEST(SimProcess, SeveralCodersAreIndependent) {
    const std::string dir = TempDir();
    ASSERT_FALSE(dir.empty());
    SimProcess sim({"--tcp", "0", "--coders", "3", "--state", "bios", "--transfer-mode", "1",
                    "--time-scale", "0", "--nack", "2@1:17", "--dump", dir + "/dump.txt"});
    const std::vector<uint16_t> ports = PortsOf(sim.Announcements());
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[1], ports[0] + 1);
    EXPECT_EQ(ports[2], ports[0] + 2);

    std::vector<Bytes> written(3);
    for (size_t k = 0; k < 3; ++k) {
        FrameClient client(ConnectLoopback(ports[k]));
        ASSERT_GE(client.fd(), 0);
        ASSERT_EQ(client.Ack(CoderField(0x51, {0}), 1), 0);
        const Bytes data(64, static_cast<uint8_t>(0x10 + k));
        ASSERT_EQ(client.Ack(WriteBlock(0x80000, data.data(), 64), 2), 0);
        written[k] = data;
        // Only the second coder refuses its block 1.
        const int second = client.Ack(WriteBlock(0x80040, data.data(), 64), 3);
        EXPECT_EQ(second, k == 1 ? 17 : 0) << "coder " << k + 1;
        if (second == 0) {
            written[k].insert(written[k].end(), data.begin(), data.end());
        }
    }
    EXPECT_EQ(sim.Stop(), 0);
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_NE(ReadFile(dir + "/dump.txt." + std::to_string(k + 1))
                      .find("region 0 start 0x80000 length " + std::to_string(written[k].size()) +
                            " sha256 " + Sha256::Hex(written[k].data(), written[k].size())),
                  std::string::npos)
            << "coder " << k + 1;
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/dump.txt"));
    std::filesystem::remove_all(dir);
}

TEST(SimProcess, FullBiosCycleOverTcpWithDump) {
    const std::string dir = TempDir();
    ASSERT_FALSE(dir.empty());
    SimProcess sim(
        {"--tcp", "0", "--time-scale", "0", "--dump", dir + "/dump.txt", "--dump-raw", dir});
    const auto lines = sim.Announcements();
    const uint16_t port = PortOf(lines);
    ASSERT_NE(port, 0) << "no port line";

    {
        FrameClient netpc(ConnectLoopback(port));
        ASSERT_GE(netpc.fd(), 0);
        ASSERT_TRUE(netpc.Send({0x2D, 0x03, 'N', 'S', 0x06}, 1));
        EXPECT_EQ(netpc.Receive(2),
                  (std::vector<Bytes>{{0x18, 0x00}, {0x2D, 0x04, 'N', 'S', 0x06, 0x00}}));
        ASSERT_TRUE(netpc.Send(CoderField(0x7E), 2));
        EXPECT_EQ(netpc.Receive(2), (std::vector<Bytes>{{0x18, 0x00}, kVersionAnswer}));
        ASSERT_TRUE(netpc.Send(CoderField(0xEF), 3));
        EXPECT_EQ(netpc.Ack({0x2D, 0x04, 'N', 'S', 0x07, 0x01}, 4), 0);
        ASSERT_TRUE(netpc.Send(CoderField(0x7E), 5));
        EXPECT_EQ(netpc.Receive(1), (std::vector<Bytes>{{0x7E, 0x05, '2', '.', '1', '0', 0x00}}));
        for (uint8_t r = 0; r < 3; ++r) {
            EXPECT_EQ(netpc.Ack(CoderField(0x51, {r}), 6), 0);
        }
    }

    // A new connection sees the same device: erased flash, BIOS, mode 1.
    Bytes image(1000);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>((i * 31) ^ (i >> 3));
    }
    const std::string marker = "TVERV3.01";
    std::copy(marker.begin(), marker.end(), image.begin() + 500);
    const Bytes samples(130, 0x42);
    FrameClient bios(ConnectLoopback(port));
    uint8_t sequence = 10;
    for (uint32_t at = 0; at < image.size(); at += 64) {
        const auto n = static_cast<uint8_t>(std::min<size_t>(64, image.size() - at));
        ASSERT_EQ(bios.Ack(WriteBlock(0x80000 + at, image.data() + at, n), sequence++), 0) << at;
    }
    for (uint32_t at = 0; at < samples.size(); at += 64) {
        const auto n = static_cast<uint8_t>(std::min<size_t>(64, samples.size() - at));
        const Bytes block = WriteBlock(0xCDF00 + at, samples.data() + at, n);
        Bytes field = block;
        field[5] = 0xCD;  // segment base 0xCDF0
        field[6] = 0xF0;
        field[7] = static_cast<uint8_t>(at >> 8);
        field[8] = static_cast<uint8_t>(at);
        ASSERT_EQ(bios.Ack(field, sequence++), 0);
    }
    EXPECT_EQ(bios.Ack(CoderField(0x53), sequence++), 0);
    EXPECT_EQ(bios.Ack({0x2D, 0x04, 'N', 'S', 0x07, 0x00}, sequence++), 0);
    ASSERT_TRUE(bios.Send(CoderField(0x7E), sequence++));
    EXPECT_EQ(
        bios.Receive(2),
        (std::vector<Bytes>{{0x18, 0x00}, {0x2D, 0x08, 'R', 'S', 0x7E, 'V', '3', '.', '0', '1'}}));

    ASSERT_EQ(sim.Stop(), 0);
    const std::string dump = ReadFile(dir + "/dump.txt");
    EXPECT_NE(dump.find("region 0 start 0x80000 length 1000 sha256 " +
                        Sha256::Hex(image.data(), image.size())),
              std::string::npos)
        << dump;
    EXPECT_NE(dump.find("region 1 start 0xCDF00 length 130 sha256 " +
                        Sha256::Hex(samples.data(), samples.size())),
              std::string::npos)
        << dump;
    const std::string raw = ReadFile(dir + "/region0.bin");
    EXPECT_EQ(Bytes(raw.begin(), raw.end()), image);
    std::filesystem::remove_all(dir);
}

TEST(SimProcess, SerialAnswersOnlyAtTheRightBaudRate) {
    SimProcess sim({"--serial", "--baud", "9600", "--time-scale", "0"});
    const std::string pty = PtyOf(sim.Announcements());
    ASSERT_FALSE(pty.empty());
    {
        FrameClient wrong(OpenPty(pty, B4800));
        ASSERT_TRUE(wrong.Send(CoderField(0x7E), 1));
        EXPECT_TRUE(wrong.Receive(1, 300ms).empty()) << "answered at 4800 baud";
    }
    {
        // The client's last close and a new open must not stop the line.
        FrameClient right(OpenPty(pty, B9600));
        ASSERT_TRUE(right.Send(CoderField(0x7E), 2));
        EXPECT_EQ(right.Receive(2), (std::vector<Bytes>{{0x18, 0x00}, kVersionAnswer}));
        // The speed is read per frame: after the restart only 115200 reaches the BIOS.
        ASSERT_TRUE(right.Send(CoderField(0xEF), 3));
        ASSERT_TRUE(right.Send(CoderField(0x7E), 4));
        EXPECT_TRUE(right.Receive(1, 300ms).empty()) << "BIOS answered at 9600 baud";
        termios t{};
        tcgetattr(right.fd(), &t);
        cfsetispeed(&t, B115200);
        cfsetospeed(&t, B115200);
        tcsetattr(right.fd(), TCSANOW, &t);
        ASSERT_TRUE(right.Send(CoderField(0x7E), 5));
        EXPECT_EQ(right.Receive(1), (std::vector<Bytes>{{0x7E, 0x05, '2', '.', '1', '0', 0x00}}));
    }
    EXPECT_EQ(sim.Stop(SIGINT), 0);
}

TEST(SimProcess, PortLinkLivesAsLongAsTheSimulator) {
    const std::string config = TempDir();
    ASSERT_FALSE(config.empty());
    SimProcess sim({"--serial", "--link", "COM7"}, {"XDG_CONFIG_HOME=" + config});
    const auto lines = sim.Announcements();
    const std::string pty = PtyOf(lines);
    ASSERT_FALSE(pty.empty());
    const auto link = std::filesystem::path(config) / "Orvane/ports/COM7";
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), pty);
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    std::filesystem::remove_all(config);
}

TEST(SimProcess, SeveralSerialCodersGetConsecutiveLinks) {
    const std::string config = TempDir();
    ASSERT_FALSE(config.empty());
    SimProcess sim({"--serial", "--coders", "2", "--link", "COM7"}, {"XDG_CONFIG_HOME=" + config});
    const auto lines = sim.Announcements();
    std::vector<std::string> ptys;
    for (const auto& line : lines) {
        if (line.rfind("serial ", 0) == 0) {
            ptys.push_back(line.substr(7));
        }
    }
    ASSERT_EQ(ptys.size(), 2u) << testing::PrintToString(lines);
    EXPECT_NE(ptys[0], ptys[1]);
    const auto ports = std::filesystem::path(config) / "Orvane/ports";
    EXPECT_EQ(std::filesystem::read_symlink(ports / "COM7").string(), ptys[0]);
    EXPECT_EQ(std::filesystem::read_symlink(ports / "COM8").string(), ptys[1]);
    EXPECT_EQ(sim.Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(ports / "COM8")));
    std::filesystem::remove_all(config);
}

TEST(SimProcess, DumpOnSigusr1AndNoReconnectAfterFinish) {
    const std::string dir = TempDir();
    SimProcess sim({"--tcp", "0", "--state", "bios", "--transfer-mode", "1", "--time-scale", "0",
                    "--no-reconnect", "--dump", dir + "/dump.txt"});
    const uint16_t port = PortOf(sim.Announcements());
    ASSERT_NE(port, 0);
    {
        FrameClient client(ConnectLoopback(port));
        ASSERT_EQ(client.Ack(CoderField(0x51, {0}), 1), 0);
        const Bytes data(64, 0x77);
        ASSERT_EQ(client.Ack(WriteBlock(0x80000, data.data(), 64), 2), 0);
        ASSERT_GT(sim.pid(), 0);
        kill(sim.pid(), SIGUSR1);
        const auto deadline = Clock::now() + 3s;
        while (ReadFile(dir + "/dump.txt").find("length 64 ") == std::string::npos &&
               Clock::now() < deadline) {
            usleep(10000);
        }
        EXPECT_NE(ReadFile(dir + "/dump.txt")
                      .find("region 0 start 0x80000 length 64 sha256 " +
                            Sha256::Hex(data.data(), data.size())),
                  std::string::npos);
        ASSERT_EQ(client.Ack(CoderField(0x53), 3), 0);
    }
    EXPECT_LT(ConnectLoopback(port), 0) << "accepted a connection after the finish";
    EXPECT_EQ(sim.Stop(), 0);
    std::filesystem::remove_all(dir);
}

TEST(SimServerInProcess, DroppedConnectionResumesOnTheNextOne) {
    SimOptions options;
    options.tcpPort = 0;
    options.state = SimOptions::StartState::Bios;
    options.transferMode = 1;
    options.timeScale = 0;
    options.dropAfter = 1;
    SimServer server(options);
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    const Bytes data(64, 0x33);
    {
        FrameClient first(ConnectLoopback(server.port()));
        ASSERT_EQ(first.Ack(CoderField(0x51, {0}), 1), 0);
        ASSERT_EQ(first.Ack(WriteBlock(0x80000, data.data(), 64), 2), 0);
        ASSERT_TRUE(first.Send(WriteBlock(0x80040, data.data(), 64), 3));
        EXPECT_TRUE(first.Receive(1).empty());
        EXPECT_TRUE(first.Closed());
    }
    FrameClient second(ConnectLoopback(server.port()));
    EXPECT_EQ(second.Ack(WriteBlock(0x80040, data.data(), 64), 4), 0);
    EXPECT_EQ(server.WithDevice([](SimDevice& d) { return d.Coder().Flash().WrittenLength(0); }),
              128u);
    server.Stop();
}

TEST(SimServerInProcess, RefuseFromClosesTheListenerAfterTheEarlierConnections) {
    SimOptions options;
    options.tcpPort = 0;
    options.timeScale = 0;
    options.refuseFrom = 3;
    SimServer server(options);
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    FrameClient first(ConnectLoopback(server.port()));
    ASSERT_GE(first.fd(), 0);
    ASSERT_TRUE(first.Send(CoderField(0x7E), 1));
    EXPECT_EQ(first.Receive(2), (std::vector<Bytes>{{0x18, 0x00}, kVersionAnswer}));
    FrameClient second(ConnectLoopback(server.port()));
    ASSERT_GE(second.fd(), 0);
    // The second one was accepted once it answers; from then on the port is closed.
    ASSERT_TRUE(second.Send(CoderField(0x7E), 2));
    EXPECT_EQ(second.Receive(2).size(), 2u);
    EXPECT_LT(ConnectLoopback(server.port()), 0) << "the third connection was accepted";
    // Connections already open keep working.
    ASSERT_TRUE(first.Send(CoderField(0x7E), 3));
    EXPECT_EQ(first.Receive(2).size(), 2u);
    server.Stop();
}

TEST(SimServerInProcess, PacingHoldsAnswersToTheLineRate) {
    SimOptions options;
    options.serial = true;
    options.pace = true;
    options.baud = 1200;
    options.timeScale = 0;
    SimServer server(options);
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    FrameClient client(OpenPty(server.ptyPath(), B1200));
    const auto start = Clock::now();
    ASSERT_TRUE(client.Send(CoderField(0x7E), 1));
    ASSERT_EQ(client.Receive(2).size(), 2u);
    // 13 bytes in, 10 + 18 bytes out at 120 bytes per second: at least 340 ms.
    EXPECT_GE(Clock::now() - start, 340ms);
    server.Stop();
}

}  // namespace
