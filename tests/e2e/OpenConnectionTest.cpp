// The retry rule of OpenConnection: attempts 500 ms apart, a "Retry n" line before each
// further attempt, one line with the last attempt's result.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ProcedureHarness.h"
#include "support/SimProcess.h"

namespace {

using Lines = std::vector<std::string>;

// A loopback port that refuses connections: bound, never listening, for as long as it lives.
class RefusingPort {
public:
    RefusingPort() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    ~RefusingPort() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    uint16_t Port() const { return port_; }

private:
    int fd_;
    uint16_t port_ = 0;
};

TEST(OpenConnection, NoRetriesOneAttemptThenTheFailureLine) {
    RefusingPort refusing;
    ASSERT_NE(refusing.Port(), 0);
    ProcedureHarness run(TcpChoice(refusing.Port()));
    run.procedure->OpenLogFile();
    EXPECT_FALSE(run.procedure->OpenConnection(false, 0, 0));
    EXPECT_EQ(run.LogLines(),
              (Lines{"Use TCP/IP connection", "Failed to open connection: IO connect error",
                     "Reason: 127.0.0.1:" + std::to_string(refusing.Port()) +
                         " refused the connection."}));
    EXPECT_EQ(run.procedure->m_openFailure.kind, OpenFailureKind::Refused);
    // The failure is reported after the one pause that follows the attempt.
    EXPECT_EQ(run.procedure->Pauses(), std::vector<uint32_t>{500});
}

TEST(OpenConnection, ThreeRetriesThatNeverSucceedMakeFourAttempts) {
    RefusingPort refusing;
    ASSERT_NE(refusing.Port(), 0);
    ProcedureHarness run(TcpChoice(refusing.Port()));
    run.procedure->OpenLogFile();
    EXPECT_FALSE(run.procedure->OpenConnection(false, 0, 3));
    const Lines lines = run.LogLines();
    EXPECT_EQ(Lines(lines.begin(), lines.end() - 1),
              (Lines{"Use TCP/IP connection", "Retry 1", "Retry 2", "Retry 3",
                     "Failed to open connection: IO connect error"}));
    EXPECT_EQ(run.procedure->Pauses(), (std::vector<uint32_t>{500, 500, 500, 500}));
}

TEST(OpenConnection, ThreeRetriesThatSucceedAtTheThirdAttempt) {
    SimProcess sim({"--serial", "--time-scale", "0"});
    const std::string pty = PtyOf(sim.Announcements());
    ASSERT_FALSE(pty.empty());
    // Another holder of the port's lock makes the first two openings fail; it lets go during
    // the pause after the second one.
    int holder = open(pty.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    ProcedureHarness run(SerialChoice(pty));
    run.procedure->onPause = [&holder](uint32_t, size_t number) {
        if (number == 2 && holder >= 0) {
            close(holder);
            holder = -1;
        }
    };
    run.procedure->OpenLogFile();
    EXPECT_TRUE(run.procedure->OpenConnection(false, 9600, 3));
    EXPECT_EQ(run.LogLines(), (Lines{"Use Serial connection with 9600 baud", "Retry 1", "Retry 2",
                                     "Connection opened successfully!"}));
    EXPECT_EQ(run.procedure->Pauses(), (std::vector<uint32_t>{500, 500}));
    // The connection is really open: the firmware answers on it.
    std::string version;
    EXPECT_EQ(run.procedure->m_handler.QueryFirmwareVersion(version, 0), ERR_OK);
    EXPECT_EQ(version, "V2.15");
    if (holder >= 0) {
        close(holder);
    }
}

}  // namespace
