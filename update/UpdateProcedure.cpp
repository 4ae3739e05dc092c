#include "update/UpdateProcedure.h"

#include <chrono>
#include <cstdio>

#include "protocol/ArmNetPC_UECPMessageHandler.h"
#include "update/LogLocation.h"
#include "update/LogRotation.h"
#include "update/OpenFailureTexts.h"
#include "update/StringManager.h"

namespace {

constexpr uint16_t kAddress = 0;
constexpr uint32_t kOpenRetryPauseMs = 500;
constexpr int kBiosBaudRate = 115200;

// The baud rates a serial coder is probed at, in order; 115200 finds its BIOS.
constexpr int kProbeRates[] = {115200, 9600, 2400, 38400, 19200, 4800, 1200};

constexpr uint32_t kStartRebootSerialMs = 2000;
constexpr uint32_t kStartRebootTcpMs = 6500;
constexpr uint32_t kFinishRebootSerialMs = 6000;
constexpr uint32_t kFinishRebootTcpMs = 8000;
constexpr uint32_t kNetPCReconnectPauseMs = 2000;
constexpr uint32_t kSecondDetectionPauseMs = 2000;
constexpr int32_t kBiosBudgetMs = 5000;
constexpr uint32_t kBiosRetryPauseMs = 100;
constexpr uint32_t kAfterErasePauseMs = 200;
constexpr int32_t kLongTimeoutMs = 9000;
constexpr int kSendAttemptsPerBlock = 3;

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithoutLeadingV(const std::string& version) {
    return !version.empty() && version[0] == 'V' ? version.substr(1) : version;
}

}  // namespace

UpdateProcedure::UpdateProcedure(ProcedureSink& sink)
    : m_sink(sink), m_firmwareDirectory(GetProgramDirectory()) {
    StartLogging();
}

UpdateProcedure::~UpdateProcedure() {
    WaitForWorker();
    StopLogging();
    m_log.Close();
}

void UpdateProcedure::SetConnectionChoice(const ConnectionChoice& choice) {
    std::lock_guard<std::mutex> hold(m_choiceMutex);
    m_choice = choice;
}

ConnectionChoice UpdateProcedure::GetConnectionChoice() const {
    std::lock_guard<std::mutex> hold(m_choiceMutex);
    return m_choice;
}

bool UpdateProcedure::DiscoverFirmwareFiles(DiscoveryQuestions& questions) {
    FirmwareFileSet files;
    const bool goOn = ::DiscoverFirmwareFiles(m_firmwareDirectory, files, questions);
    m_coderFile = files.coderFile;
    m_dspFile = files.dspFile;
    m_samplesFile = files.samplesFile;
    m_versionToFlash = files.versionToFlash;
    return goOn;
}

std::string UpdateProcedure::LogPath() const {
    if (m_logOpened) {
        return m_logPathInUse;
    }
    return !m_logPath.empty() ? m_logPath : m_firmwareDirectory + kLogFileName;
}

bool UpdateProcedure::OpenLogFile() {
    m_logOpened = true;
    m_logBegun = true;
    m_logPathInUse.clear();
    m_logRotation = LogRotation{};
    if (!m_logPath.empty()) {
        // A log the user named is that file or none: a copy elsewhere would not be found.
        OpenRotated(m_logPath);
    } else if (!OpenRotated(m_firmwareDirectory + kLogFileName)) {
        const std::string state = StateLogPath();
        if (!state.empty()) {
            OpenRotated(state);
        }
    }
    if (m_logPathInUse.empty()) {
        m_log.Close();
        return false;
    }
    return true;
}

bool UpdateProcedure::OpenRotated(const std::string& path) {
    const LogRotation rotation = RotateLogs(path);
    if (!m_log.Open(path)) {
        return false;
    }
    m_logPathInUse = path;
    m_logRotation = rotation;
    if (rotation.Failed()) {
        m_log.WriteLine("The previous log could not be kept (" + rotation.stuck + ": " +
                        rotation.reason + "); this log replaces it");
    }
    return true;
}

void UpdateProcedure::WriteFrame(const uint8_t* data, int32_t length, int direction) {
    m_log.WriteFrame(data, length, direction);
}

