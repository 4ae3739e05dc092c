// Faults during the flash sequence, each reached through a simulator that misbehaves on cue:
// block retries, a block that keeps failing, an unacknowledged finish, a coder that cannot be
// reached after the reboot, and an erase step that cannot open or whose command is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "FirmwareFolder.h"
#include "ProcedureHarness.h"
#include "update/ProcedureVerdicts.h"

namespace {

const std::string kWriteBlock = ",52,53,50,";

bool HasRange(const Messages& messages) {
    return std::any_of(messages.begin(), messages.end(),
                       [](const std::vector<int64_t>& m) { return m[0] == kRange; });
}

// The faults that do not depend on the line, over TCP and over a serial line.
class FlashFaultsOver : public testing::TestWithParam<FlashTransport> {};

// A block answered with code 17 twice is sent a third time and written; the coder restarts
// after the finish without acknowledging it, which is a success all the same.
TEST_P(FlashFaultsOver, TwoBlockFailuresThenSuccessAndAnUnacknowledgedFinish) {
    const FlashTransport& over = GetParam();
    FirmwareFolder files(2000, std::nullopt, std::nullopt);
    SimUnderTest device(over.Bios({"--nack", "3:17:2", "--no-finish-ack"}));
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(device, files.Path());
    ASSERT_EQ(run.Identify(), over.inBios);

    const ProcedureHarness::Finished finished = run.Flash();
    EXPECT_EQ(finished.result, UPD_OK);
    EXPECT_EQ(finished.lastBlockResult, ERR_OK);
    EXPECT_EQ(
        run.ProcedureLinesFrom("Start flashing Coder firmware..."),
        Concat({{"Start flashing Coder firmware...", "1. retry sending of data block at 8000:00C0",
                 "2. retry sending of data block at 8000:00C0",
                 "Send 'Finish Flash Programming' command...", "Awaiting Reboot..."},
                over.afterReboot}));
    // One progress step per block, not per attempt.
    EXPECT_EQ(run.FlashMessages()[4], (std::vector<int64_t>{kStep, 32, 0}));
    EXPECT_EQ(run.CountFrameLines("-> ", ",52,53,50,80,00,00,C0,"), 3u);
    // The finish went out and nothing acknowledged it; the reboot pause followed.
    EXPECT_EQ(run.CountFrameLines("-> ", ",52,53,53,"), 1u);
    EXPECT_EQ(run.procedure->Pauses(), (std::vector<uint32_t>{200, 200, over.finishReboot}));
    EXPECT_EQ(run.procedure->m_currentVersion, "2.16");
    EXPECT_EQ(device.StopAndDump()[0], files.ExpectedDump()[0]);
}

TEST_P(FlashFaultsOver, ThreeFailuresWithCode17FailTheCoderFirmware) {
    const FlashTransport& over = GetParam();
    FirmwareFolder files(2000, std::nullopt, 2000);
    SimUnderTest device(over.Bios({"--nack", "2:17"}));
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(device, files.Path());
    ASSERT_EQ(run.Identify(), over.inBios);

    const ProcedureHarness::Finished finished = run.Flash();
    EXPECT_EQ(finished.result, UPD_CODER_FLASH_FAILED);
    EXPECT_EQ(finished.lastBlockResult, ERR_NACK_17);
    EXPECT_EQ(run.FlashMessages(), (Messages{{kStatus, 213, 0},
                                             {kStatus, 212, 0},
                                             {kStage, 1, 0},
                                             {kRange, 0, 32},
                                             {kStep, 3, 0},
                                             {kStage, 4, 0},
                                             {kFinished, 14, 38}}));
    EXPECT_EQ(
        run.ProcedureLinesFrom("Start flashing Coder firmware..."),
        (Lines{"Start flashing Coder firmware...", "1. retry sending of data block at 8000:0080",
               "2. retry sending of data block at 8000:0080", "Failed to flash Coder firmware!"}));
    const std::string text = UpdateResultText(14, 38, Language::English);
    EXPECT_EQ(text.rfind("Verify failed."), text.size() - std::string("Verify failed.").size())
        << text;
    EXPECT_EQ(text.rfind(LoadText(410, Language::English), 0), 0u) << text;
}

TEST(FlashFaults, TcpCoderUnreachableAfterTheRebootIs18) {
    FirmwareFolder files(2000, std::nullopt, std::nullopt);
    SimUnderTest device(kFlashOverTcp.Bios({"--no-reconnect"}));
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(device, files.Path());
    ASSERT_EQ(run.Identify(), UPD_TCP_BIOS);

    const ProcedureHarness::Finished finished = run.Flash();
    EXPECT_EQ(finished.result, UPD_RECONNECT_FAILED);
    EXPECT_EQ(
        run.ProcedureLinesFrom("Send 'Finish Flash Programming' command..."),
        (Lines{"Send 'Finish Flash Programming' command...", "Awaiting Reboot...",
               "Use TCP/IP connection", "Retry 1", "Retry 2",
               "Failed to open connection: IO connect error",
               "Reason: 127.0.0.1:" + std::to_string(device.Port()) + " refused the connection."}));
    // Three attempts after the reboot pause.
    EXPECT_EQ(run.procedure->Pauses(), (std::vector<uint32_t>{200, 200, 8000, 500, 500, 500}));
    const Messages messages = run.FlashMessages();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages[messages.size() - 3], (std::vector<int64_t>{kStatus, 217, 0}));
    EXPECT_EQ(messages[messages.size() - 2], (std::vector<int64_t>{kStage, 4, 0}));
    EXPECT_EQ(messages.back(), (std::vector<int64_t>{kFinished, 18, 0}));
}

