#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "protocol/T1x_UECPMessageHandler.h"
#include "support/SimHandlerSupport.h"

// The coder handler with the real serial transport on the simulator's pseudo-terminal. The
// simulated coder answers only when the rate we set on the line is the one it runs at.

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

SimOptions SerialSim(uint32_t firmwareBaud) {
    SimOptions options;
    options.serial = true;
    options.baud = firmwareBaud;
    options.timeScale = 0;
    return options;
}

void UseLine(T1x_UECPMessageHandler& coder, const SimServer& server, int32_t baud,
             int32_t responseTimeout = 300) {
    SIO_ConnectionParams params(1, baud);
    params.devicePath = server.ptyPath();
    params.responseTimeout = responseTimeout;
    coder.SetSerialParams(params);
}

TEST(HandlerOverSerial, FirmwareAnswersAtItsRateAndIsSilentAtOthers) {
    auto server = StartSim(SerialSim(19200));
    T1x_UECPMessageHandler coder;
    std::string version;
    std::string bios;
    for (const int32_t wrong : {9600, 115200, 2400}) {
        UseLine(coder, *server, wrong);
        ASSERT_EQ(coder.Open(), ERR_OK) << wrong;
        const auto start = Clock::now();
        EXPECT_EQ(coder.QueryFirmwareVersion(version, 0), ERR_NO_ACK) << wrong;
        EXPECT_GE(Clock::now() - start, 290ms) << "gave up before the budget at " << wrong;
        EXPECT_EQ(coder.QueryBiosVersion(bios, 100, 0), ERR_READ_TIMEOUT) << wrong;
        coder.Close(0);
    }
    EXPECT_TRUE(version.empty());

    UseLine(coder, *server, 19200);
    ASSERT_EQ(coder.Open(), ERR_OK);
    EXPECT_EQ(coder.QueryFirmwareVersion(version, 0), ERR_OK);
    EXPECT_EQ(version, "V2.15");
    // The firmware answers the BIOS query with an acknowledgement and a 0x2D answer, neither
    // of which is the BIOS's 7-byte 0x7E frame.
    EXPECT_EQ(coder.QueryBiosVersion(bios, 100, 0), ERR_NO_ANSWER);
    uint16_t port = 0;
    EXPECT_EQ(coder.QueryWord(T1x_UECPMessageHandler::kCmdMainPort, port, 0), ERR_OK);
    EXPECT_EQ(port, 4001);
}

TEST(HandlerOverSerial, WholeBiosCycleLeavesTheImagesInTheFlash) {
    auto server = StartSim(SerialSim(9600));
    T1x_UECPMessageHandler coder;
    UseLine(coder, *server, 9600);
    ASSERT_EQ(coder.Open(), ERR_OK);
    std::string version;
    ASSERT_EQ(coder.QueryFirmwareVersion(version, 0), ERR_OK);
    ASSERT_EQ(coder.StartFirmwareUpdate(0), ERR_OK);
    std::string bios;
    EXPECT_EQ(coder.QueryBiosVersion(bios, 200, 0), ERR_READ_TIMEOUT) << "BIOS heard at 9600";
    coder.Close(0);

    // The BIOS listens at 115200 only; every step opens its own connection.
    UseLine(coder, *server, 115200, 2000);
    ASSERT_EQ(coder.Open(), ERR_OK);
    ASSERT_EQ(coder.QueryBiosVersion(bios, 1000, 0), ERR_OK);
    EXPECT_EQ(bios, "2.10");
    for (uint8_t region = 0; region < 3; ++region) {
        ASSERT_EQ(coder.EraseFlash(region, 0), ERR_OK) << int(region);
    }
    const auto image = TestImage(256 * 64 + 9, 4, "TVERV2.20", 640);
    const auto dsp = TestImage(40 * 64, 5);
    uint64_t failed = 0;
    ASSERT_EQ(WriteImage(coder, kCoderFirmwareSegment, image, failed), ERR_OK) << failed;
    ASSERT_EQ(WriteImage(coder, kDspFirmwareSegment, dsp, failed), ERR_OK) << failed;
    EXPECT_EQ(coder.FinishFlashProgramming(0), ERR_OK);
    coder.Close(0);

    const std::string dump = server->DumpText();
    EXPECT_NE(dump.find(DumpLine(0, 0x80000, image)), std::string::npos) << dump;
    EXPECT_NE(dump.find(DumpLine(1, 0xCDF00, {})), std::string::npos) << dump;
    EXPECT_NE(dump.find(DumpLine(2, 0xD8000, dsp)), std::string::npos) << dump;
    EXPECT_EQ(server->WithDevice([](SimDevice& d) { return d.Coder().Flash().WrittenBytes(2); }),
              dsp);

    // Back in the firmware at its own rate, with the version of the flashed image.
    UseLine(coder, *server, 9600);
    ASSERT_EQ(coder.Open(), ERR_OK);
    EXPECT_EQ(coder.QueryFirmwareVersion(version, 0), ERR_OK);
    EXPECT_EQ(version, "V2.20");
}

TEST(HandlerOverSerial, WriteIntoUnerasedFlashIsAVerifyFault) {
    SimOptions options = SerialSim(9600);
    options.state = SimOptions::StartState::Bios;
    auto server = StartSim(options);
    T1x_UECPMessageHandler coder;
    UseLine(coder, *server, 115200);
    ASSERT_EQ(coder.Open(), ERR_OK);
    const auto block = TestImage(64, 6);
    EXPECT_EQ(coder.WriteBlock(block.data(), 64, 0x8000, 0, 0), ERR_NACK_17);
    ASSERT_EQ(coder.EraseFlash(0, 0), ERR_OK);
    EXPECT_EQ(coder.WriteBlock(block.data(), 64, 0x8000, 0, 0), ERR_OK);
    // Below the flash: out of range.
    EXPECT_EQ(coder.WriteBlock(block.data(), 64, 0x7000, 0, 0), ERR_NACK_6);
}

}  // namespace
