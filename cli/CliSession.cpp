#include "cli/CliSession.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "cli/CliDryRun.h"
#include "cli/CliTexts.h"
#include "cli/InterruptWatch.h"
#include "console/EventNames.h"
#include "transport/SerialPorts.h"
#include "uecp/FrameCodec.h"
#include "update/CZelkorTools.h"
#include "update/FirmwareFiles.h"
#include "update/LogLocation.h"
#include "update/OpenFailureTexts.h"
#include "update/PageLabels.h"
#include "update/StringManager.h"
#include "update/UpdateLog.h"
#include "update/Utf8Path.h"

namespace {

constexpr int kStringTableId = 135;

class CliQuestions : public DiscoveryQuestions {
public:
    CliQuestions(std::function<void()> missing, std::function<bool()> confirm)
        : missing_(std::move(missing)), confirm_(std::move(confirm)) {}
    void CoderFileMissing() override { missing_(); }
    bool ConfirmCoderOnly() override { return confirm_(); }

private:
    std::function<void()> missing_;
    std::function<bool()> confirm_;
};

// The procedure with -v: every frame also goes to standard error, as the log writes it.
class EchoingProcedure : public UpdateProcedure {
public:
    EchoingProcedure(ProcedureSink& sink, std::function<void(const std::string&)> echo)
        : UpdateProcedure(sink), echo_(std::move(echo)) {}
    void WriteFrame(const uint8_t* data, int32_t length, int direction) override {
        UpdateProcedure::WriteFrame(data, length, direction);
        if (echo_) {
            echo_((direction != 0 ? "-> " : "<- ") + HexDump(data, length, ',', true));
        }
    }

private:
    std::function<void(const std::string&)> echo_;
};

// In its BIOS a coder runs no firmware, and the procedure keeps the BIOS version in
// m_currentVersion then: machine output says null, and biosRunning says why.
nlohmann::ordered_json FirmwareVersion(const UpdateProcedure& p) {
    return p.m_biosRunning ? nlohmann::ordered_json(nullptr)
                           : nlohmann::ordered_json(p.m_currentVersion);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string WorkingDirectory() {
    std::error_code error;
    const std::string here = std::filesystem::current_path(error).string();
    return error || here.empty() ? std::string("./") : here + (here.back() == '/' ? "" : "/");
}

// The version a file name names: "Coder_V02_16.img" -> "2.16".
std::string VersionOfFile(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) {
        name.resize(dot);
    }
    return VersionFromFileName(name);
}

const char* OpenFailureKindName(OpenFailureKind kind) {
    switch (kind) {
        case OpenFailureKind::None:
            return "none";
        case OpenFailureKind::NoDevice:
            return "noDevice";
        case OpenFailureKind::Permission:
            return "permission";
        case OpenFailureKind::Busy:
            return "busy";
        case OpenFailureKind::NotTerminal:
            return "notTerminal";
        case OpenFailureKind::Refused:
            return "refused";
        case OpenFailureKind::TimedOut:
            return "timedOut";
        case OpenFailureKind::HostNotFound:
            return "hostNotFound";
        case OpenFailureKind::Unreachable:
            return "unreachable";
        case OpenFailureKind::Other:
            break;
    }
    return "other";
}

}  // namespace

CliSession::CliSession(const CliOptions& options)
    : options_(options),
      language_(options.language.value_or(SystemLanguage())),
      report_(options, language_) {}

CliSession::~CliSession() {
    interrupts_.reset();  // no signal reaches a procedure being taken down
    procedure_.reset();
}

void CliSession::Post(uint32_t message, int64_t wParam, int64_t lParam) {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        queue_.push_back(Event{message, wParam, lParam});
    }
    wake_.notify_one();
}

void CliSession::SetIdentifyStatus(int textNumber) {
    Post(kDirectStatus, textNumber, 0);
}