// The third connection of this run is the erase step's: identification, BIOS, erase.
TEST(FlashFaults, EraseOpeningFailsWith8AndNoProgressRange) {
    FirmwareFolder files(2000, std::nullopt, std::nullopt);
    SimUnderTest device(kFlashOverTcp.Bios({"--refuse-from", "3"}));
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(device, files.Path());
    ASSERT_EQ(run.Identify(), UPD_TCP_BIOS);

    const ProcedureHarness::Finished finished = run.Flash();
    EXPECT_EQ(finished.result, UPD_ERASE_FAILED);
    EXPECT_EQ(run.FlashMessages(), (Messages{{kStatus, 213, 0},
                                             {kStatus, 212, 0},
                                             {kStage, 1, 0},
                                             {kStage, 4, 0},
                                             {kFinished, 8, 0}}));
    EXPECT_EQ(
        run.ProcedureLinesFrom("Coder is ready"),
        (Lines{"Coder is ready", "Use TCP/IP connection",
               "Failed to open connection: IO connect error",
               "Reason: 127.0.0.1:" + std::to_string(device.Port()) + " refused the connection."}));
    EXPECT_EQ(run.CountFrameLines("-> ", ",52,53,51,"), 0u);
}

// A refused erase command ends the update: flashing into flash that was not erased would
// leave a corrupt image behind.
TEST_P(FlashFaultsOver, RefusedEraseCommandEndsTheUpdateWith8) {
    const FlashTransport& over = GetParam();
    FirmwareFolder files(2000, std::nullopt, 2000);
    SimUnderTest device(over.Bios({"--erase-nack", "1:6"}));
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(device, files.Path());
    ASSERT_EQ(run.Identify(), over.inBios);

    const ProcedureHarness::Finished finished = run.Flash();
    EXPECT_EQ(finished.result, UPD_ERASE_FAILED);
    const Messages messages = run.FlashMessages();
    EXPECT_FALSE(HasRange(messages));
    EXPECT_EQ(messages.back(), (std::vector<int64_t>{kFinished, 8, 0}));
    const Lines lines = run.ProcedureLines();
    EXPECT_EQ(lines.back(), "Erase Flash...");
    // Region 0 was erased and paused after; region 1 was refused; region 2 was not asked.
    EXPECT_EQ(run.CountFrameLines("-> ", ",52,53,51,00,"), 1u);
    EXPECT_EQ(run.CountFrameLines("-> ", ",52,53,51,01,"), 1u);
    EXPECT_EQ(run.CountFrameLines("-> ", ",52,53,51,02,"), 0u);
    EXPECT_EQ(run.CountFrameLines("-> ", ",52,53,50,"), 0u);
    EXPECT_EQ(run.procedure->Pauses(), std::vector<uint32_t>{200});
    EXPECT_EQ(device.StopAndDump()[0],
              "region 0 start 0x80000 length 0 sha256 " + FirmwareFolder::Hash({}));
}

