#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "protocol/ArmNetPC_UECPMessageHandler.h"
#include "protocol/T1x_UECPMessageHandler.h"
#include "support/SimHandlerSupport.h"

// The coder and NetPC handlers with the real TCP transport against the simulated NetPC on
// loopback, without device delays.

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

SimOptions TcpSim() {
    SimOptions options;
    options.tcpPort = 0;
    options.timeScale = 0;
    return options;
}

TCP_ConnectionParams ParamsFor(const SimServer& server, int32_t responseTimeout = 3000) {
    TCP_ConnectionParams params("127.0.0.1", server.port());
    params.responseTimeout = responseTimeout;
    return params;
}

// Sets the NetPC's transfer mode over the coder handler's connection and gives it back.
UECP_IO_Error SwitchMode(T1x_UECPMessageHandler& coder, uint8_t mode) {
    ArmNetPC_UECPMessageHandler netpc;
    UECP_IO_Error result = coder.HandOver(netpc);
    if (result != ERR_OK) {
        return result;
    }
    result = netpc.SetTransferMode(mode, 0);
    const UECP_IO_Error back = netpc.HandOver(coder);
    return result != ERR_OK ? result : back;
}

TEST(HandlerOverTcp, FirmwareAnswersItsQueriesThroughTheNetPC) {
    auto server = StartSim(TcpSim());
    T1x_UECPMessageHandler coder;
    coder.SetTcpParams(ParamsFor(*server));
    ASSERT_EQ(coder.Open(), ERR_OK);

    std::string version;
    EXPECT_EQ(coder.QueryFirmwareVersion(version, 0), ERR_OK);
    EXPECT_EQ(version, "V2.15");
    std::string bios;
    EXPECT_EQ(coder.QueryString(T1x_UECPMessageHandler::kCmdBiosVersion, bios, 4, 0), ERR_OK);
    EXPECT_EQ(bios, "2.10");
    uint16_t port = 0;
    EXPECT_EQ(coder.QueryWord(T1x_UECPMessageHandler::kCmdMainPort, port, 0), ERR_OK);
    EXPECT_EQ(port, 4001);
    T1xDeviceInfo info;
    EXPECT_EQ(coder.ReadDeviceInfo(info, 0), ERR_OK);
    EXPECT_EQ(info.deviceType, 5);
    EXPECT_EQ(info.deviceName, "T12 Basic");
    EXPECT_EQ(info.firmwareVersion, "V2.15");
    // Five exchanges after Open: the counter went 0 to 5, one per exchange.
    EXPECT_EQ(coder.sequenceCounter, 6);
}

TEST(HandlerOverTcp, TransferModeAndHandOverOnTheLiveConnection) {
    auto server = StartSim(TcpSim());
    T1x_UECPMessageHandler coder;
    coder.SetTcpParams(ParamsFor(*server, 300));
    ASSERT_EQ(coder.Open(), ERR_OK);
    const UECP_IO* connection = coder.transport.get();

    ArmNetPC_UECPMessageHandler netpc;
    ASSERT_EQ(coder.HandOver(netpc), ERR_OK);
    EXPECT_EQ(netpc.transport.get(), connection) << "the hand-over opened a new connection";
    std::string version;
    EXPECT_EQ(coder.QueryFirmwareVersion(version, 0), ERR_DEVICE_NOT_OPEN);
    uint8_t mode = 0xAA;
    EXPECT_EQ(netpc.QueryTransferMode(mode, 0), ERR_OK);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(netpc.SetTransferMode(1, 0), ERR_OK);
    EXPECT_EQ(netpc.QueryTransferMode(mode, 0), ERR_OK);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(server->WithDevice([](SimDevice& d) { return d.TransferMode(); }), 1);
    // A mode the NetPC does not know is refused with its acknowledgement code.
    EXPECT_EQ(netpc.SetTransferMode(7, 0), ERR_NACK_6);

    ASSERT_EQ(netpc.HandOver(coder), ERR_OK);
    EXPECT_EQ(coder.transport.get(), connection);
    EXPECT_FALSE(netpc.IsOpen());
    // Mode 1 passes traffic to the BIOS only; the firmware stays out of reach.
    EXPECT_EQ(coder.QueryFirmwareVersion(version, 0), ERR_NO_ACK);
    ASSERT_EQ(SwitchMode(coder, 0), ERR_OK);
    EXPECT_EQ(coder.QueryFirmwareVersion(version, 0), ERR_OK);
    EXPECT_EQ(version, "V2.15");
    EXPECT_EQ(coder.transport.get(), connection);

    // The procedure's pattern: a NetPC handler that lives for one exchange and is destroyed
    // right after it hands the connection back, while the I/O thread may still be delivering
    // to it. The sanitizer runs watch this loop.
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(SwitchMode(coder, static_cast<uint8_t>(i % 2)), ERR_OK) << i;
    }
    EXPECT_EQ(coder.QueryFirmwareVersion(version, 0), ERR_NO_ACK) << "mode 1 after the loop";
}

