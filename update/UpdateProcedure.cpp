#include "update/UpdateProcedure.h"

#include <chrono>

#include "update/LogLocation.h"
#include "update/LogRotation.h"

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
    SetFirmwareFiles(files);
    return goOn;
}

void UpdateProcedure::SetFirmwareFiles(const FirmwareFileSet& files) {
    m_coderFile = files.coderFile;
    m_dspFile = files.dspFile;
    m_samplesFile = files.samplesFile;
    m_versionToFlash = files.versionToFlash;
    PlanFlash();
}

void UpdateProcedure::PlanFlash() {
    m_plan = FlashPlan(m_coderFile, m_samplesFile, m_dspFile);
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
    // The file members are public: planned again from them, the sequence flashes what they
    // name whoever set them.
    PlanFlash();
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
    m_log.WriteLine(InterruptionText(Language::English));
    return true;
}

std::string UpdateProcedure::InterruptionText(Language language) const {
    if (!m_interruption.happened) {
        return "";
    }
    FlashEndState state;
    state.phase = m_interruption.phase;
    state.segment = m_interruption.block.segment;
    state.offset = m_interruption.block.offset;
    state.file = m_interruption.file;
    return ::InterruptionText(state, language);
}

void UpdateProcedure::Waiting(int64_t kind, uint32_t milliseconds) {
    m_sink.Post(WM_UPD_WAIT, kind, milliseconds);
}

void UpdateProcedure::Waited() {
    m_sink.Post(WM_UPD_WAIT, WAIT_NONE, 0);
}
