#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "protocol/T1x_UECPMessageHandler.h"
#include "transport/IOFrameLog.h"
#include "update/ConnectionChoice.h"
#include "update/FirmwareFiles.h"
#include "update/FlashPlan.h"
#include "update/LogRotation.h"
#include "update/ProcedureSink.h"
#include "update/ProcedureVerdicts.h"
#include "update/UpdateCodes.h"
#include "update/UpdateLog.h"

class ArmNetPC_UECPMessageHandler;

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
    // Where OpenLogFile writes. Unless set, TarvelinLog.txt beside the firmware files, or in
    // the state folder when that folder cannot be written.
    void SetLogPath(const std::string& path) { m_logPath = path; }
    // Where the log is: after OpenLogFile the file really written ("" when none could be
    // opened), before it the file it would try first.
    std::string LogPath() const;

    bool DiscoverFirmwareFiles(DiscoveryQuestions& questions);
    // The files to flash, as found or as named by the user; not while a worker runs.
    void SetFirmwareFiles(const FirmwareFileSet& files);
    // What the flash sequence will write. Its files are checked when the sequence starts: a
    // stage's check is there by the time its WM_UPD_STAGE is posted.
    const FlashPlan& Plan() const { return m_plan; }
    // Keeps the previous logs (TarvelinLog.1.txt ...) and begins a new one. False when no log
    // could be opened; the procedure then goes on without one. StartIdentification calls it
    // unless the front end did since the last identification.
    bool OpenLogFile();
    // Why the log before this one could not be kept, for the front end to say; not failed
    // when it was kept or there was none.
    const LogRotation& LogRotationProblem() const { return m_logRotation; }
    void WriteLog(const std::string& line) { m_log.WriteLine(line); }

    // Start the worker threads; each posts its final message and ends.
    void StartIdentification();
    void StartFlashing();
    bool IsWorkerRunning() const;
    void WaitForWorker();
    // Asks the flash sequence to stop: the exchange in progress completes, a pause ends at
    // once, and the sequence ends with UPD_INTERRUPTED at the next block boundary. Not for
    // signal handlers. The next StartFlashing or StartIdentification clears it.
    void RequestStop();
    bool StopRequested() const { return m_stopRequested; }
    // What a stop meant for the coder, for the phase it hit, in the front end's language;
    // empty when the last flash sequence was not interrupted.
    std::string InterruptionText(Language language) const;

    // What the version checks need of the last identification.
    IdentificationState StateForChecks() const;
    // What came back on the last identification's connections, for its reason line.
    AnswerEvidence Evidence() const;
    // Where the last flash sequence ended, for the note after a failure.
    FlashEndState EndState() const;

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
    // Set through SetFirmwareFiles, which plans the flash after them.
    std::string m_versionToFlash;
    std::string m_coderFile;
    std::string m_dspFile;
    std::string m_samplesFile;
    UpdateLog m_log;
    // The system's reason for the last refused opening of a connection since the worker
    // started; kind None when none was refused.
    OpenFailure m_openFailure;
    // Over TCP/IP: the NetPC did not answer the last identification's transfer-mode query.
    bool m_transferModeUnknown = false;

protected:
    // The procedure's pauses are the devices' timing and are kept exactly; a stop request
    // ends one early.
    virtual void Pause(uint32_t milliseconds);

private:
    // What the connection set-up, the identification and the flash sequence share.
    static constexpr uint16_t kAddress = 0;
    static constexpr int kBiosBaudRate = 115200;
    static constexpr uint32_t kOpenRetryPauseMs = 500;
    static constexpr int32_t kLongTimeoutMs = 9000;

    using Phase = FlashEndState::Phase;
    struct Interruption {
        bool happened = false;
        Phase phase = Phase::BeforeStart;
        SegmentOffset block{0, 0};  // the next block that was to be written
        std::string file;
    };

    // True, after the log line for the phase, when a stop was asked for.
    bool Interrupted();
    // A wait the front end shows as a sign of life; Waited() ends it.
    void Waiting(int64_t kind, uint32_t milliseconds);
    void Waited();
    uint32_t DetectionBudgetMs() const;
    void KeepOpenFailure();
    // Marks the identification's connection as silent when not one byte came back on it.
    void NoteSilence(const UECPMessageHandler& connection);
    bool IsTcp() const { return GetConnectionChoice().connectionType == kConnectionTypeTcp; }
    void StartWorker(void (UpdateProcedure::*body)());
    int32_t ResponseTimeout() const;
    // A firmware's version answer without its "V"; a BIOS answers without one.
    static std::string WithoutLeadingV(const std::string& version);
    // Makes the plan of the files named by the members.
    void PlanFlash();
    // Opens a firmware file for flashing; false, with a log line for a file too large for the
    // segment space, when it cannot be flashed whole.
    bool OpenFitting(FirmwareFileReader& file, const std::string& path, uint16_t segmentBase);
    // Rotates the logs at `path` and opens it; false when it cannot be opened.
    bool OpenRotated(const std::string& path);
    // Sets the NetPC back to `mode` after the other mode found nothing.
    void RestoreTransferMode(ArmNetPC_UECPMessageHandler& netpc, uint8_t mode);

    ProcedureSink& m_sink;
    mutable std::mutex m_choiceMutex;
    ConnectionChoice m_choice;
    std::string m_firmwareDirectory;
    std::string m_logPath;
    std::string m_logPathInUse;
    bool m_logOpened = false;
    bool m_logBegun = false;  // opened since the last identification started
    LogRotation m_logRotation;
    std::thread m_worker;
    FlashPlan m_plan;

    std::atomic<bool> m_stopRequested{false};
    std::mutex m_stopMutex;
    std::condition_variable m_stopWake;
    Phase m_phase = Phase::BeforeStart;
    SegmentOffset m_nextBlock{0, 0};
    std::string m_nextBlockFile;
    Interruption m_interruption;
    // Beside the phase, where a failure left the coder.
    int m_eraseRegion = -1;
    bool m_blocksStarted = false;
    bool m_restartedIntoBios = false;
    AnswerEvidence m_evidence;
};