void CliSession::DrainFrameLog() {
    procedure_->logWindow->DispatchPending();
}

CliSession::Event CliSession::NextEvent() {
    for (;;) {
        DrainFrameLog();
        report_.Tick();
        std::unique_lock<std::mutex> hold(mutex_);
        wake_.wait_for(hold, std::chrono::milliseconds(200),
                       [this] { return !queue_.empty() || frameLogPending_; });
        frameLogPending_ = false;
        if (!queue_.empty()) {
            const Event event = queue_.front();
            queue_.pop_front();
            hold.unlock();
            DrainFrameLog();  // frames before the message come first in the log
            return event;
        }
    }
}

bool CliSession::HandleCommonEvent(const Event& event) {
    if (event.message == kInterruptRequest) {
        if (!interruptRequested_) {
            interruptRequested_ = true;
            report_.HideProgress();
            report_.Problem(CliTextFormat(CliText::StopRequested, language_));
            procedure_->WriteLog("Stop requested by " +
                                 InterruptWatch::SignalName(interrupts_->Signal()));
        }
        procedure_->RequestStop();
        return true;
    }
    if (event.message == WM_UPD_WAIT) {
        report_.ShowWait(event.wParam, event.lParam);
        return true;
    }
    return false;
}

bool CliSession::Confirm(const std::string& question, const std::string& prompt) {
    return report_.Confirm(question, prompt,
                           [this] { return interrupts_ && interrupts_->Interrupted(); });
}

void CliSession::ExplainOpenFailure(bool withHint) {
    const OpenFailure& failure = procedure_->m_openFailure;
    if (!failure.failed()) {
        return;
    }
    const std::string reason = OpenFailureReason(failure, language_);
    const std::string hint = withHint ? OpenFailureHint(failure, language_) : std::string();
    report_.Problem(reason);
    if (!hint.empty()) {
        report_.Problem(CliTextFormat(CliText::HintLabel, language_) + hint);
    }
    JsonWriter& json = report_.Json();
    json.Add("failureKind", OpenFailureKindName(failure.kind));
    json.Add("reason", reason);
    json.Add("hint", hint);
}

void CliSession::ExplainAnswers() {
    const std::string reason = IdentificationReason(outcome_, procedure_->Evidence(), language_);
    if (reason.empty()) {
        return;
    }
    report_.Problem(reason);
    const auto& object = report_.Json().Object();
    const auto known = object.find("reason");
    report_.Json().Add("reason", known != object.end() && known->is_string()
                                     ? known->get<std::string>() + " " + reason
                                     : reason);
}

void CliSession::NoteLatencyTimer() {
    const ConnectionChoice& choice = options_.choice;
    if (latencyNoted_ || choice.connectionType != kConnectionTypeSerial) {
        return;
    }
    const std::string device =
        choice.serialDevice.empty() ? ResolveComPort(choice.serialPort) : choice.serialDevice;
    const int milliseconds = LatencyTimerMs(device);
    if (milliseconds <= 1) {
        return;
    }
    latencyNoted_ = true;
    SerialPortDetails details;
    ReadSerialPortDetails(device, details);
    const std::string tty = details.realDevice.substr(details.realDevice.find_last_of('/') + 1);
    const std::string text = FormatString(CliTextFormat(CliText::LatencyNote, language_),
                                          {device, int64_t{milliseconds}, tty});
    report_.Info(text);
    report_.Notice("LATENCY_TIMER", 0, text);
}

bool CliSession::WarningAsked() const {
    return options_.command == CliOptions::Command::Update && verdict_.mayGoOn &&
           (verdict_.warning == UPD_BIOS_VERSION_UNKNOWN || verdict_.mainPortDiffers);
}

std::string CliSession::SameVersionNote() const {
    const UpdateProcedure& p = *procedure_;
    if (!verdict_.showVersions || p.m_biosRunning) {
        return "";
    }
    const std::string toFlash = VersionOfFile(p.m_coderFile);
    if (toFlash.empty() || p.m_currentVersion != toFlash) {
        return "";
    }
    return FormatString(CliTextFormat(CliText::AlreadyRunsVersion, language_), {toFlash});
}