// A stop request, in each phase of the flash sequence, completes the exchange in progress and
// names what it meant for the coder; a later run completes the update. Over TCP only: the
// pseudo-terminal holds the start command until the simulator reads it, and the simulator
// judges its rate then, after the next identification may have set 115200.
TEST(FlashFaults, StopRequestsEndAtABoundaryAndALaterRunCompletes) {
    FirmwareFolder files(5000, std::nullopt, std::nullopt);
    SimUnderTest device(kFlashOverTcp.Firmware());
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(device, files.Path());
    UpdateProcedure& p = *run.procedure;
    const auto stopOn = [&](uint32_t message, int64_t wParam, int nth) {
        auto seen = std::make_shared<int>(0);
        run.sink.onPost = [&p, message, wParam, nth, seen](uint32_t m, int64_t w) {
            if (m == message && (wParam < 0 || w == wParam) && ++*seen == nth) {
                p.RequestStop();
            }
        };
    };
    const std::string coder = "Coder_V02_16.img";
    // Frame lines are drained on this thread, so the answer to the last exchange may land
    // after the worker's own last line: the stop's line is the last of the procedure's lines.
    const auto lastProcedureLine = [&] { return run.ProcedureLines().back(); };

    // In the pause after the start command: the coder now runs its BIOS.
    ASSERT_EQ(run.Identify(), UPD_TCP_FIRMWARE);
    stopOn(WM_UPD_WAIT, WAIT_RESTART, 1);
    EXPECT_EQ(run.Flash().result, UPD_INTERRUPTED);
    const std::string inBios = "Interrupted by the user at block 8000:0000 of " + coder +
                               "; the Coder is running its BIOS: run the update again to "
                               "complete it.";
    EXPECT_EQ(lastProcedureLine(), inBios);
    EXPECT_EQ(p.InterruptionText(Language::English), inBios);
    EXPECT_EQ(run.CountFrameLines("-> ", kWriteBlock), 0u);

    // While flashing: the tenth block is written whole, the eleventh never starts.
    ASSERT_EQ(run.Identify(), UPD_TCP_BIOS);
    stopOn(WM_UPD_PROGRESS_STEP, -1, 10);
    EXPECT_EQ(run.Flash().result, UPD_INTERRUPTED);
    EXPECT_EQ(run.CountFrameLines("-> ", kWriteBlock), 10u);
    EXPECT_EQ(lastProcedureLine(),
              "Interrupted by the user at block 8000:0280 of " + coder +
                  "; the Coder is running its BIOS: run the update again to complete it.");
    EXPECT_NE(p.InterruptionText(Language::German).find("8000:0280"), std::string::npos);

    // After the finish command the firmware is written: the stop only ends the wait.
    ASSERT_EQ(run.Identify(), UPD_TCP_BIOS);
    stopOn(WM_UPD_WAIT, WAIT_RESTART, 1);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run.Flash().result, UPD_INTERRUPTED);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6))
        << "the reboot pause did not end at the stop";
    EXPECT_EQ(lastProcedureLine(),
              "Interrupted by the user after the finish command; the new firmware is written "
              "and the Coder restarts with it.");

    run.sink.onPost = nullptr;
    EXPECT_EQ(run.Identify(), UPD_TCP_FIRMWARE);
    EXPECT_EQ(p.m_currentVersion, "2.16");
    EXPECT_EQ(device.StopAndDump(), files.ExpectedDump());
}

