#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "protocol/T1x_UECPMessageHandler.h"
#include "transport/IOFrameLog.h"
#include "update/ConnectionChoice.h"
#include "update/FirmwareFiles.h"
#include "update/ProcedureSink.h"
#include "update/UpdateCodes.h"
#include "update/UpdateLog.h"

// The update procedure without a window: connection set-up, identification and the flash
// sequence on one worker thread at a time, the state they find, the firmware files and the
// update log. It is the frame log of every transport, so each frame lands in the update log.
// Front ends report through a ProcedureSink and drain `logWindow` on their own thread.
class UpdateProcedure : public IOFrameLog {
public:
    explicit UpdateProcedure(ProcedureSink& sink);
    // Waits for a running worker: the procedure is never destroyed under it.
    ~UpdateProcedure() override;

    void SetConnectionChoice(const ConnectionChoice& choice);
    ConnectionChoice GetConnectionChoice() const;
    // Where DiscoverFirmwareFiles looks; the program directory unless set.
    void SetFirmwareDirectory(const std::string& directory) { m_firmwareDirectory = directory; }
    // Where OpenLogFile writes; TarvelinLog.txt in the program directory unless set.
    void SetLogPath(const std::string& path) { m_logPath = path; }
    const std::string& LogPath() const { return m_logPath; }

    bool DiscoverFirmwareFiles(DiscoveryQuestions& questions);
    void OpenLogFile();
    void WriteLog(const std::string& line) { m_log.WriteLine(line); }

    // Start the worker threads; each posts its final message and ends.
    void StartIdentification();
    void StartFlashing();
    bool IsWorkerRunning() const;
    void WaitForWorker();

    // Connection set-up.
    bool OpenConnection(bool longTimeouts, int baudRate, int retries);
    UECP_IO_Error ProbeBaudRate(int baudRate);
    UECP_IO_Error DetectBaudRate();

    // Identification.
    void IdentifyThreadProc();
    int32_t IdentifyOverTcp();
    bool IdentifyDevice(int32_t& outcome);

    // Flash sequence.
    void UpdateThreadProc();
    int32_t StartUpdate();
    int32_t ConnectBios();
    bool EraseFlashRegions();
    int32_t FlashFile(const std::string& path, uint16_t segmentBase,
                      UECP_IO_Error& lastBlockResult);
    int32_t FinishUpdate();

    // The update log takes every frame, on the thread that drains logWindow.
    void WriteFrame(const uint8_t* data, int32_t length, int direction) override;

    T1x_UECPMessageHandler m_handler;
    int m_baudRate = 9600;
    uint16_t m_mainPort = 0;
    bool m_biosRunning = false;
    uint8_t m_transferMode = 0;
    std::string m_currentVersion;
    std::string m_biosVersion;
    std::string m_versionToFlash;
    std::string m_coderFile;
    std::string m_dspFile;
    std::string m_samplesFile;
    UpdateLog m_log;

protected:
    // The procedure's pauses are the devices' timing and are kept exactly.
    virtual void Pause(uint32_t milliseconds);

private:
    bool IsTcp() const { return GetConnectionChoice().connectionType == kConnectionTypeTcp; }
    void StartWorker(void (UpdateProcedure::*body)());
    int32_t ResponseTimeout() const;
    // Opens a firmware file for flashing; false, with a log line for a file too large for the
    // segment space, when it cannot be flashed whole.
    bool OpenFitting(FirmwareFileReader& file, const std::string& path, uint16_t segmentBase);

    ProcedureSink& m_sink;
    mutable std::mutex m_choiceMutex;
    ConnectionChoice m_choice;
    std::string m_firmwareDirectory;
    std::string m_logPath;
    std::thread m_worker;
};