void CliSession::AddFilesJson() {
    const UpdateProcedure& p = *procedure_;
    JsonWriter& json = report_.Json();
    const auto pathOrNull = [](const std::string& path) {
        return path.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(path);
    };
    json.Add("coderFile", pathOrNull(p.m_coderFile));
    json.Add("samplesFile", pathOrNull(p.m_samplesFile));
    json.Add("dspFile", pathOrNull(p.m_dspFile));
}

void CliSession::AddIdentifyJson() {
    const UpdateProcedure& p = *procedure_;
    JsonWriter& json = report_.Json();
    json.Add("outcome", static_cast<int64_t>(outcome_));
    json.Add("mayUpdate", verdict_.mayGoOn);
    json.Add("warnings", report_.Warnings());
    json.Add("currentVersion", FirmwareVersion(p));
    json.Add("biosVersion", p.m_biosVersion);
    json.Add("versionToFlash", p.m_versionToFlash);
    AddFilesJson();
    json.Add("baudRate", static_cast<int64_t>(p.m_baudRate));
    json.Add("biosRunning", p.m_biosRunning);
    json.Add("transferMode", static_cast<int64_t>(p.m_transferMode));
    json.Add("mainPort", static_cast<int64_t>(p.m_mainPort));
    json.Add("status", verdict_.status.text);
    json.Add("detail", verdict_.detail.text);
}

bool CliSession::ChooseFiles(int& status) {
    UpdateProcedure& p = *procedure_;
    const bool updating = options_.command == CliOptions::Command::Update;
    const auto coderOnly = [this, updating] {
        const std::string text = LoadText(208, language_);
        if (!updating) {
            report_.Info(text.substr(0, text.find('\n')));
            report_.Warning("DSP_FIRMWARE_MISSING", 208, text.substr(0, text.find('\n')));
            return true;
        }
        const bool go = Confirm(text, text);
        if (go) {
            report_.Warning("DSP_FIRMWARE_MISSING", 208, text.substr(0, text.find('\n')));
        }
        return go;
    };

    if (!options_.coderFile.empty()) {
        // Files named one by one, e.g. from a download folder that holds other files too.
        std::error_code error;
        const auto found = std::filesystem::status(PathFromUtf8(options_.coderFile), error);
        std::string problem;
        if (error) {
            problem = error.message();
        } else if (!std::filesystem::is_regular_file(found)) {
            problem = "not a regular file";
        }
        if (!problem.empty()) {
            coderFileMissing_ = true;
            report_.Problem(LoadText(207, language_));
            report_.Problem(FormatString(CliTextFormat(CliText::NoCoderFile, language_),
                                         {options_.coderFile, problem}));
            status = kExitNoFirmware;
            return false;
        }
        FirmwareFileSet files;
        files.coderFile = options_.coderFile;
        files.samplesFile = options_.samplesFile;
        files.dspFile = options_.dspFile;
        files.versionToFlash = VersionToFlashText(options_.coderFile);
        p.SetFirmwareFiles(files);
        if (files.dspFile.empty() && !coderOnly()) {
            status = kExitConfirmationNeeded;
            return false;
        }
        return true;
    }

    std::string folder = options_.firmwareDirectory;
    if (folder.empty()) {
        // An installed program has no firmware beside it: then the working directory counts.
        folder =
            HoldsCoderFirmware(GetProgramDirectory()) ? GetProgramDirectory() : WorkingDirectory();
    }
    p.SetFirmwareDirectory(folder);
    CliQuestions questions(
        [this] {
            coderFileMissing_ = true;
            report_.Problem(LoadText(207, language_));
        },
        coderOnly);
    if (!p.DiscoverFirmwareFiles(questions)) {
        if (coderFileMissing_) {
            report_.Problem(
                CliTextFormat(CliText::HintLabel, language_) +
                FormatString(CliTextFormat(CliText::PutFirmwareFiles, language_), {folder}));
        }
        status = coderFileMissing_ ? kExitNoFirmware : kExitConfirmationNeeded;
        return false;
    }
    return true;
}

