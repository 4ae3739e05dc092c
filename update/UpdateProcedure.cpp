#include "update/UpdateProcedure.h"

#include <chrono>
#include <cstdio>

#include "protocol/ArmNetPC_UECPMessageHandler.h"
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

std::string WithoutLeadingV(const std::string& version) {
    return !version.empty() && version[0] == 'V' ? version.substr(1) : version;
}

}  // namespace

UpdateProcedure::UpdateProcedure(ProcedureSink& sink)
    : m_sink(sink),
      m_firmwareDirectory(GetProgramDirectory()),
      m_logPath(UpdateLog::DefaultPath()) {
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

void UpdateProcedure::OpenLogFile() {
    m_log.Open(m_logPath);
}

void UpdateProcedure::WriteFrame(const uint8_t* data, int32_t length, int direction) {
    m_log.WriteFrame(data, length, direction);
}

void UpdateProcedure::Pause(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void UpdateProcedure::StartWorker(void (UpdateProcedure::*body)()) {
    WaitForWorker();
    m_worker = std::thread(body, this);
}

void UpdateProcedure::StartIdentification() {
    WaitForWorker();  // the log is reopened only while no worker writes into it
    OpenLogFile();
    StartWorker(&UpdateProcedure::IdentifyThreadProc);
}

void UpdateProcedure::StartFlashing() {
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
        return result;
    }
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
    return result;
}

// ---------------------------------------------------------------- identification

void UpdateProcedure::IdentifyThreadProc() {
    int32_t outcome = UPD_NO_BAUD_RATE;
    if (!IsTcp()) {
        m_sink.SetIdentifyStatus(200);
        if (DetectBaudRate() != ERR_OK) {
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
    netpc.HandOver(m_handler);

    int32_t outcome = UPD_CONNECT_FAILED;
    if (IdentifyDevice(outcome)) {
        m_handler.Close(0);
        return outcome;
    }
    if (modeQueryFailed) {
        m_handler.Close(0);
        return UPD_NETPC_TOO_OLD;
    }
    m_log.WriteLine("Closing NetPC connection");
    m_handler.Close(0);
    Pause(kNetPCReconnectPauseMs);

    if (!OpenConnection(false, 0, 0)) {
        return UPD_CONNECT_FAILED;
    }
    if (m_handler.HandOver(netpc) != ERR_OK) {
        m_handler.Close(0);
        return UPD_CONNECT_FAILED;
    }
    if (netpc.QueryTransferMode(m_transferMode, kAddress) != ERR_OK) {
        return UPD_NETPC_TOO_OLD;  // the connection goes with the NetPC handler
    }
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
    m_handler.Close(0);
    return identified ? outcome : UPD_CONNECT_FAILED;
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
        if (!m_biosRunning && (code = StartUpdate()) != UPD_OK) {
            break;
        }
        if ((code = ConnectBios()) != UPD_OK) {
            break;
        }
        m_sink.Post(WM_UPD_STATUS, 212, 0);
        m_sink.Post(WM_UPD_STAGE, 1, 0);
        if (!EraseFlashRegions()) {
            code = UPD_ERASE_FAILED;
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
    const std::string tooLarge = SegmentSpaceError(segmentBase, file.Size());
    if (!tooLarge.empty()) {
        m_log.WriteLine(tooLarge);
        return false;
    }
    return true;
}

int32_t UpdateProcedure::StartUpdate() {
    m_log.WriteLine("Connecting Coder...");
    if (!OpenConnection(false, m_baudRate, 0)) {
        return UPD_CONNECT_FAILED;
    }
    m_log.WriteLine("Sending 'Start Firmware Update' command");
    const UECP_IO_Error result = m_handler.StartFirmwareUpdate(kAddress);
    m_handler.Close(0);
    if (result != ERR_OK) {
        return UPD_START_FAILED;
    }
    m_log.WriteLine("Awaiting Reboot...");
    Pause(IsTcp() ? kStartRebootTcpMs : kStartRebootSerialMs);
    return UPD_OK;
}

int32_t UpdateProcedure::ConnectBios() {
    m_log.WriteLine("Connecting Bios...");
    m_sink.Post(WM_UPD_STATUS, 213, 0);
    if (!OpenConnection(false, kBiosBaudRate, 3)) {
        return UPD_BIOS_CONNECT_FAILED;
    }
    if (IsTcp()) {
        m_log.WriteLine("Switch NetPC to update mode...");
        ArmNetPC_UECPMessageHandler netpc;
        if (m_handler.HandOver(netpc) == ERR_OK) {
            for (int32_t spent = 0; spent < kBiosBudgetMs;) {
                if (netpc.SetTransferMode(1, kAddress) == ERR_OK) {
                    break;
                }
                Pause(kBiosRetryPauseMs);
                spent +=
                    netpc.GetParams()->responseTimeout + static_cast<int32_t>(kBiosRetryPauseMs);
            }
            netpc.HandOver(m_handler);
        }
    }
    m_log.WriteLine("Check, that the Coder is ready...");
    std::string version;
    for (int32_t spent = 0; spent < kBiosBudgetMs;) {
        if (m_handler.QueryBiosVersion(version, -1, kAddress) == ERR_OK) {
            m_log.WriteLine("Coder is ready");
            return UPD_OK;
        }
        Pause(kBiosRetryPauseMs);
        spent += ResponseTimeout() + static_cast<int32_t>(kBiosRetryPauseMs);
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
        if (m_handler.EraseFlash(region, kAddress) != ERR_OK) {
            // Writing into flash that was not erased would corrupt the device: stop here.
            m_handler.Close(0);
            return false;
        }
        Pause(kAfterErasePauseMs);
    }
    m_handler.Close(0);
    return OpenConnection(false, kBiosBaudRate, 0);
}

int32_t UpdateProcedure::FlashFile(const std::string& path, uint16_t segmentBase,
                                   UECP_IO_Error& lastBlockResult) {
    FirmwareFileReader file;
    if (!OpenFitting(file, path, segmentBase)) {
        return UPD_FILE_OPEN_FAILED;
    }
    m_sink.Post(WM_UPD_PROGRESS_RANGE, 0, static_cast<int64_t>(ProgressRange(file.Size())));

    uint8_t block[kFirmwareBlockSize];
    for (uint64_t k = 0;; ++k) {
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
        const SegmentOffset address = BlockAddress(segmentBase, k);
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
    m_log.WriteLine("Awaiting Reboot...");
    const bool tcp = IsTcp();
    Pause(tcp ? kFinishRebootTcpMs : kFinishRebootSerialMs);
    if (tcp) {
        if (!OpenConnection(false, m_baudRate, 2)) {
            return UPD_RECONNECT_FAILED;
        }
        m_transferMode = 0;
        int32_t outcome = 0;
        if (!IdentifyDevice(outcome) && !IdentifyDevice(outcome)) {
            return UPD_RECONNECT_FAILED;
        }
        return UPD_OK;
    }
    if (DetectBaudRate() != ERR_OK) {
        Pause(kSecondDetectionPauseMs);
        if (DetectBaudRate() != ERR_OK) {
            return UPD_RECONNECT_FAILED;
        }
    }
    return UPD_OK;
}
