// The flash sequence end to end against the simulator, over TCP and over a serial line: the
// messages with their integers in order, the log, the pauses, and the flash compared with the
// files. The procedure's pauses are real; only the simulated device is quick.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>

#include "FirmwareFolder.h"
#include "ProcedureHarness.h"

namespace {

// The erase commands sent for region r.
std::string Erase(int region) {
    return ",52,53,51,0" + std::to_string(region) + ",";
}
const std::string kWriteBlock = ",52,53,50,";

// The progress range and the blocks written of one image's stage.
struct ImageStage {
    int64_t range;
    int64_t blocks;
};

struct AllThreeFilesCase {
    FlashTransport over;
    size_t coderBytes, samplesBytes, dspBytes;
    ImageStage coder, samples, dsp;
    Lines beforeReadyCheck;  // what the BIOS connection does first on this line
};
void PrintTo(const AllThreeFilesCase& c, std::ostream* os) {
    *os << c.over.name;
}

// All three files, from a coder that runs its firmware: the messages, the log, the pauses, the
// commands and the flash. The block-writing stage of the coder image is measured, from its
// progress range to the post that follows its last acknowledged block.
class FlashAllThreeFiles : public testing::TestWithParam<AllThreeFilesCase> {};

TEST_P(FlashAllThreeFiles, FromTheFirmware) {
    const AllThreeFilesCase& c = GetParam();
    const FlashTransport& over = c.over;
    FirmwareFolder files(c.coderBytes, c.samplesBytes, c.dspBytes);
    SimUnderTest device(over.Firmware());
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(device, files.Path());
    ASSERT_EQ(run.Identify(), over.inFirmware);

    const ProcedureHarness::Finished finished = run.Flash();
    EXPECT_EQ(finished.result, UPD_OK);
    EXPECT_EQ(finished.lastBlockResult, ERR_OK);
    EXPECT_EQ(run.FlashMessages(), (Messages{{kStatus, 213, 0},
                                             {kStatus, 212, 0},
                                             {kStage, 1, 0},
                                             {kRange, 0, c.coder.range},
                                             {kStep, c.coder.blocks, 0},
                                             {kStage, 2, 0},
                                             {kRange, 0, c.samples.range},
                                             {kStep, c.samples.blocks, 0},
                                             {kStage, 3, 0},
                                             {kRange, 0, c.dsp.range},
                                             {kStep, c.dsp.blocks, 0},
                                             {kStatus, 217, 0},
                                             {kStage, 4, 0},
                                             {kFinished, 0, 0}}));
    EXPECT_EQ(run.ProcedureLinesFrom("Connecting Coder..."),
              Concat({{"Connecting Coder..."},
                      over.firmwareOpened,
                      {"Sending 'Start Firmware Update' command", "Awaiting Reboot...",
                       "Connecting Bios..."},
                      over.biosOpened,
                      c.beforeReadyCheck,
                      {"Check, that the Coder is ready...", "Coder is ready"},
                      over.biosOpened,
                      {"Erase Flash..."},
                      over.biosOpened,
                      {"Start flashing Coder firmware...", "Start flashing DSP samples...",
                       "Start flashing DSP firmware...",
                       "Send 'Finish Flash Programming' command...", "Awaiting Reboot..."},
                      over.afterReboot}));
    EXPECT_EQ(run.procedure->Pauses(),
              (std::vector<uint32_t>{over.startReboot, 200, 200, 200, over.finishReboot}));
    for (int region = 0; region < 3; ++region) {
        EXPECT_EQ(run.CountFrameLines("-> ", Erase(region)), 1u) << "erase of region " << region;
    }
    // Every block reached the log once.
    EXPECT_EQ(run.CountFrameLines("-> ", kWriteBlock),
              static_cast<size_t>(c.coder.blocks + c.samples.blocks + c.dsp.blocks));
    EXPECT_EQ(run.procedure->m_currentVersion, "2.16");
    EXPECT_FALSE(run.procedure->m_biosRunning);
    EXPECT_EQ(device.StopAndDump(), files.ExpectedDump());

    const std::vector<Posted> posts = run.FlashPosts();
    auto range = std::find_if(posts.begin(), posts.end(),
                              [](const Posted& p) { return p.message == WM_UPD_PROGRESS_RANGE; });
    ASSERT_NE(range, posts.end());
    auto after = std::find_if(range + 1, posts.end(),
                              [](const Posted& p) { return p.message == WM_UPD_STAGE; });
    ASSERT_NE(after, posts.end());
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(after->at - range->at).count();
    std::cout << "block-writing stage, " << c.coderBytes << "-byte coder image over " << over.name
              << ": " << ms << " ms for " << c.coder.blocks << " blocks" << std::endl;
    RecordProperty("BlockWritingMs", static_cast<int>(ms));
}

// Over TCP 300 KiB of coder firmware, for the measurement.
INSTANTIATE_TEST_SUITE_P(
    Transports, FlashAllThreeFiles,
    testing::Values(AllThreeFilesCase{kFlashOverTcp,
                                      300 * 1024,
                                      41216,
                                      10000,
                                      {4801, 4800},
                                      {645, 644},
                                      {157, 157},
                                      {"Switch NetPC to update mode..."}},
                    AllThreeFilesCase{
                        kFlashOverSerial, 6000, 3000, 2000, {94, 94}, {47, 47}, {32, 32}, {}}),
    [](const auto& info) { return std::string(info.param.over.name); });

// A coder whose firmware runs at another rate than 9600, behind a line that judges each frame
// 50 ms after its bytes arrived (as a slow device or an adapter's FIFO does): the start
// command must still be at the coder's rate when it is judged, after the port was closed.
class FlashAtLineRate : public testing::TestWithParam<int> {};

TEST_P(FlashAtLineRate, SerialUpdateRestartsTheCoderAtItsOwnRate) {
    FirmwareFolder files(3000, std::nullopt, std::nullopt);
    SimUnderTest device(
        kFlashOverSerial.Firmware({"--baud", std::to_string(GetParam()), "--judge-ms", "50"}));
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(device, files.Path());
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
    SimUnderTest device(kFlashOverSerial.Bios({"--bios-version", "2.11", "--stay-in-bios"}));
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(device, files.Path());
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
        Concat({{"Connecting Bios..."},
                kFlashOverSerial.biosOpened,
                {"Check, that the Coder is ready...", "Coder is ready"},
                kFlashOverSerial.biosOpened,
                {"Erase Flash..."},
                kFlashOverSerial.biosOpened,
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
    SimUnderTest device(kFlashOverSerial.Bios({"--nack", "110:14:1"}));
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(device, files.Path());
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
              Concat({{"Start flashing Coder firmware...", "Start flashing DSP firmware...",
                       "Send 'Finish Flash Programming' command...", "Awaiting Reboot..."},
                      kFlashOverSerial.afterReboot}));
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