void UpdateProcedure::Pause(uint32_t milliseconds) {
    std::unique_lock<std::mutex> hold(m_stopMutex);
    m_stopWake.wait_for(hold, std::chrono::milliseconds(milliseconds),
                        [this] { return m_stopRequested.load(); });
}

void UpdateProcedure::RequestStop() {
    {
        std::lock_guard<std::mutex> hold(m_stopMutex);
        m_stopRequested = true;
    }
    m_stopWake.notify_all();
}

bool UpdateProcedure::Interrupted() {
    if (!m_stopRequested) {
        return false;
    }
    m_interruption.happened = true;
    m_interruption.phase = m_phase;
    m_interruption.block = m_nextBlock;
    m_interruption.file = m_nextBlockFile;
    char line[512];
    switch (m_phase) {
        case Phase::BeforeStart:
            m_log.WriteLine(
                "Interrupted by the user before the update started; nothing was "
                "changed on the Coder.");
            break;
        case Phase::InBios:
            std::snprintf(line, sizeof line,
                          "Interrupted by the user at block %04X:%04X of %s; the Coder is running "
                          "its BIOS: run the update again to complete it.",
                          m_nextBlock.segment, m_nextBlock.offset, m_nextBlockFile.c_str());
            m_log.WriteLine(line);
            break;
        case Phase::AfterFinish:
            m_log.WriteLine(
                "Interrupted by the user after the finish command; the new firmware "
                "is written and the Coder restarts with it.");
            break;
    }
    return true;
}

std::string UpdateProcedure::InterruptionText(Language language) const {
    if (!m_interruption.happened) {
        return "";
    }
    const bool german = language == Language::German;
    switch (m_interruption.phase) {
        case Phase::BeforeStart:
            return german ? "Vom Benutzer abgebrochen, bevor das Update begann; am Coder wurde "
                            "nichts geändert."
                          : "Interrupted by the user before the update started; nothing was "
                            "changed on the Coder.";
        case Phase::InBios: {
            const std::string block =
                FormatString("%04X:%04X", {static_cast<int64_t>(m_interruption.block.segment),
                                           static_cast<int64_t>(m_interruption.block.offset)});
            return german ? "Vom Benutzer abgebrochen bei Block " + block + " von " +
                                m_interruption.file +
                                "; der Coder läuft in seinem BIOS: das Update erneut starten, "
                                "um es abzuschließen."
                          : "Interrupted by the user at block " + block + " of " +
                                m_interruption.file +
                                "; the Coder is running its BIOS: run the update again to "
                                "complete it.";
        }
        case Phase::AfterFinish:
            return german ? "Vom Benutzer abgebrochen nach dem Abschlussbefehl; die neue Firmware "
                            "ist geschrieben und der Coder startet mit ihr neu."
                          : "Interrupted by the user after the finish command; the new firmware "
                            "is written and the Coder restarts with it.";
    }
    return "";
}

void UpdateProcedure::Waiting(int64_t kind, uint32_t milliseconds) {
    m_sink.Post(WM_UPD_WAIT, kind, milliseconds);
}

void UpdateProcedure::Waited() {
    m_sink.Post(WM_UPD_WAIT, WAIT_NONE, 0);
}

AnswerEvidence UpdateProcedure::Evidence() const {
    AnswerEvidence evidence = m_evidence;
    const T1x_UECPMessageHandler::WrongVersionAnswer& wrong = m_handler.LastWrongVersionAnswer();
    evidence.biosAnswer = wrong.bios;
    evidence.received = wrong.received;
    evidence.expected = wrong.expected;
    return evidence;
}

void UpdateProcedure::NoteSilence(const UECPMessageHandler& connection) {
    if (connection.BytesReceived() == 0) {
        const ConnectionChoice choice = GetConnectionChoice();
        m_evidence.silent = true;
        m_evidence.target = choice.tcpAddress + ":" + std::to_string(choice.tcpPort);
    }
}