bool CliSession::OpenLog(int& status) {
    UpdateProcedure& p = *procedure_;
    const bool named = !options_.logPath.empty();
    const std::string folder = !options_.coderFile.empty()           ? FolderOf(options_.coderFile)
                               : !options_.firmwareDirectory.empty() ? options_.firmwareDirectory
                                                                     : FolderOf(p.m_coderFile);
    const std::string path = named ? options_.logPath : ChooseLogPath(folder);
    p.SetLogPath(path);
    if (!path.empty() && p.OpenLogFile()) {
        const std::string where =
            FormatString(CliTextFormat(CliText::LogAt, language_), {p.LogPath()});
        // Not beside the firmware files: -q says so too, or nobody would find it.
        if (!named && path != folder + kLogFileName) {
            report_.Problem(where);
        } else {
            report_.Info(where);
        }
        report_.Event(kEventLog, {{"path", p.LogPath()}});
        report_.Json().Add("logPath", p.LogPath());
        const LogRotation& rotation = p.LogRotationProblem();
        if (rotation.Failed()) {
            const std::string text = FormatString(CliTextFormat(CliText::LogNotKept, language_),
                                                  {rotation.stuck, rotation.reason, p.LogPath()});
            report_.Problem(text);
            report_.Notice("LOG_NOT_KEPT", 0, text);
        }
        return true;
    }
    if (named) {
        // Named by the user: a log that cannot be written is an error now, not after the run.
        std::FILE* probe = std::fopen(path.c_str(), "a");
        const std::string reason =
            probe == nullptr ? std::generic_category().message(errno) : "cannot be opened";
        if (probe != nullptr) {
            std::fclose(probe);
        }
        report_.Problem(
            FormatString(CliTextFormat(CliText::CannotWriteLog, language_), {path, reason}));
        status = kExitCannotCreate;
        return false;
    }
    report_.Aside(CliTextFormat(CliText::NoLog, language_));
    report_.Event(kEventLog, {{"path", nullptr}});
    report_.Json().AddNull("logPath");
    return true;
}

