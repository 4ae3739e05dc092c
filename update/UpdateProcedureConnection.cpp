#include "update/UpdateProcedure.h"

#include "update/OpenFailureTexts.h"
#include "update/StringManager.h"

namespace {

// The baud rates a serial coder is probed at, in order; 115200 finds its BIOS.
constexpr int kProbeRates[] = {115200, 9600, 2400, 38400, 19200, 4800, 1200};

}  // namespace

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

void UpdateProcedure::KeepOpenFailure() {
    m_openFailure = m_handler.LastOpenFailure();
    if (m_openFailure.failed()) {
        m_log.WriteLine("Reason: " + OpenFailureReason(m_openFailure, Language::English));
    }
}

int32_t UpdateProcedure::ResponseTimeout() const {
    const UECP_IO_ConnectionParams* params = m_handler.GetParams();
    return params != nullptr ? params->responseTimeout : 0;
}