FlashEndState UpdateProcedure::EndState() const {
    FlashEndState state;
    switch (m_phase) {
        case Phase::BeforeStart:
            state.phase = FlashEndState::Phase::BeforeStart;
            break;
        case Phase::InBios:
            state.phase = FlashEndState::Phase::InBios;
            break;
        case Phase::AfterFinish:
            state.phase = FlashEndState::Phase::AfterFinish;
            break;
    }
    state.eraseRegion = m_eraseRegion;
    state.blockKnown = m_blocksStarted;
    state.segment = m_nextBlock.segment;
    state.offset = m_nextBlock.offset;
    state.file = m_nextBlockFile;
    state.biosAfterRestart = m_restartedIntoBios;
    return state;
}

IdentificationState UpdateProcedure::StateForChecks() const {
    const ConnectionChoice choice = GetConnectionChoice();
    IdentificationState state;
    state.serialPort = choice.serialPort;
    state.baudRate = m_baudRate;
    state.tcpAddress = choice.tcpAddress;
    state.tcpPort = choice.tcpPort;
    state.biosVersion = m_biosVersion;
    state.mainPort = m_mainPort;
    state.transferModeUnknown = m_transferModeUnknown;
    return state;
}

void UpdateProcedure::KeepOpenFailure() {
    m_openFailure = m_handler.LastOpenFailure();
    if (m_openFailure.failed()) {
        m_log.WriteLine("Reason: " + OpenFailureReason(m_openFailure, Language::English));
    }
}

void UpdateProcedure::StartWorker(void (UpdateProcedure::*body)()) {
    WaitForWorker();
    m_worker = std::thread(body, this);
}

void UpdateProcedure::StartIdentification() {
    WaitForWorker();  // the log is reopened only while no worker writes into it
    m_stopRequested = false;
    m_openFailure = OpenFailure{};
    m_evidence = AnswerEvidence{};
    m_handler.ForgetWrongVersionAnswer();
    // A front end that opened the log just before, to say where it is, began this log already:
    // opening it again would rotate that fresh log away.
    if (!m_logBegun) {
        OpenLogFile();
    }
    m_logBegun = false;
    StartWorker(&UpdateProcedure::IdentifyThreadProc);
}

void UpdateProcedure::StartFlashing() {
    WaitForWorker();
    m_stopRequested = false;
    m_openFailure = OpenFailure{};
    m_interruption = Interruption{};
    StartWorker(&UpdateProcedure::UpdateThreadProc);
}

bool UpdateProcedure::IsWorkerRunning() const {
    return m_worker.joinable();
}

void UpdateProcedure::WaitForWorker() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

int32_t UpdateProcedure::ResponseTimeout() const {
    const UECP_IO_ConnectionParams* params = m_handler.GetParams();
    return params != nullptr ? params->responseTimeout : 0;
}

// ---------------------------------------------------------------- connection set-up

bool UpdateProcedure::OpenConnection(bool longTimeouts, int baudRate, int retries) {
    const ConnectionChoice choice = GetConnectionChoice();
    if (choice.connectionType == kConnectionTypeTcp) {
        TCP_ConnectionParams params(choice.tcpAddress, choice.tcpPort);
        params.address = 0;
        params.connectTimeout = 5000;
        params.responseTimeout = longTimeouts ? kLongTimeoutMs : 3000;
        params.sendTimeout = longTimeouts ? kLongTimeoutMs : 3000;
        m_log.WriteLine("Use TCP/IP connection");
        m_handler.SetTcpParams(params);
    } else {
        SIO_ConnectionParams params(choice.serialPort, baudRate);
        params.devicePath = choice.serialDevice;
        params.connectTimeout = 500;
        params.responseTimeout = longTimeouts ? kLongTimeoutMs : 500;
        params.sendTimeout = longTimeouts ? kLongTimeoutMs : 500;
        m_log.WriteLine("Use Serial connection with " + std::to_string(baudRate) + " baud");
        m_handler.SetSerialParams(params);
    }

    UECP_IO_Error result = m_handler.Open();
    for (int attempt = 1; result != ERR_OK; ++attempt) {
        Pause(kOpenRetryPauseMs);
        if (attempt > retries) {
            break;
        }
        m_log.WriteLine("Retry " + std::to_string(attempt));
        result = m_handler.Open();
    }
    if (result == ERR_OK) {
        m_log.WriteLine("Connection opened successfully!");
        return true;
    }
    m_log.WriteLine("Failed to open connection: " + ErrorText(result));
    KeepOpenFailure();
    return false;
}

