// The flash sequence in four phases: the start command and the connection to the BIOS
// (StartUpdate, ConnectBios); the erase and the blocks (EraseFlashRegions, FlashFile); the
// finish command; and the reconnection to the firmware the coder restarts with (both in
// FinishUpdate). `m_phase` follows them, so that a stop or a failure can say what the coder
// was left with.

#include "update/UpdateProcedure.h"

#include <cstdio>

#include "protocol/ArmNetPC_UECPMessageHandler.h"

namespace {

constexpr uint32_t kStartRebootSerialMs = 2000;
constexpr uint32_t kStartRebootTcpMs = 6500;
constexpr uint32_t kFinishRebootSerialMs = 6000;
constexpr uint32_t kFinishRebootTcpMs = 8000;
constexpr uint32_t kSecondDetectionPauseMs = 2000;
constexpr int32_t kBiosBudgetMs = 5000;
constexpr uint32_t kBiosRetryPauseMs = 100;
constexpr uint32_t kAfterErasePauseMs = 200;
constexpr int kSendAttemptsPerBlock = 3;

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void UpdateProcedure::UpdateThreadProc() {
    UECP_IO_Error lastBlockResult = ERR_OK;
    int32_t code = UPD_OK;

    m_phase = m_biosRunning ? Phase::InBios : Phase::BeforeStart;
    m_nextBlock = BlockAddress(kCoderFirmwareSegment, 0);
    m_nextBlockFile = BaseName(m_coderFile);
    m_eraseRegion = -1;
    m_blocksStarted = false;
    m_restartedIntoBios = false;
    do {
        // A file that cannot be flashed whole is refused before the coder leaves its firmware.
        if (const FlashStage* refused = m_plan.Check()) {
            if (!refused->check.logLine.empty()) {
                m_log.WriteLine(refused->check.logLine);
            }
            m_log.WriteLine(refused->openFailedLine);
            code = refused->openFailedCode;
            break;
        }
        if (Interrupted()) {
            code = UPD_INTERRUPTED;
            break;
        }
        if (!m_biosRunning && (code = StartUpdate()) != UPD_OK) {
            break;
        }
        if ((code = ConnectBios()) != UPD_OK) {
            break;
        }
        m_sink.Post(WM_UPD_STATUS, 212, 0);
        m_sink.Post(WM_UPD_STAGE, 1, 0);
        if (!EraseFlashRegions()) {
            code = Interrupted() ? UPD_INTERRUPTED : UPD_ERASE_FAILED;
            break;
        }
        for (const FlashStage& stage : m_plan.Stages()) {
            if (stage.number > 1) {
                m_sink.Post(WM_UPD_STAGE, stage.number, 0);  // the first came with the erase
            }
            m_log.WriteLine(stage.startLine);
            const int32_t result = FlashFile(stage.path, stage.segmentBase, lastBlockResult);
            if (result == UPD_INTERRUPTED) {
                code = result;
                break;
            }
            if (result == UPD_FLASH_FAILED) {
                m_log.WriteLine(stage.flashFailedLine);
                code = stage.flashFailedCode;
                break;
            }
            if (result == UPD_FILE_OPEN_FAILED) {
                m_log.WriteLine(stage.openFailedLine);
                code = stage.openFailedCode;
                break;
            }
        }
        if (code != UPD_OK) {
            break;
        }
        code = FinishUpdate();
        if (code == UPD_INTERRUPTED) {
            m_handler.Close(0);
        }
        m_sink.Post(WM_UPD_FINISHED, code, lastBlockResult);
        return;
    } while (false);

    m_sink.Post(WM_UPD_STAGE, 4, 0);
    m_handler.Close(0);
    m_sink.Post(WM_UPD_FINISHED, code, lastBlockResult);
}

bool UpdateProcedure::OpenFitting(FirmwareFileReader& file, const std::string& path,
                                  uint16_t segmentBase) {
    if (!file.Open(path)) {
        return false;
    }
    if (!file.IsRegular()) {
        m_log.WriteLine("Not a regular file: " + path);
        return false;
    }
    const std::string refusal = SegmentSpaceError(segmentBase, file.Size());
    if (!refusal.empty()) {
        m_log.WriteLine(refusal);
        return false;
    }
    return true;
}

int32_t UpdateProcedure::StartUpdate() {
    m_log.WriteLine("Connecting Coder...");
    if (!OpenConnection(false, m_baudRate, 0)) {
        return UPD_CONNECT_FAILED;
    }
    if (Interrupted()) {
        m_handler.Close(0);
        return UPD_INTERRUPTED;
    }
    m_log.WriteLine("Sending 'Start Firmware Update' command");
    const UECP_IO_Error result = m_handler.StartFirmwareUpdate(kAddress);
    m_handler.Close(0);
    if (result != ERR_OK) {
        return UPD_START_FAILED;
    }
    m_phase = Phase::InBios;
    m_log.WriteLine("Awaiting Reboot...");
    const uint32_t reboot = IsTcp() ? kStartRebootTcpMs : kStartRebootSerialMs;
    Waiting(WAIT_RESTART, reboot);
    Pause(reboot);
    Waited();
    return Interrupted() ? UPD_INTERRUPTED : UPD_OK;
}

int32_t UpdateProcedure::ConnectBios() {
    m_log.WriteLine("Connecting Bios...");
    m_sink.Post(WM_UPD_STATUS, 213, 0);
    if (!OpenConnection(false, kBiosBaudRate, 3)) {
        return Interrupted() ? UPD_INTERRUPTED : UPD_BIOS_CONNECT_FAILED;
    }
    if (IsTcp()) {
        m_log.WriteLine("Switch NetPC to update mode...");
        ArmNetPC_UECPMessageHandler netpc;
        if (m_handler.HandOver(netpc) == ERR_OK) {
            Waiting(WAIT_BIOS_READY, static_cast<uint32_t>(kBiosBudgetMs));
            for (int32_t spent = 0; spent < kBiosBudgetMs && !m_stopRequested;) {
                if (netpc.SetTransferMode(1, kAddress) == ERR_OK) {
                    break;
                }
                Pause(kBiosRetryPauseMs);
                spent +=
                    netpc.GetParams()->responseTimeout + static_cast<int32_t>(kBiosRetryPauseMs);
            }
            Waited();
            netpc.HandOver(m_handler);
        }
    }
    m_log.WriteLine("Check, that the Coder is ready...");
    std::string version;
    Waiting(WAIT_BIOS_READY, static_cast<uint32_t>(kBiosBudgetMs));
    for (int32_t spent = 0; spent < kBiosBudgetMs && !m_stopRequested;) {
        if (m_handler.QueryBiosVersion(version, -1, kAddress) == ERR_OK) {
            Waited();
            m_log.WriteLine("Coder is ready");
            return Interrupted() ? UPD_INTERRUPTED : UPD_OK;
        }
        Pause(kBiosRetryPauseMs);
        spent += ResponseTimeout() + static_cast<int32_t>(kBiosRetryPauseMs);
    }
    Waited();
    if (Interrupted()) {
        return UPD_INTERRUPTED;
    }
    m_log.WriteLine("No answer from Bios!");
    return UPD_BIOS_NO_ANSWER;
}

bool UpdateProcedure::EraseFlashRegions() {
    m_handler.Close(0);
    if (!OpenConnection(true, kBiosBaudRate, 0)) {
        return false;
    }
    m_log.WriteLine("Erase Flash...");
    for (const int region : m_plan.EraseRegions()) {
        if (m_stopRequested) {
            m_handler.Close(0);
            return false;  // the caller words the stop
        }
        Waiting(WAIT_ERASE, static_cast<uint32_t>(kLongTimeoutMs));
        m_eraseRegion = region;
        const UECP_IO_Error erased = m_handler.EraseFlash(static_cast<uint8_t>(region), kAddress);
        Waited();
        if (erased != ERR_OK) {
            // Writing into flash that was not erased would corrupt the device: stop here.
            m_handler.Close(0);
            return false;
        }
        m_eraseRegion = -1;
        Pause(kAfterErasePauseMs);
    }
    m_handler.Close(0);
    return !m_stopRequested && OpenConnection(false, kBiosBaudRate, 0);
}

int32_t UpdateProcedure::FlashFile(const std::string& path, uint16_t segmentBase,
                                   UECP_IO_Error& lastBlockResult) {
    FirmwareFileReader file;
    if (!OpenFitting(file, path, segmentBase)) {
        return UPD_FILE_OPEN_FAILED;
    }
    m_sink.Post(WM_UPD_PROGRESS_RANGE, 0, static_cast<int64_t>(ProgressRange(file.Size())));

    m_nextBlockFile = BaseName(path);
    uint8_t block[kFirmwareBlockSize];
    for (uint64_t k = 0;; ++k) {
        const SegmentOffset address = BlockAddress(segmentBase, k);
        m_nextBlock = address;
        // Only between blocks: a block cut short would be a frame the coder never acknowledges.
        if (Interrupted()) {
            return UPD_INTERRUPTED;
        }
        m_blocksStarted = true;
        int32_t count = 0;
        const FirmwareFileReader::ReadResult read = file.ReadBlock(block, count);
        if (read == FirmwareFileReader::ReadResult::EndOfFile) {
            break;
        }
        if (read == FirmwareFileReader::ReadResult::Error) {
            // A read error is not the end of the image: flashing what came before as a whole
            // image would leave a truncated firmware behind a success.
            m_log.WriteLine("Read error in " + path);
            return UPD_FILE_OPEN_FAILED;
        }
        m_sink.Post(WM_UPD_PROGRESS_STEP, 0, 0);
        for (int attempt = 1;; ++attempt) {
            lastBlockResult =
                m_handler.WriteBlock(block, count, address.segment, address.offset, kAddress);
            if (lastBlockResult == ERR_OK || lastBlockResult == ERR_NACK_14) {
                break;
            }
            if (attempt == kSendAttemptsPerBlock) {
                return UPD_FLASH_FAILED;
            }
            char line[64];
            std::snprintf(line, sizeof line, "%d. retry sending of data block at %04X:%04X",
                          attempt, address.segment, address.offset);
            m_log.WriteLine(line);
        }
        if (count < kFirmwareBlockSize) {
            break;
        }
    }
    return UPD_OK;
}

int32_t UpdateProcedure::FinishUpdate() {
    m_log.WriteLine("Send 'Finish Flash Programming' command...");
    m_sink.Post(WM_UPD_STATUS, 217, 0);
    m_sink.Post(WM_UPD_STAGE, 4, 0);
    const UECP_IO_Error result = m_handler.FinishFlashProgramming(kAddress);
    m_handler.Close(0);
    // The coder may restart before it acknowledges.
    if (result != ERR_OK && result != ERR_NO_ACK) {
        return UPD_FINISH_FAILED;
    }
    m_phase = Phase::AfterFinish;
    m_log.WriteLine("Awaiting Reboot...");
    const bool tcp = IsTcp();
    const uint32_t reboot = tcp ? kFinishRebootTcpMs : kFinishRebootSerialMs;
    Waiting(WAIT_RESTART, reboot);
    Pause(reboot);
    Waited();
    if (Interrupted()) {
        return UPD_INTERRUPTED;
    }
    if (tcp) {
        // Three openings of at most connectTimeout each, 500 ms apart, then two identifications.
        Waiting(WAIT_RECONNECT, 3 * (5000 + kOpenRetryPauseMs) + 2 * 3 * 3000);
        const bool opened = OpenConnection(false, m_baudRate, 2);
        m_transferMode = 0;
        int32_t outcome = 0;
        const bool identified = opened && (IdentifyDevice(outcome) || IdentifyDevice(outcome));
        Waited();
        if (!identified) {
            return Interrupted() ? UPD_INTERRUPTED : UPD_RECONNECT_FAILED;
        }
        return UPD_OK;
    }
    Waiting(WAIT_RECONNECT, 2 * DetectionBudgetMs() + kSecondDetectionPauseMs);
    bool detected = DetectBaudRate() == ERR_OK;
    if (!detected && !m_stopRequested) {
        Pause(kSecondDetectionPauseMs);
        detected = !m_stopRequested && DetectBaudRate() == ERR_OK;
    }
    Waited();
    if (!detected) {
        return Interrupted() ? UPD_INTERRUPTED : UPD_RECONNECT_FAILED;
    }
    if (m_biosRunning) {
        // Found at 115200: the coder restarted into its BIOS again, so the new firmware does
        // not run. Reporting the BIOS version as the new one would call a failure a success.
        m_log.WriteLine("Coder Bios " + m_currentVersion +
                        " is still running: the new firmware did not start");
        m_restartedIntoBios = true;
        return UPD_RECONNECT_FAILED;
    }
    return UPD_OK;
}

FlashEndState UpdateProcedure::EndState() const {
    FlashEndState state;
    state.phase = m_phase;
    state.eraseRegion = m_eraseRegion;
    state.blockKnown = m_blocksStarted;
    state.segment = m_nextBlock.segment;
    state.offset = m_nextBlock.offset;
    state.file = m_nextBlockFile;
    state.biosAfterRestart = m_restartedIntoBios;
    return state;
}