// Milliseconds of the median of `runs` calls of `exchange`.
template <class F>
double MedianMs(int runs, F&& exchange) {
    std::vector<double> took;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        exchange();
        took.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::nth_element(took.begin(), took.begin() + runs / 2, took.end());
    return took[static_cast<size_t>(runs / 2)];
}

// Loopback answers come back in well under a millisecond; a frame that waits for a delayed
// ACK (Nagle) takes some 40 ms. The median keeps a busy machine's outliers out.
TEST(HandlerOverTcp, FramesAreNotHeldBackForDelayedAcks) {
    auto server = StartSim(TcpSim());
    T1x_UECPMessageHandler coder;
    coder.SetTcpParams(ParamsFor(*server));
    ASSERT_EQ(coder.Open(), ERR_OK);
    // The device's acknowledgement and its answer leave as two writes.
    std::string version;
    const double query =
        MedianMs(9, [&] { EXPECT_EQ(coder.QueryFirmwareVersion(version, 0), ERR_OK); });
    EXPECT_LT(query, 20.0) << "the answer waited behind the acknowledgement";

    // In mode 1 the NetPC drops the firmware's frames silently, so the 0xEF gets no reply at
    // all and the NetPC query after it is a frame behind an unanswered one.
    ASSERT_EQ(SwitchMode(coder, 1), ERR_OK);
    ArmNetPC_UECPMessageHandler netpc;
    const double behindUnanswered = MedianMs(9, [&] {
        ASSERT_EQ(coder.StartFirmwareUpdate(0), ERR_OK);
        ASSERT_EQ(coder.HandOver(netpc), ERR_OK);
        uint8_t mode = 0;
        EXPECT_EQ(netpc.QueryTransferMode(mode, 0), ERR_OK);
        ASSERT_EQ(netpc.HandOver(coder), ERR_OK);
    });
    EXPECT_LT(behindUnanswered, 20.0) << "the request waited for the ACK of the one before";
    EXPECT_EQ(server->WithDevice([](SimDevice& d) {
        return d.Coder().StateAt(
            std::chrono::duration_cast<SimTime>(Clock::now().time_since_epoch()));
    }),
              CoderDevice::State::Firmware)
        << "the 0xEF reached the coder";
}

TEST(HandlerOverTcp, OldNetPcLeavesTheModeQueryUnanswered) {
    SimOptions options = TcpSim();
    options.oldNetPc = true;
    auto server = StartSim(options);
    T1x_UECPMessageHandler coder;
    coder.SetTcpParams(ParamsFor(*server, 200));
    ASSERT_EQ(coder.Open(), ERR_OK);
    ArmNetPC_UECPMessageHandler netpc;
    ASSERT_EQ(coder.HandOver(netpc), ERR_OK);
    uint8_t mode = 0xAA;
    EXPECT_EQ(netpc.QueryTransferMode(mode, 0), ERR_NO_ACK);
    EXPECT_EQ(mode, 0xAA);
    ASSERT_EQ(netpc.HandOver(coder), ERR_OK);
    std::string version;
    EXPECT_EQ(coder.QueryFirmwareVersion(version, 0), ERR_OK) << "coder traffic still passes";
}