UECP_IO_Error UpdateProcedure::ProbeBaudRate(int baudRate) {
    const ConnectionChoice choice = GetConnectionChoice();
    SIO_ConnectionParams params(choice.serialPort, baudRate);
    params.devicePath = choice.serialDevice;
    params.connectTimeout = 500;
    params.responseTimeout = (9600 / baudRate + 1) * 100;
    params.sendTimeout = 2000;
    m_handler.SetSerialParams(params);

    UECP_IO_Error result = m_handler.Open();
    if (result != ERR_OK) {
        m_openFailure = m_handler.LastOpenFailure();
        return result;
    }
    m_openFailure = OpenFailure{};
    m_log.WriteLine("Trying baud rate " + std::to_string(baudRate) + "...");
    std::string version;
    if (baudRate == kBiosBaudRate) {
        result = m_handler.QueryBiosVersion(version, -1, kAddress);
        if (result == ERR_OK) {
            m_currentVersion = version;
        }
    } else {
        result = m_handler.QueryFirmwareVersion(version, kAddress);
        if (result == ERR_OK) {
            m_currentVersion = WithoutLeadingV(version);
        }
    }
    m_handler.Close(0);
    return result;
}

UECP_IO_Error UpdateProcedure::DetectBaudRate() {
    m_biosRunning = false;
    m_log.WriteLine("Detecting baud rate...");
    UECP_IO_Error result = ERR_OK;
    for (const int rate : kProbeRates) {
        if (m_stopRequested) {
            // Each probe is harmless, but the rest of them is not wanted any more.
            result = ERR_CANCELLED_BY_USER;
            break;
        }
        m_baudRate = rate;
        result = ProbeBaudRate(rate);
        if (result != ERR_OK) {
            continue;
        }
        if (rate == kBiosBaudRate) {
            m_biosRunning = true;
        } else {
            m_log.WriteLine("Detected baud rate: " + std::to_string(rate));
        }
        return ERR_OK;
    }
    m_baudRate = 9600;
    if (m_openFailure.failed()) {
        m_log.WriteLine("Reason: " + OpenFailureReason(m_openFailure, Language::English));
    }
    return result;
}

uint32_t UpdateProcedure::DetectionBudgetMs() const {
    uint32_t budget = 0;
    for (const int rate : kProbeRates) {
        budget += static_cast<uint32_t>((9600 / rate + 1) * 100);
    }
    return budget;
}

// ---------------------------------------------------------------- identification

void UpdateProcedure::IdentifyThreadProc() {
    int32_t outcome = UPD_NO_BAUD_RATE;
    if (!IsTcp()) {
        m_sink.SetIdentifyStatus(200);
        Waiting(WAIT_BAUD_RATE, DetectionBudgetMs());
        const UECP_IO_Error detected = DetectBaudRate();
        Waited();
        if (detected != ERR_OK) {
            outcome = UPD_NO_BAUD_RATE;
        } else if (!m_biosRunning) {
            m_log.WriteLine("Current firmware version:  " + m_currentVersion);
            m_log.WriteLine("Firmware version to flash: " + m_versionToFlash);
            m_log.WriteLine("");
            outcome = UPD_SERIAL_FIRMWARE;
        } else {
            m_log.WriteLine("Detected baud rate is 115200");
            m_log.WriteLine("-> Bios is running");
            m_log.WriteLine("");
            outcome = UPD_SERIAL_BIOS;
        }
    } else {
        outcome = IdentifyOverTcp();
    }
    const std::string reason = IdentificationReason(outcome, Evidence(), Language::English);
    if (!reason.empty()) {
        m_log.WriteLine("Reason: " + reason);
    }
    m_sink.Post(WM_UPD_IDENTIFIED, outcome, 0);
}