int CliSession::Identify() {
    interrupts_->SetTalkingToCoder(true);
    procedure_->StartIdentification();
    report_.Status(LoadText(201, language_));
    for (;;) {
        const Event event = NextEvent();
        if (HandleCommonEvent(event)) {
            continue;
        }
        if (event.message == kDirectStatus) {
            report_.Status(LoadText(static_cast<int>(event.wParam), language_));
        } else if (event.message == WM_UPD_IDENTIFIED) {
            outcome_ = static_cast<int32_t>(event.wParam);
            break;
        }
    }
    procedure_->WaitForWorker();
    interrupts_->SetTalkingToCoder(false);
    DrainFrameLog();
    identified_ = true;

    const UpdateProcedure& p = *procedure_;
    verdict_ = DecideIdentification(outcome_, p.StateForChecks(), language_);
    // A serial port that never opened was not probed at all: the connection failed, no baud
    // rate was missed. Its reason leads, and it exits as a connection that does not open.
    const bool portRefused = outcome_ == UPD_NO_BAUD_RATE && p.m_openFailure.failed();
    if (portRefused) {
        verdict_ = DecideIdentification(UPD_CONNECT_FAILED, p.StateForChecks(), language_);
        ExplainOpenFailure();
    }
    if (!options_.choice.serialDevice.empty()) {
        // A port given as a device path has no COM number: name the device instead of COM0.
        const size_t at = verdict_.status.text.find("COM0");
        if (at != std::string::npos) {
            verdict_.status.text.replace(at, 4, options_.choice.serialDevice);
        }
    }
    const bool updating = options_.command == CliOptions::Command::Update;
    if (verdict_.detail.text == LoadText(210, language_)) {
        // identify ends here, update goes on by itself: neither may tell to press a button.
        verdict_.detail.text = CliTextFormat(
            updating ? CliText::RestartingUpdate : CliText::RestartWithUpdate, language_);
    }

    const bool failed = !verdict_.mayGoOn;
    const auto show = [&](const std::string& text) {
        failed ? report_.Problem(text) : report_.Info(text);
    };
    if (verdict_.status.changed) {
        // With -q the status is identify's final line.
        if (options_.command == CliOptions::Command::Identify) {
            report_.Problem(verdict_.status.text);
        } else {
            show(verdict_.status.text);
        }
    }
    if (verdict_.detail.changed && !verdict_.detail.text.empty()) {
        // A warning is printed once, also with -q, before update asks whether to go on.
        if (verdict_.detail.errorStyle) {
            report_.Problem(verdict_.detail.text);
        } else {
            show(verdict_.detail.text);
        }
    }
    if (verdict_.mainPortDiffers) {
        report_.Problem(FormatString(CliTextFormat(CliText::MainPortReported, language_),
                                     {int64_t{p.m_mainPort}, int64_t{options_.choice.tcpPort}}));
    }
    if (verdict_.hint.changed) {
        show(verdict_.hint.text);
    }
    if (verdict_.showVersions) {
        const std::string current =
            std::string(PageLabelText(PageLabel::CurrentVersion, language_)) + " " +
            p.m_currentVersion;
        const std::string toFlash =
            std::string(PageLabelText(PageLabel::VersionToFlash, language_)) + " " +
            p.m_versionToFlash;
        if (report_.Quiet() && options_.command == CliOptions::Command::Identify) {
            report_.Problem(current + "; " + toFlash);  // the final line of identify -q
        } else {
            report_.Info(current);
            report_.Info(toFlash);
        }
    }
    const std::string sameVersion = SameVersionNote();
    if (!sameVersion.empty()) {
        // Said before update asks about a warning: the answer may well be no then.
        WarningAsked() ? report_.Problem(sameVersion) : report_.Info(sameVersion);
    }
    if (verdict_.warning == UPD_BIOS_VERSION_UNKNOWN) {
        report_.Warning("BIOS_VERSION_UNKNOWN", UPD_BIOS_VERSION_UNKNOWN, verdict_.detail.text);
    }
    if (verdict_.mainPortDiffers) {
        report_.Warning("NOT_MAIN_PORT", 223, verdict_.detail.text);
    }
    if ((outcome_ == UPD_NO_BAUD_RATE && !portRefused) || outcome_ == UPD_CONNECT_FAILED) {
        ExplainOpenFailure();
    } else {
        NoteLatencyTimer();
    }
    if (!verdict_.mayGoOn) {
        ExplainAnswers();
    }
    report_.Event(kEventIdentified, {{"outcome", outcome_},
                                     {"currentVersion", FirmwareVersion(p)},
                                     {"biosVersion", p.m_biosVersion},
                                     {"biosRunning", p.m_biosRunning},
                                     {"versionToFlash", p.m_versionToFlash},
                                     {"mayUpdate", verdict_.mayGoOn},
                                     {"warnings", report_.Warnings()}});
    if (interruptRequested_) {
        return interrupts_->ExitStatus();
    }
    return verdict_.mayGoOn ? 0 : verdict_.stopCode;
}

