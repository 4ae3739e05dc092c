#include "update/UpdateProcedure.h"

#include "protocol/ArmNetPC_UECPMessageHandler.h"
#include "update/StringManager.h"

namespace {

constexpr uint32_t kNetPCReconnectPauseMs = 2000;

}  // namespace

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

std::string UpdateProcedure::WithoutLeadingV(const std::string& version) {
    return !version.empty() && version[0] == 'V' ? version.substr(1) : version;
}