// A coder image one byte larger than the segment space: refused before the coder is told to
// leave its firmware, so it keeps running what it had.
TEST_P(FlashFaultsOver, ImageTooLargeForTheSegmentSpaceIsRefusedBeforeAnythingIsSent) {
    const FlashTransport& over = GetParam();
    FirmwareFolder files(0x80001, std::nullopt, std::nullopt);
    SimUnderTest device(over.Firmware());
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(device, files.Path());
    ASSERT_EQ(run.Identify(), over.inFirmware);
    const size_t framesBefore = run.CountFrameLines("-> ", "");

    const ProcedureHarness::Finished finished = run.Flash();
    EXPECT_EQ(finished.result, UPD_CODER_FILE_OPEN_FAILED);
    EXPECT_EQ(run.CountFrameLines("-> ", ""), framesBefore);
    const Lines lines = run.ProcedureLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2].rfind("File too large: 524289 bytes", 0), 0u)
        << lines[lines.size() - 2];
    EXPECT_EQ(lines.back(), "Failed to open Coder firmware file!");
    EXPECT_FALSE(HasRange(run.FlashMessages()));
}

// Images that cannot be right are refused before anything is sent to the coder: a folder in
// the image's place, an empty image, one that would reach into the next image's space. The
// coder is in its BIOS here, so even the erase would cost it its firmware.
TEST_P(FlashFaultsOver, ImagesThatCannotBeRightAreRefusedBeforeTheCoderIsTouched) {
    const FlashTransport& over = GetParam();
    FirmwareFolder files(2000, 1000, 1000);
    SimUnderTest device(over.Bios());
    ASSERT_TRUE(device.Ready());
    ProcedureHarness run(device, files.Path());
    ASSERT_EQ(run.Identify(), over.inBios);
    const std::string coder = run.procedure->m_coderFile;
    const std::string samples = run.procedure->m_samplesFile;
    TempDirectory others;
    const std::string empty = others.WriteFile("empty.img");
    const std::string tooLarge = others.WriteFile("large.smp", 0xA101);  // 1 byte too many

    struct Case {
        std::string coder, samples;
        int32_t result;
        std::string reason;
    };
    for (const Case& c :
         {Case{files.Path(), samples, UPD_CODER_FILE_OPEN_FAILED,
               "Not a regular file: " + files.Path()},
          Case{empty, samples, UPD_CODER_FILE_OPEN_FAILED,
               "Empty file: a firmware image of 0 bytes cannot be flashed"},
          Case{coder, tooLarge, UPD_SAMPLES_FILE_OPEN_FAILED,
               "File too large: 41217 bytes from segment CDF0 would pass address D7FFF, where the "
               "next image begins (room for 41216 bytes)"}}) {
        SCOPED_TRACE(c.reason);
        run.procedure->m_coderFile = c.coder;
        run.procedure->m_samplesFile = c.samples;
        const size_t before = run.LogLines().size();
        EXPECT_EQ(run.Flash().result, c.result);
        const Lines all = run.LogLines();
        const Lines lines(all.begin() + static_cast<long>(before), all.end());
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.reason), lines.end());
        for (const std::string& line : lines) {
            EXPECT_NE(line.rfind("-> ", 0), 0u) << "sent to the coder: " << line;
        }
    }
    EXPECT_EQ(run.FlashMessages().back(),
              (std::vector<int64_t>{kFinished, UPD_SAMPLES_FILE_OPEN_FAILED, 0}));
}

INSTANTIATE_TEST_SUITE_P(Transports, FlashFaultsOver,
                         testing::Values(kFlashOverTcp, kFlashOverSerial),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
