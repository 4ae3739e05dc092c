// The flash sequence end to end against the simulator, over TCP and over a serial line: the
// messages with their integers in order, the log, the pauses, and the flash compared with the
// files. The procedure's pauses are real; only the simulated device is quick.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>

#include "FirmwareFolder.h"
#include "ProcedureHarness.h"
#include "SimUnderTest.h"

namespace {

const Lines kTcpOpened{"Use TCP/IP connection", "Connection opened successfully!"};
const Lines kBiosOpened{"Use Serial connection with 115200 baud",
                        "Connection opened successfully!"};

Lines Join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// The erase commands sent for region r.
std::string Erase(int region) {
    return ",52,53,51,0" + std::to_string(region) + ",";
}
const std::string kWriteBlock = ",52,53,50,";

TEST(FlashSequence, TcpAllThreeFilesFromTheFirmware) {
    // 300 KiB of coder firmware: this run also measures the block-writing stage.
    FirmwareFolder files(300 * 1024, 41216, 10000);
    SimUnderTest device({"--tcp", "0", "--time-scale", "0", "--main-port", "0"});
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(TcpChoice(device.Port()), files.Path());
    ASSERT_EQ(run.Identify(), UPD_TCP_FIRMWARE);

    const ProcedureHarness::Finished finished = run.Flash();
    EXPECT_EQ(finished.result, UPD_OK);
    EXPECT_EQ(finished.lastBlockResult, ERR_OK);
    EXPECT_EQ(run.FlashMessages(), (Messages{{kStatus, 213, 0},
                                             {kStatus, 212, 0},
                                             {kStage, 1, 0},
                                             {kRange, 0, 4801},
                                             {kStep, 4800, 0},
                                             {kStage, 2, 0},
                                             {kRange, 0, 645},
                                             {kStep, 644, 0},
                                             {kStage, 3, 0},
                                             {kRange, 0, 157},
                                             {kStep, 157, 0},
                                             {kStatus, 217, 0},
                                             {kStage, 4, 0},
                                             {kFinished, 0, 0}}));
    EXPECT_EQ(run.ProcedureLinesFrom("Connecting Coder..."),
              Join({{"Connecting Coder..."},
                    kTcpOpened,
                    {"Sending 'Start Firmware Update' command", "Awaiting Reboot...",
                     "Connecting Bios..."},
                    kTcpOpened,
                    {"Switch NetPC to update mode...", "Check, that the Coder is ready...",
                     "Coder is ready"},
                    kTcpOpened,
                    {"Erase Flash..."},
                    kTcpOpened,
                    {"Start flashing Coder firmware...", "Start flashing DSP samples...",
                     "Start flashing DSP firmware...", "Send 'Finish Flash Programming' command...",
                     "Awaiting Reboot..."},
                    kTcpOpened,
                    {"Trying to get firmware version...", "Current firmware version:  2.16",
                     "Firmware version to flash: 2.16 (Coder_V02_16.img)", ""}}));
    EXPECT_EQ(run.procedure->Pauses(), (std::vector<uint32_t>{6500, 200, 200, 200, 8000}));
    for (int region = 0; region < 3; ++region) {
        EXPECT_EQ(run.CountFrameLines("-> ", Erase(region)), 1u) << "erase of region " << region;
    }
    // Every block reached the log once, and so did its acknowledgement.
    EXPECT_EQ(run.CountFrameLines("-> ", kWriteBlock), 4800u + 644u + 157u);
    EXPECT_EQ(run.procedure->m_currentVersion, "2.16");
    EXPECT_EQ(device.StopAndDump(), files.ExpectedDump());

    // The block-writing stage of the coder image: from its progress range to the post that
    // follows its last acknowledged block.
    const std::vector<Posted> posts = run.FlashPosts();
    auto range = std::find_if(posts.begin(), posts.end(),
                              [](const Posted& p) { return p.message == WM_UPD_PROGRESS_RANGE; });
    ASSERT_NE(range, posts.end());
    auto after = std::find_if(range + 1, posts.end(),
                              [](const Posted& p) { return p.message == WM_UPD_STAGE; });
    ASSERT_NE(after, posts.end());
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(after->at - range->at).count();
    std::cout << "block-writing stage, 300 KiB coder image over TCP: " << ms
              << " ms for 4800 blocks" << std::endl;
    RecordProperty("BlockWritingMs", static_cast<int>(ms));
}

TEST(FlashSequence, SerialAllThreeFilesFromTheFirmware) {
    FirmwareFolder files(6000, 3000, 2000);
    SimUnderTest device({"--serial", "--time-scale", "0"});
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(SerialChoice(device.Pty()), files.Path());
    ASSERT_EQ(run.Identify(), UPD_SERIAL_FIRMWARE);

    const ProcedureHarness::Finished finished = run.Flash();
    EXPECT_EQ(finished.result, UPD_OK);
    EXPECT_EQ(finished.lastBlockResult, ERR_OK);
    EXPECT_EQ(run.FlashMessages(), (Messages{{kStatus, 213, 0},
                                             {kStatus, 212, 0},
                                             {kStage, 1, 0},
                                             {kRange, 0, 94},
                                             {kStep, 94, 0},
                                             {kStage, 2, 0},
                                             {kRange, 0, 47},
                                             {kStep, 47, 0},
                                             {kStage, 3, 0},
                                             {kRange, 0, 32},
                                             {kStep, 32, 0},
                                             {kStatus, 217, 0},
                                             {kStage, 4, 0},
                                             {kFinished, 0, 0}}));
    EXPECT_EQ(run.ProcedureLinesFrom("Connecting Coder..."),
              Join({{"Connecting Coder...", "Use Serial connection with 9600 baud",
                     "Connection opened successfully!", "Sending 'Start Firmware Update' command",
                     "Awaiting Reboot...", "Connecting Bios..."},
                    kBiosOpened,
                    {"Check, that the Coder is ready...", "Coder is ready"},
                    kBiosOpened,
                    {"Erase Flash..."},
                    kBiosOpened,
                    {"Start flashing Coder firmware...", "Start flashing DSP samples...",
                     "Start flashing DSP firmware...", "Send 'Finish Flash Programming' command...",
                     "Awaiting Reboot...", "Detecting baud rate...", "Trying baud rate 115200...",
                     "Trying baud rate 9600...", "Detected baud rate: 9600"}}));
    EXPECT_EQ(run.procedure->Pauses(), (std::vector<uint32_t>{2000, 200, 200, 200, 6000}));
    for (int region = 0; region < 3; ++region) {
        EXPECT_EQ(run.CountFrameLines("-> ", Erase(region)), 1u) << "erase of region " << region;
    }
    EXPECT_EQ(run.procedure->m_currentVersion, "2.16");
    EXPECT_FALSE(run.procedure->m_biosRunning);
    EXPECT_EQ(device.StopAndDump(), files.ExpectedDump());
}

// A coder whose firmware runs at another rate than 9600, behind a line that judges each frame
// 50 ms after its bytes arrived (as a slow device or an adapter's FIFO does): the start
// command must still be at the coder's rate when it is judged, after the port was closed.
class FlashAtLineRate : public testing::TestWithParam<int> {};

TEST_P(FlashAtLineRate, SerialUpdateRestartsTheCoderAtItsOwnRate) {
    FirmwareFolder files(3000, std::nullopt, std::nullopt);
    SimUnderTest device({"--serial", "--baud", std::to_string(GetParam()), "--judge-ms", "50",
                         "--time-scale", "0"});
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(SerialChoice(device.Pty()), files.Path());
    ASSERT_EQ(run.Identify(), UPD_SERIAL_FIRMWARE);
    EXPECT_EQ(run.procedure->m_baudRate, GetParam());

    const ProcedureHarness::Finished finished = run.Flash();
    EXPECT_EQ(finished.result, UPD_OK);
    EXPECT_EQ(run.procedure->m_currentVersion, "2.16");
    EXPECT_EQ(run.procedure->m_baudRate, GetParam());
    // The sign of life: each reboot pause and the reconnection are announced and ended.
    const std::vector<std::vector<int64_t>> waits = run.FlashWaits();
    EXPECT_EQ(waits.front(), (std::vector<int64_t>{WAIT_RESTART, 2000}));
    EXPECT_EQ(std::count(waits.begin(), waits.end(), std::vector<int64_t>{WAIT_RESTART, 6000}), 1);
    EXPECT_EQ(std::count(waits.begin(), waits.end(), std::vector<int64_t>{WAIT_NONE, 0}),
              static_cast<long>(waits.size() / 2));
    EXPECT_EQ(device.StopAndDump(), files.ExpectedDump());
}

INSTANTIATE_TEST_SUITE_P(Rates, FlashAtLineRate, testing::Values(2400, 19200));

// Three cases in one run: the BIOS already runs (no start command, no reboot pause), only a
// coder firmware is there (regions 0 and 1, stage 1 alone), and after the finish the coder
// comes back in its BIOS: the new firmware does not run, which is a failed reconnection.
TEST(FlashSequence, SerialBiosRunningCoderOnlyAndTheCoderStaysInItsBios) {
    FirmwareFolder files(4100, std::nullopt, std::nullopt);
    SimUnderTest device({"--serial", "--state", "bios", "--bios-version", "2.11", "--stay-in-bios",
                         "--time-scale", "0"});
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(SerialChoice(device.Pty()), files.Path());
    ASSERT_EQ(run.Identify(), UPD_SERIAL_BIOS);
    const size_t identifyLines = run.ProcedureLines().size();

    const ProcedureHarness::Finished finished = run.Flash();
    EXPECT_EQ(finished.result, UPD_RECONNECT_FAILED);
    EXPECT_EQ(run.FlashMessages(), (Messages{{kStatus, 213, 0},
                                             {kStatus, 212, 0},
                                             {kStage, 1, 0},
                                             {kRange, 0, 65},
                                             {kStep, 65, 0},
                                             {kStatus, 217, 0},
                                             {kStage, 4, 0},
                                             {kFinished, 18, 0}}));
    const Lines all = run.ProcedureLines();
    EXPECT_EQ(
        Lines(all.begin() + static_cast<long>(identifyLines), all.end()),
        Join({{"Connecting Bios..."},
              kBiosOpened,
              {"Check, that the Coder is ready...", "Coder is ready"},
              kBiosOpened,
              {"Erase Flash..."},
              kBiosOpened,
              {"Start flashing Coder firmware...", "Send 'Finish Flash Programming' command...",
               "Awaiting Reboot...", "Detecting baud rate...", "Trying baud rate 115200...",
               "Coder Bios 2.11 is still running: the new firmware did not start"}}));
    EXPECT_EQ(run.procedure->Pauses(), (std::vector<uint32_t>{200, 200, 6000}));
    EXPECT_EQ(run.CountFrameLines("-> ", ",52,53,EF"), 0u) << "start command sent";
    EXPECT_EQ(run.CountFrameLines("-> ", Erase(0)), 1u);
    EXPECT_EQ(run.CountFrameLines("-> ", Erase(1)), 1u);
    EXPECT_EQ(run.CountFrameLines("-> ", Erase(2)), 0u);
    EXPECT_TRUE(run.procedure->m_biosRunning);
    EXPECT_EQ(run.procedure->m_currentVersion, "2.11");
    const Lines dump = device.StopAndDump();
    ASSERT_EQ(dump.size(), 3u);
    EXPECT_EQ(dump[0], files.ExpectedDump()[0]);
    EXPECT_EQ(dump[1], "region 1 start 0xCDF00 length 0 sha256 " + FirmwareFolder::Hash({}));
    EXPECT_EQ(dump[2], "region 2 start 0xD8000 length 0 sha256 " + FirmwareFolder::Hash({}));
}

// The DSP firmware without samples is the second stage, after all three regions were erased.
// Its last block is acknowledged with code 14, which counts as written and travels as the last
// block result of a successful update.
TEST(FlashSequence, DspFirmwareWithoutSamplesIsStageTwo) {
    FirmwareFolder files(5000, std::nullopt, 2000);
    // Blocks are counted over the whole run: 79 coder blocks, then 32 DSP blocks.
    SimUnderTest device({"--serial", "--state", "bios", "--time-scale", "0", "--nack", "110:14:1"});
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(SerialChoice(device.Pty()), files.Path());
    ASSERT_EQ(run.Identify(), UPD_SERIAL_BIOS);

    const ProcedureHarness::Finished finished = run.Flash();
    EXPECT_EQ(finished.result, UPD_OK);
    EXPECT_EQ(finished.lastBlockResult, ERR_NACK_14);
    EXPECT_EQ(run.FlashMessages(), (Messages{{kStatus, 213, 0},
                                             {kStatus, 212, 0},
                                             {kStage, 1, 0},
                                             {kRange, 0, 79},
                                             {kStep, 79, 0},
                                             {kStage, 2, 0},
                                             {kRange, 0, 32},
                                             {kStep, 32, 0},
                                             {kStatus, 217, 0},
                                             {kStage, 4, 0},
                                             {kFinished, 0, ERR_NACK_14}}));
    EXPECT_EQ(run.ProcedureLinesFrom("Start flashing Coder firmware..."),
              (Lines{"Start flashing Coder firmware...", "Start flashing DSP firmware...",
                     "Send 'Finish Flash Programming' command...", "Awaiting Reboot...",
                     "Detecting baud rate...", "Trying baud rate 115200...",
                     "Trying baud rate 9600...", "Detected baud rate: 9600"}));
    for (int region = 0; region < 3; ++region) {
        EXPECT_EQ(run.CountFrameLines("-> ", Erase(region)), 1u) << "erase of region " << region;
    }
    // No retry: code 14 is a written block.
    EXPECT_EQ(run.CountFrameLines("-> ", kWriteBlock), 79u + 32u);
    EXPECT_EQ(run.procedure->m_currentVersion, "2.16");
    EXPECT_EQ(device.StopAndDump(),
              (Lines{files.ExpectedDump()[0],
                     "region 1 start 0xCDF00 length 0 sha256 " + FirmwareFolder::Hash({}),
                     files.ExpectedDump()[2]}));
}

}  // namespace