TEST(HandlerOverTcp, WholeBiosCycleLeavesTheImagesInTheFlash) {
    auto server = StartSim(TcpSim());
    T1x_UECPMessageHandler coder;
    coder.SetTcpParams(ParamsFor(*server));
    ASSERT_EQ(coder.Open(), ERR_OK);

    ASSERT_EQ(coder.StartFirmwareUpdate(0), ERR_OK);
    ASSERT_EQ(SwitchMode(coder, 1), ERR_OK);
    std::string bios;
    ASSERT_EQ(coder.QueryBiosVersion(bios, 1000, 0), ERR_OK);
    EXPECT_EQ(bios, "2.10");
    for (uint8_t region = 0; region < 3; ++region) {
        ASSERT_EQ(coder.EraseFlash(region, 0), ERR_OK) << int(region);
    }
    // 300 blocks, the last one short, then a sample file at its own segment base.
    const auto image = TestImage(300 * 64 - 23, 1, "TVERV3.01", 4000);
    const auto samples = TestImage(5 * 64, 2);
    uint64_t failed = 0;
    ASSERT_EQ(WriteImage(coder, kCoderFirmwareSegment, image, failed), ERR_OK) << failed;
    ASSERT_EQ(WriteImage(coder, kDspSamplesSegment, samples, failed), ERR_OK) << failed;
    EXPECT_EQ(coder.FinishFlashProgramming(0), ERR_OK);

    const std::string dump = server->DumpText();
    EXPECT_NE(dump.find(DumpLine(0, 0x80000, image)), std::string::npos) << dump;
    EXPECT_NE(dump.find(DumpLine(1, 0xCDF00, samples)), std::string::npos) << dump;
    EXPECT_NE(dump.find(DumpLine(2, 0xD8000, {})), std::string::npos) << dump;
    EXPECT_EQ(server->WithDevice([](SimDevice& d) { return d.Coder().Flash().WrittenBytes(0); }),
              image);

    // The restarted coder runs what was flashed.
    ASSERT_EQ(SwitchMode(coder, 0), ERR_OK);
    std::string version;
    EXPECT_EQ(coder.QueryFirmwareVersion(version, 0), ERR_OK);
    EXPECT_EQ(version, "V3.01");
}

TEST(HandlerOverTcp, DeviceFaultsReachTheCallerAsTheirResults) {
    SimOptions options = TcpSim();
    options.state = SimOptions::StartState::Bios;
    options.transferMode = 1;
    options.nacks = {{1, 15, 1}, {2, 14, -1}};
    options.loseAcks = {3};
    options.badCrcs = {4};
    auto server = StartSim(options);
    T1x_UECPMessageHandler coder;
    coder.SetTcpParams(ParamsFor(*server, 300));
    ASSERT_EQ(coder.Open(), ERR_OK);
    ASSERT_EQ(coder.EraseFlash(0, 0), ERR_OK);

    const auto image = TestImage(6 * 64, 3);
    auto write = [&](int k) {
        const SegmentOffset at = BlockAddress(kCoderFirmwareSegment, static_cast<uint64_t>(k));
        return coder.WriteBlock(image.data() + k * 64, 64, at.segment, at.offset, 0);
    };
    EXPECT_EQ(write(0), ERR_OK);
    EXPECT_EQ(write(1), ERR_NACK_15);
    EXPECT_EQ(write(1), ERR_OK) << "a retry after a flash fault";
    EXPECT_EQ(write(2), ERR_NACK_14) << "written, and said so with code 14";
    // A lost acknowledgement and a corrupt one both run out the budget: no acknowledgement.
    const auto start = Clock::now();
    EXPECT_EQ(write(3), ERR_NO_ACK);
    EXPECT_GE(Clock::now() - start, 290ms);
    EXPECT_EQ(write(3), ERR_OK);
    EXPECT_EQ(write(4), ERR_NO_ACK);
    EXPECT_EQ(write(4), ERR_OK);
    EXPECT_EQ(write(5), ERR_OK);
    EXPECT_EQ(server->WithDevice([](SimDevice& d) { return d.Coder().Flash().WrittenBytes(0); }),
              image);
}

}  // namespace