bool UpdateProcedure::IdentifyDevice(int32_t& outcome) {
    m_biosRunning = false;
    m_biosVersion = "???";
    m_mainPort = 0;
    std::string text;
    if (m_transferMode == 0) {
        m_log.WriteLine("Trying to get firmware version...");
        if (m_handler.QueryFirmwareVersion(text, kAddress) != ERR_OK) {
            return false;
        }
        std::string biosVersion;
        if (m_handler.QueryString(0x87, biosVersion, 4, kAddress) == ERR_OK) {
            m_biosVersion = biosVersion;
        }
        uint16_t mainPort = 0;
        if (m_handler.QueryWord(0xCE, mainPort, kAddress) == ERR_OK) {
            m_mainPort = mainPort;
        }
        m_currentVersion = WithoutLeadingV(text);
        m_log.WriteLine("Current firmware version:  " + m_currentVersion);
        m_log.WriteLine("Firmware version to flash: " + m_versionToFlash);
        m_log.WriteLine("");
        outcome = UPD_TCP_FIRMWARE;
        return true;
    }
    m_log.WriteLine("Trying to get BIOS version...");
    if (m_handler.QueryBiosVersion(text, 500, kAddress) != ERR_OK &&
        m_handler.QueryBiosVersion(text, -1, kAddress) != ERR_OK) {
        return false;
    }
    m_biosRunning = true;
    m_currentVersion = text;
    m_biosVersion = text;
    m_log.WriteLine("Coder Bios " + text + " is running");
    m_log.WriteLine("");
    outcome = UPD_TCP_BIOS;
    return true;
}

int32_t UpdateProcedure::IdentifyOverTcp() {
    m_transferModeUnknown = false;
    ArmNetPC_UECPMessageHandler netpc;
    if (!OpenConnection(false, 0, 0)) {
        return UPD_CONNECT_FAILED;
    }
    if (m_handler.HandOver(netpc) != ERR_OK) {
        m_handler.Close(0);
        return UPD_CONNECT_FAILED;
    }
    m_log.WriteLine("Checking NetPC transfer mode...");
    const bool modeQueryFailed = netpc.QueryTransferMode(m_transferMode, kAddress) != ERR_OK;
    m_transferModeUnknown = modeQueryFailed;
    netpc.HandOver(m_handler);

    int32_t outcome = UPD_CONNECT_FAILED;
    if (IdentifyDevice(outcome)) {
        if (modeQueryFailed) {
            m_log.WriteLine(
                "NetPC did not answer the transfer mode query: it cannot be switched "
                "to update mode, the update is not possible");
        }
        m_handler.Close(0);
        return outcome;
    }
    if (modeQueryFailed) {
        NoteSilence(m_handler);
        m_handler.Close(0);
        return UPD_NETPC_TOO_OLD;
    }
    m_log.WriteLine("Closing NetPC connection");
    m_handler.Close(0);
    Pause(kNetPCReconnectPauseMs);
    if (m_stopRequested) {
        // Switching the NetPC is a change of the station; after a stop request it is not begun.
        m_log.WriteLine("Stop requested: the other NetPC transfer mode is not tried");
        return UPD_CONNECT_FAILED;
    }

    if (!OpenConnection(false, 0, 0)) {
        return UPD_CONNECT_FAILED;
    }
    if (m_handler.HandOver(netpc) != ERR_OK) {
        m_handler.Close(0);
        return UPD_CONNECT_FAILED;
    }
    if (netpc.QueryTransferMode(m_transferMode, kAddress) != ERR_OK) {
        NoteSilence(netpc);
        return UPD_NETPC_TOO_OLD;  // the connection goes with the NetPC handler
    }
    const uint8_t modeBefore = m_transferMode;
    m_transferMode = m_transferMode == 0 ? 1 : 0;
    m_log.WriteLine("No answer from coder, try other NetPC transfer mode...");
    const bool switched = netpc.SetTransferMode(m_transferMode, kAddress) == ERR_OK;
    netpc.HandOver(m_handler);
    if (!switched) {
        // Left open by the original flow as a silent "0"; a coder we cannot reach is a failed
        // connection, and the user sees it as one.
        m_handler.Close(0);
        return UPD_CONNECT_FAILED;
    }
    const bool identified = IdentifyDevice(outcome);
    if (!identified) {
        // Left in the other mode, the NetPC would pass no more traffic to a coder that runs the
        // firmware it had been set for.
        RestoreTransferMode(netpc, modeBefore);
    }
    m_handler.Close(0);
    return identified ? outcome : UPD_CONNECT_FAILED;
}