int CliSession::Flash() {
    UpdateProcedure& p = *procedure_;
    report_.BeginProgress();
    int stage = 1;
    int32_t result = UPD_OK;
    int64_t lastBlockResult = ERR_OK;

    // Until the program ends: what the flash sequence left is reported, whatever comes.
    interrupts_->SetTalkingToCoder(true);
    p.StartFlashing();
    if (p.m_biosRunning) {
        // "Transferring data..." before the BIOS is even connected, and again before the
        // erase: on the screen only where it is true.
        report_.Event(kEventStatus, {{"text", LoadText(212, language_)}});
    } else {
        report_.Status(LoadText(211, language_));
    }
    for (bool finished = false; !finished;) {
        const Event event = NextEvent();
        if (HandleCommonEvent(event)) {
            continue;
        }
        switch (event.message) {
            case WM_UPD_STATUS:
                report_.FinishProgress();
                report_.Status(LoadText(static_cast<int>(event.wParam), language_));
                break;
            case WM_UPD_STAGE:
                report_.FinishProgress();
                if (event.wParam >= 1 && event.wParam <= 3) {
                    stage = static_cast<int>(event.wParam);
                    const std::string label = p.Plan().Label(stage, language_);
                    report_.Info(label);
                    report_.Event(kEventStage, {{"stage", stage}, {"label", label}});
                }
                break;
            case WM_UPD_PROGRESS_RANGE: {
                const FlashStage* planned = p.Plan().Stage(stage);
                report_.ProgressRange(planned != nullptr ? static_cast<int64_t>(planned->Blocks())
                                                         : 0);
                break;
            }
            case WM_UPD_PROGRESS_STEP:
                report_.ProgressStep(stage);
                break;
            case WM_UPD_FINISHED:
                report_.FinishProgress();
                result = static_cast<int32_t>(event.wParam);
                lastBlockResult = event.lParam;
                finished = true;
                break;
            default:
                break;
        }
    }
    p.WaitForWorker();
    DrainFrameLog();
    report_.EndProgress();

    std::string message;
    std::string note;
    bool versionMatches = false;
    if (result == UPD_OK) {
        p.WriteLog("Update finished successfully.");
        p.WriteLog("New firmware version:  " + p.m_currentVersion);
        message = LoadText(215, language_);
        report_.Problem(message);
        report_.Info(std::string(PageLabelText(PageLabel::NewVersion, language_)) +
                     p.m_currentVersion);
        const std::string expected = VersionOfFile(p.m_coderFile);
        versionMatches = p.m_currentVersion == expected;
        if (!versionMatches) {
            const std::string text = FormatString(
                CliTextFormat(CliText::VersionMismatch, language_), {p.m_currentVersion, expected});
            report_.Problem(text);
            report_.Notice("NEW_VERSION_DIFFERS", 0, text);
        }
    } else if (result == UPD_INTERRUPTED) {
        message = p.InterruptionText(language_);
    } else {
        message = UpdateResultText(result, static_cast<int32_t>(lastBlockResult), language_);
        report_.Problem(LoadText(214, language_));
        report_.Problem(message);
        for (const FlashStage& planned : p.Plan().Stages()) {
            // Refused before anything was sent: why, as the dry run says it.
            if (planned.openFailedCode == result && !planned.check.problem.empty()) {
                report_.Problem(RefusalText(planned, language_));
            }
        }
        if (result == UPD_CONNECT_FAILED || result == UPD_BIOS_CONNECT_FAILED ||
            result == UPD_RECONNECT_FAILED) {
            // After a complete flash a refused reconnection is the coder restarting, not the
            // cabling: the note below says what to do.
            ExplainOpenFailure(result != UPD_RECONNECT_FAILED);
        }
        note = FlashFailureNote(result, p.EndState(), FrontEnd::CommandLine, language_);
        report_.Problem(note);
    }
    // A TCP connection kept open by the reconnection ends with the update.
    p.m_handler.Close(0);

    report_.Json().Add("result", static_cast<int64_t>(result));
    report_.Json().Add("lastBlockResult", lastBlockResult);
    report_.Json().Add("newVersion", result == UPD_OK ? p.m_currentVersion : std::string());
    report_.Json().Add("newVersionMatches", result == UPD_OK && versionMatches);
    report_.Json().Add("message", message);
    report_.Json().Add("note", note);
    if (result == UPD_INTERRUPTED) {
        report_.Problem(message);
        return interrupts_->ExitStatus();
    }
    return result;
}

int CliSession::Interrupted() {
    std::string text = procedure_->InterruptionText(language_);
    if (text.empty()) {
        text = CliTextFormat(CliText::NothingChanged, language_);  // no flash sequence ran
    }
    report_.Problem(text);
    report_.Json().Add("message", text);
    return interrupts_->ExitStatus();
}

void CliSession::EndNow(int signal) {
    // On the watcher's thread, beside a main thread that may be blocked anywhere (in a FIFO's
    // open, in the middle of a line): only the log, which locks each line, and plain writes.
    const std::string name = InterruptWatch::SignalName(signal);
    const std::string text = FormatString(CliTextFormat(CliText::EndedBySignal, language_), {name});
    UpdateLog& log = procedure_->m_log;
    log.WriteLine("Ended by " + name + "; nothing was on its way to the Coder");
    report_.EndedNow(text, 128 + signal, log.IsOpen() ? log.Path() : std::string());
}

int CliSession::Finish(int status) {
    // The result is being written: a signal now lets it be written whole.
    interrupts_->SetTalkingToCoder(true);
    // Support asks for the log after a failure: its place is the failure's last line.
    const bool nameLog = status != 0 && status != kExitCannotCreate && procedure_->m_log.IsOpen();
    return report_.Finish(status, nameLog ? procedure_->LogPath() : std::string());
}

int CliSession::Run() {
    CZelkorTools::GetInstance().Initialize(0);
    StringManager& strings = StringManager::GetInstance();
    strings.LoadFromResource(kStringTableId);
    strings.SetLanguage(LanguageCode(language_));

    if (options_.verbosity == CliOptions::Verbosity::Verbose) {
        procedure_ = std::make_unique<EchoingProcedure>(
            *this, [this](const std::string& line) { report_.EchoFrame(line); });
    } else {
        procedure_ = std::make_unique<UpdateProcedure>(*this);
    }
    procedure_->logWindow->SetWakeup([this] {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            frameLogPending_ = true;
        }
        wake_.notify_one();
    });
    procedure_->SetConnectionChoice(options_.choice);
    interrupts_ = std::make_unique<InterruptWatch>([this](int) { Post(kInterruptRequest, 0, 0); },
                                                   [this](int signal) { EndNow(signal); });
    interrupts_->SetLastWords(CliTextFormat(CliText::EndedAtOnce, language_));

    int status = 0;
    if (!ChooseFiles(status) || !OpenLog(status)) {
        if (interrupts_->Interrupted()) {
            return Finish(Interrupted());
        }
        return Finish(status);
    }
    if (interrupts_->Interrupted()) {
        return Finish(Interrupted());
    }

    status = Identify();
    AddIdentifyJson();  // as found before any flashing
    if (interrupts_->Interrupted()) {
        return Finish(Interrupted());
    }
    if (options_.command == CliOptions::Command::Identify) {
        // The plan only where update would get to it.
        return Finish(status != 0 ? status : ReportDryRun(procedure_->Plan(), report_, language_));
    }
    if (status != 0) {
        return Finish(status);
    }
    // The warning itself was printed with the identification; the question does not repeat it.
    if (WarningAsked() && !Confirm(LoadText(verdict_.mainPortDiffers ? 223 : 221, language_),
                                   CliTextFormat(CliText::GoOnDespiteWarning, language_))) {
        return Finish(interrupts_->Interrupted() ? Interrupted() : kExitConfirmationNeeded);
    }
    if (interrupts_->Interrupted()) {
        return Finish(Interrupted());
    }
    return Finish(Flash());
}