void UpdateProcedure::RestoreTransferMode(ArmNetPC_UECPMessageHandler& netpc, uint8_t mode) {
    const std::string number = std::to_string(mode);
    const std::string line =
        "No answer from coder in either transfer mode, set NetPC back to transfer mode ";
    m_log.WriteLine(line + number + "...");
    UECP_IO_Error result = m_handler.HandOver(netpc);
    if (result == ERR_OK) {
        result = netpc.SetTransferMode(mode, kAddress);
        netpc.HandOver(m_handler);
    }
    if (result != ERR_OK) {
        m_log.WriteLine("Failed to set NetPC back to transfer mode " + number + ": " +
                        ErrorText(result) + "; it stays in transfer mode " +
                        std::to_string(m_transferMode));
        return;
    }
    m_transferMode = mode;
    m_log.WriteLine("NetPC is back in transfer mode " + number);
}

// ---------------------------------------------------------------- flash sequence

void UpdateProcedure::UpdateThreadProc() {
    UECP_IO_Error lastBlockResult = ERR_OK;
    int32_t code = UPD_OK;

    struct Stage {
        const std::string& path;
        uint16_t segmentBase;
        const char* startLine;
        const char* flashFailedLine;
        const char* openFailedLine;
        int32_t flashFailedCode;
        int32_t openFailedCode;
    };
    const Stage stages[] = {
        {m_coderFile, kCoderFirmwareSegment, "Start flashing Coder firmware...",
         "Failed to flash Coder firmware!", "Failed to open Coder firmware file!",
         UPD_CODER_FLASH_FAILED, UPD_CODER_FILE_OPEN_FAILED},
        {m_samplesFile, kDspSamplesSegment, "Start flashing DSP samples...",
         "Failed to flash DSP samples!", "Failed to open DSP samples file!",
         UPD_SAMPLES_FLASH_FAILED, UPD_SAMPLES_FILE_OPEN_FAILED},
        {m_dspFile, kDspFirmwareSegment, "Start flashing DSP firmware...",
         "Failed to flash DSP firmware!", "Failed to open DSP firmware file!", UPD_DSP_FLASH_FAILED,
         UPD_DSP_FILE_OPEN_FAILED},
    };

    m_phase = m_biosRunning ? Phase::InBios : Phase::BeforeStart;
    m_nextBlock = BlockAddress(kCoderFirmwareSegment, 0);
    m_nextBlockFile = BaseName(m_coderFile);
    m_eraseRegion = -1;
    m_blocksStarted = false;
    m_restartedIntoBios = false;
    do {
        // A file that cannot be flashed whole is refused before the coder leaves its firmware.
        for (const Stage& stage : stages) {
            FirmwareFileReader file;
            if (!stage.path.empty() && !OpenFitting(file, stage.path, stage.segmentBase)) {
                m_log.WriteLine(stage.openFailedLine);
                code = stage.openFailedCode;
                break;
            }
        }
        if (code != UPD_OK) {
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
        int stageNumber = 0;
        for (const Stage& stage : stages) {
            const bool isCoder = &stage == &stages[0];
            if (!isCoder && stage.path.empty()) {
                continue;
            }
            ++stageNumber;
            if (!isCoder) {
                m_sink.Post(WM_UPD_STAGE, stageNumber, 0);
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
    const uint8_t regionCount = m_dspFile.empty() ? 2 : 3;
    for (uint8_t region = 0; region < regionCount; ++region) {
        if (m_stopRequested) {
            m_handler.Close(0);
            return false;  // the caller words the stop
        }
        Waiting(WAIT_ERASE, static_cast<uint32_t>(kLongTimeoutMs));
        m_eraseRegion = region;
        const UECP_IO_Error erased = m_handler.EraseFlash(region, kAddress);
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
