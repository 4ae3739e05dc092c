#include "cli/CliSession.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "cli/CliTexts.h"
#include "cli/InterruptWatch.h"
#include "console/TerminalText.h"
#include "console/TerminalWidth.h"
#include "transport/SerialPorts.h"
#include "uecp/FrameCodec.h"
#include "update/CZelkorTools.h"
#include "update/FirmwareBlocks.h"
#include "update/FirmwareFiles.h"
#include "update/LogLocation.h"
#include "update/OpenFailureTexts.h"
#include "update/PageLabels.h"
#include "update/ProcedureWaits.h"
#include "update/StringManager.h"
#include "update/UpdateLog.h"

namespace {

constexpr int kStringTableId = 135;
constexpr auto kProgressEventInterval = std::chrono::milliseconds(250);

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
      human_(options.json || options.events ? stderr : stdout),
      quiet_(options.verbosity == CliOptions::Verbosity::Quiet),
      events_(stdout, options.events),
      waits_(std::make_unique<WaitCountdown>(human_, isatty(fileno(human_)) != 0, !quiet_,
                                             [this] { return TerminalWidth(); })) {}

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
        waits_->Tick();
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
            if (progress_) {
                progress_->Hide();
            }
            Problem(CliTextFormat(CliText::StopRequested, language_));
            procedure_->WriteLog("Stop requested by " +
                                 InterruptWatch::SignalName(interrupts_->Signal()));
        }
        procedure_->RequestStop();
        return true;
    }
    if (event.message == WM_UPD_WAIT) {
        ShowWait(event.wParam, event.lParam);
        return true;
    }
    return false;
}

void CliSession::Info(const std::string& text) {
    if (!quiet_) {
        waits_->MakeRoom();
        std::fprintf(human_, "%s\n", EscapeForTerminal(text).c_str());
        std::fflush(human_);
    }
}

void CliSession::Problem(const std::string& text) {
    waits_->MakeRoom();
    std::fprintf(human_, "%s\n", EscapeForTerminal(text).c_str());
    std::fflush(human_);
}

void CliSession::Status(const std::string& text) {
    Info(text);
    events_.Emit("status", {{"text", text}});
}

void CliSession::Warning(const char* name, int64_t code, const std::string& text) {
    warnings_.push_back(name);
    events_.Emit("warning", {{"code", code}, {"name", name}, {"text", text}});
}

void CliSession::EchoFrame(const std::string& line) {
    if (progress_) {
        progress_->Hide();
    }
    waits_->MakeRoom();
    std::fprintf(stderr, "%s\n", line.c_str());
}

bool CliSession::Confirm(const std::string& question, const std::string& prompt) {
    const auto answered = [&](bool yes) {
        events_.Emit("question", {{"text", question}, {"answer", yes ? "yes" : "no"}});
        if (!yes) {
            confirmationRefused_ = true;
        }
        return yes;
    };
    if (options_.yes) {
        return answered(true);
    }
    if (!isatty(STDIN_FILENO)) {
        Problem(FormatString(CliTextFormat(CliText::ConfirmationNeeded, language_), {prompt}));
        return answered(false);
    }
    waits_->MakeRoom();
    std::fprintf(human_, "%s (y/N) ", EscapeForTerminal(prompt).c_str());
    std::fflush(human_);
    // Waits in steps, so that Ctrl-C at the question ends the run instead of waiting for Enter.
    for (;;) {
        if (interrupts_ && interrupts_->Interrupted()) {
            std::fputc('\n', human_);
            return answered(false);
        }
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (poll(&input, 1, 100) > 0) {
            break;
        }
    }
    std::string answer;
    std::getline(std::cin, answer);
    const bool yes = answer == "y" || answer == "Y" || answer == "yes" || answer == "j" ||
                     answer == "J" || answer == "ja";
    return answered(yes);
}

void CliSession::ExplainOpenFailure(bool withHint) {
    const OpenFailure& failure = procedure_->m_openFailure;
    if (!failure.failed()) {
        return;
    }
    const std::string reason = OpenFailureReason(failure, language_);
    const std::string hint = withHint ? OpenFailureHint(failure, language_) : std::string();
    Problem(reason);
    if (!hint.empty()) {
        Problem(CliTextFormat(CliText::HintLabel, language_) + hint);
    }
    json_.Add("failureKind", OpenFailureKindName(failure.kind));
    json_.Add("reason", reason);
    json_.Add("hint", hint);
}

void CliSession::ExplainAnswers() {
    const std::string reason = IdentificationReason(outcome_, procedure_->Evidence(), language_);
    if (reason.empty()) {
        return;
    }
    Problem(reason);
    const auto& object = json_.Object();
    const auto known = object.find("reason");
    json_.Add("reason", known != object.end() && known->is_string()
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
    Info(text);
    Warning("LATENCY_TIMER", 0, text);
    warnings_.pop_back();  // a note about speed, not a warning of the version checks
}

void CliSession::ShowWait(int64_t kind, int64_t maxMs) {
    if (kind == WAIT_NONE) {
        waits_->End();
        events_.Emit("wait", {{"kind", 0}});
        return;
    }
    const int64_t seconds = (maxMs + 999) / 1000;
    const std::string text = WaitText(kind, language_, seconds);
    if (!text.empty()) {
        // The regions are erased in order from region 0, one wait each.
        const int region = kind == WAIT_ERASE ? erasesSeen_++ : -1;
        if (progress_) {
            progress_->Hide();
        }
        const Language language = language_;
        waits_->Begin(kind * 16 + region + 1, maxMs, [kind, language, region](int64_t left) {
            return WaitText(kind, language, left, region);
        });
    }
    events_.Emit("wait", {{"kind", kind}, {"text", text}, {"maxMs", maxMs}});
}

int CliSession::TerminalWidth() const {
    return ::TerminalWidth(human_);
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

std::string CliSession::StageLabel(int stage) const {
    return procedure_->Plan().Label(stage, language_);
}

int64_t CliSession::StageBlocks(int stage) const {
    const FlashStage* planned = procedure_->Plan().Stage(stage);
    return planned != nullptr ? static_cast<int64_t>(planned->Blocks()) : 0;
}

void CliSession::AddFilesJson() {
    const UpdateProcedure& p = *procedure_;
    const auto pathOrNull = [](const std::string& path) {
        return path.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(path);
    };
    json_.Add("coderFile", pathOrNull(p.m_coderFile));
    json_.Add("samplesFile", pathOrNull(p.m_samplesFile));
    json_.Add("dspFile", pathOrNull(p.m_dspFile));
}

void CliSession::AddIdentifyJson() {
    const UpdateProcedure& p = *procedure_;
    json_.Add("outcome", static_cast<int64_t>(outcome_));
    json_.Add("mayUpdate", verdict_.mayGoOn);
    json_.Add("warnings", warnings_);
    json_.Add("currentVersion", FirmwareVersion(p));
    json_.Add("biosVersion", p.m_biosVersion);
    json_.Add("versionToFlash", p.m_versionToFlash);
    AddFilesJson();
    json_.Add("baudRate", static_cast<int64_t>(p.m_baudRate));
    json_.Add("biosRunning", p.m_biosRunning);
    json_.Add("transferMode", static_cast<int64_t>(p.m_transferMode));
    json_.Add("mainPort", static_cast<int64_t>(p.m_mainPort));
    json_.Add("status", verdict_.status.text);
    json_.Add("detail", verdict_.detail.text);
}

bool CliSession::ChooseFiles(int& status) {
    UpdateProcedure& p = *procedure_;
    const bool updating = options_.command == CliOptions::Command::Update;
    const auto coderOnly = [this, updating] {
        const std::string text = LoadText(208, language_);
        if (!updating) {
            Info(text.substr(0, text.find('\n')));
            Warning("DSP_FIRMWARE_MISSING", 208, text.substr(0, text.find('\n')));
            return true;
        }
        const bool go = Confirm(text, text);
        if (go) {
            Warning("DSP_FIRMWARE_MISSING", 208, text.substr(0, text.find('\n')));
        }
        return go;
    };

    if (!options_.coderFile.empty()) {
        // Files named one by one, e.g. from a download folder that holds other files too.
        struct stat info {};
        std::string problem;
        if (stat(options_.coderFile.c_str(), &info) != 0) {
            problem = std::strerror(errno);
        } else if (!S_ISREG(info.st_mode)) {
            problem = "not a regular file";
        }
        if (!problem.empty()) {
            coderFileMissing_ = true;
            Problem(LoadText(207, language_));
            Problem(FormatString(CliTextFormat(CliText::NoCoderFile, language_),
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
            Problem(LoadText(207, language_));
        },
        coderOnly);
    if (!p.DiscoverFirmwareFiles(questions)) {
        if (coderFileMissing_) {
            Problem(CliTextFormat(CliText::HintLabel, language_) +
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
            Problem(where);
        } else {
            Info(where);
        }
        events_.Emit("log", {{"path", p.LogPath()}});
        json_.Add("logPath", p.LogPath());
        const LogRotation& rotation = p.LogRotationProblem();
        if (rotation.Failed()) {
            const std::string text = FormatString(CliTextFormat(CliText::LogNotKept, language_),
                                                  {rotation.stuck, rotation.reason, p.LogPath()});
            Problem(text);
            Warning("LOG_NOT_KEPT", 0, text);
            warnings_.pop_back();  // about the log, not a warning of the version checks
        }
        return true;
    }
    if (named) {
        // Named by the user: a log that cannot be written is an error now, not after the run.
        std::FILE* probe = std::fopen(path.c_str(), "a");
        const std::string reason = probe == nullptr ? std::strerror(errno) : "cannot be opened";
        if (probe != nullptr) {
            std::fclose(probe);
        }
        Problem(FormatString(CliTextFormat(CliText::CannotWriteLog, language_), {path, reason}));
        status = kExitCannotCreate;
        return false;
    }
    std::fprintf(stderr, "%s\n", CliTextFormat(CliText::NoLog, language_).c_str());
    std::fflush(stderr);
    events_.Emit("log", {{"path", nullptr}});
    json_.AddNull("logPath");
    return true;
}

int CliSession::Identify() {
    interrupts_->SetTalkingToCoder(true);
    procedure_->StartIdentification();
    Status(LoadText(201, language_));
    for (;;) {
        const Event event = NextEvent();
        if (HandleCommonEvent(event)) {
            continue;
        }
        if (event.message == kDirectStatus) {
            Status(LoadText(static_cast<int>(event.wParam), language_));
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
    const auto show = [&](const std::string& text) { failed ? Problem(text) : Info(text); };
    if (verdict_.status.changed) {
        // With -q the status is identify's final line.
        if (options_.command == CliOptions::Command::Identify) {
            Problem(verdict_.status.text);
        } else {
            show(verdict_.status.text);
        }
    }
    if (verdict_.detail.changed && !verdict_.detail.text.empty()) {
        // A warning is printed once, also with -q, before update asks whether to go on.
        if (verdict_.detail.errorStyle) {
            Problem(verdict_.detail.text);
        } else {
            show(verdict_.detail.text);
        }
    }
    if (verdict_.mainPortDiffers) {
        Problem(FormatString(CliTextFormat(CliText::MainPortReported, language_),
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
        if (quiet_ && options_.command == CliOptions::Command::Identify) {
            Problem(current + "; " + toFlash);  // the final line of identify -q
        } else {
            Info(current);
            Info(toFlash);
        }
    }
    const std::string sameVersion = SameVersionNote();
    if (!sameVersion.empty()) {
        // Said before update asks about a warning: the answer may well be no then.
        WarningAsked() ? Problem(sameVersion) : Info(sameVersion);
    }
    if (verdict_.warning == UPD_BIOS_VERSION_UNKNOWN) {
        Warning("BIOS_VERSION_UNKNOWN", UPD_BIOS_VERSION_UNKNOWN, verdict_.detail.text);
    }
    if (verdict_.mainPortDiffers) {
        Warning("NOT_MAIN_PORT", 223, verdict_.detail.text);
    }
    if ((outcome_ == UPD_NO_BAUD_RATE && !portRefused) || outcome_ == UPD_CONNECT_FAILED) {
        ExplainOpenFailure();
    } else {
        NoteLatencyTimer();
    }
    if (!verdict_.mayGoOn) {
        ExplainAnswers();
    }
    events_.Emit("identified", {{"outcome", outcome_},
                                {"currentVersion", FirmwareVersion(p)},
                                {"biosVersion", p.m_biosVersion},
                                {"biosRunning", p.m_biosRunning},
                                {"versionToFlash", p.m_versionToFlash},
                                {"mayUpdate", verdict_.mayGoOn},
                                {"warnings", warnings_}});
    if (interruptRequested_) {
        return interrupts_->ExitStatus();
    }
    return verdict_.mayGoOn ? 0 : verdict_.stopCode;
}

int CliSession::DryRun() {
    // What update would do with these files, and whether it would refuse one before sending:
    // the plan the flash sequence would check, checked here the same way.
    FlashPlan plan = procedure_->Plan();
    const FlashStage* refused = plan.Check();
    std::string regionText;
    nlohmann::ordered_json erase = nlohmann::ordered_json::array();
    for (const int region : plan.EraseRegions()) {
        regionText += (regionText.empty() ? "" : ", ") + std::to_string(region);
        erase.push_back(region);
    }
    Info(FormatString(CliTextFormat(CliText::WouldErase, language_), {regionText}));
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const FlashStage& stage : plan.Stages()) {
        const FileCheck& check = stage.check;
        char segment[8];
        std::snprintf(segment, sizeof segment, "%04X", stage.segmentBase);
        Info(FormatString(
            CliTextFormat(CliText::FileToFlash, language_),
            {plan.Label(stage.number, language_), stage.path, static_cast<int64_t>(check.size),
             static_cast<int64_t>(stage.Blocks()), std::string(segment)}));
        files.push_back(
            {{"stage", stage.number},
             {"path", stage.path},
             {"size", check.size},
             {"blocks", stage.Blocks()},
             {"segment", segment},
             {"problem", check.problem.empty() ? nlohmann::ordered_json(nullptr)
                                               : nlohmann::ordered_json(check.problem)}});
        if (!check.problem.empty()) {
            Problem(FormatString(CliTextFormat(CliText::FileCannotBeRead, language_),
                                 {stage.path, check.problem}));
        }
    }
    json_.Add("plan", nlohmann::ordered_json{{"eraseRegions", erase}, {"files", files}});
    if (refused == nullptr) {
        return 0;
    }
    Problem(UpdateResultText(refused->openFailedCode, 0, language_));
    return refused->openFailedCode;
}

int CliSession::Flash() {
    UpdateProcedure& p = *procedure_;
    const bool terminal = isatty(fileno(human_)) != 0;
    progress_ = std::make_unique<ProgressDisplay>(human_, terminal, !quiet_,
                                                  [this] { return TerminalWidth(); });
    erasesSeen_ = 0;
    int stage = 1;
    int32_t result = UPD_OK;
    int64_t lastBlockResult = ERR_OK;
    auto lastProgressEvent = std::chrono::steady_clock::time_point{};
    int lastPercent = -1;

    // Until the program ends: what the flash sequence left is reported, whatever comes.
    interrupts_->SetTalkingToCoder(true);
    p.StartFlashing();
    if (p.m_biosRunning) {
        // "Transferring data..." before the BIOS is even connected, and again before the
        // erase: on the screen only where it is true.
        events_.Emit("status", {{"text", LoadText(212, language_)}});
    } else {
        Status(LoadText(211, language_));
    }
    for (bool finished = false; !finished;) {
        const Event event = NextEvent();
        if (HandleCommonEvent(event)) {
            continue;
        }
        switch (event.message) {
            case WM_UPD_STATUS:
                progress_->Finish();
                Status(LoadText(static_cast<int>(event.wParam), language_));
                break;
            case WM_UPD_STAGE:
                progress_->Finish();
                if (event.wParam >= 1 && event.wParam <= 3) {
                    stage = static_cast<int>(event.wParam);
                    Info(StageLabel(stage));
                    events_.Emit("stage", {{"stage", stage}, {"label", StageLabel(stage)}});
                }
                break;
            case WM_UPD_PROGRESS_RANGE:
                waits_->MakeRoom();
                progress_->Start(StageBlocks(stage));
                lastPercent = -1;
                break;
            case WM_UPD_PROGRESS_STEP: {
                progress_->Step();
                const auto now = std::chrono::steady_clock::now();
                const bool last = progress_->Done() >= progress_->Total();
                if (events_.Enabled() &&
                    (last || (progress_->Percent() != lastPercent &&
                              now - lastProgressEvent >= kProgressEventInterval))) {
                    lastProgressEvent = now;
                    lastPercent = progress_->Percent();
                    events_.Emit("progress",
                                 {{"stage", stage},
                                  {"blocksDone", progress_->Done()},
                                  {"blocksTotal", progress_->Total()},
                                  {"percent", progress_->Percent()},
                                  {"bytesPerSecond",
                                   static_cast<int64_t>(progress_->BytesPerSecond() + 0.5)}});
                }
                break;
            }
            case WM_UPD_FINISHED:
                progress_->Finish();
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
    progress_.reset();

    std::string message;
    std::string note;
    bool versionMatches = false;
    if (result == UPD_OK) {
        p.WriteLog("Update finished successfully.");
        p.WriteLog("New firmware version:  " + p.m_currentVersion);
        message = LoadText(215, language_);
        Problem(message);
        Info(std::string(PageLabelText(PageLabel::NewVersion, language_)) + p.m_currentVersion);
        const std::string expected = VersionOfFile(p.m_coderFile);
        versionMatches = p.m_currentVersion == expected;
        if (!versionMatches) {
            const std::string text = FormatString(
                CliTextFormat(CliText::VersionMismatch, language_), {p.m_currentVersion, expected});
            Problem(text);
            Warning("NEW_VERSION_DIFFERS", 0, text);
            warnings_.pop_back();  // the warnings list is the version checks' before flashing
        }
    } else if (result == UPD_INTERRUPTED) {
        message = p.InterruptionText(language_);
    } else {
        message = UpdateResultText(result, static_cast<int32_t>(lastBlockResult), language_);
        Problem(LoadText(214, language_));
        Problem(message);
        for (const FlashStage& stage : p.Plan().Stages()) {
            // Refused before anything was sent: why, as the dry run says it.
            if (stage.openFailedCode == result && !stage.check.problem.empty()) {
                Problem(FormatString(CliTextFormat(CliText::FileCannotBeRead, language_),
                                     {stage.path, stage.check.problem}));
            }
        }
        if (result == UPD_CONNECT_FAILED || result == UPD_BIOS_CONNECT_FAILED ||
            result == UPD_RECONNECT_FAILED) {
            // After a complete flash a refused reconnection is the coder restarting, not the
            // cabling: the note below says what to do.
            ExplainOpenFailure(result != UPD_RECONNECT_FAILED);
        }
        note = FlashFailureNote(result, p.EndState(), FrontEnd::CommandLine, language_);
        Problem(note);
    }
    // A TCP connection kept open by the reconnection ends with the update.
    p.m_handler.Close(0);

    json_.Add("result", static_cast<int64_t>(result));
    json_.Add("lastBlockResult", lastBlockResult);
    json_.Add("newVersion", result == UPD_OK ? p.m_currentVersion : std::string());
    json_.Add("newVersionMatches", result == UPD_OK && versionMatches);
    json_.Add("message", message);
    json_.Add("note", note);
    if (result == UPD_INTERRUPTED) {
        Problem(message);
        return interrupts_->ExitStatus();
    }
    return result;
}

int CliSession::Interrupted() {
    std::string text = procedure_->InterruptionText(language_);
    if (text.empty()) {
        text = CliTextFormat(CliText::NothingChanged, language_);  // no flash sequence ran
    }
    Problem(text);
    json_.Add("message", text);
    return interrupts_->ExitStatus();
}

void CliSession::EndNow(int signal) {
    // On the watcher's thread, beside a main thread that may be blocked anywhere (in a FIFO's
    // open, in the middle of a line): only the log, which locks each line, and plain writes.
    const std::string name = InterruptWatch::SignalName(signal);
    const int status = 128 + signal;
    const std::string text = FormatString(CliTextFormat(CliText::EndedBySignal, language_), {name});
    UpdateLog& log = procedure_->m_log;
    log.WriteLine("Ended by " + name + "; nothing was on its way to the Coder");
    const bool logged = log.IsOpen();
    const std::string logPath = log.Path();
    std::string words = "\ntarvelin-cli: " + EscapeForTerminal(text) + "\n";
    if (logged) {
        words += FormatString(CliTextFormat(CliText::LogAt, language_), {logPath}) + "\n";
    }
    const auto put = [](int fd, const std::string& bytes) {
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return;
            }
            done += static_cast<size_t>(n);
        }
    };
    put(STDERR_FILENO, words);
    nlohmann::ordered_json result = nlohmann::ordered_json::object();
    result["logPath"] = logged ? nlohmann::ordered_json(logPath) : nlohmann::ordered_json(nullptr);
    result["message"] = text;
    result["exitStatus"] = status;
    if (options_.json) {
        put(STDOUT_FILENO, JsonWriter::Line(result) + "\n");
    }
    if (events_.Enabled()) {
        nlohmann::ordered_json line = {{"event", "result"}};
        line.update(result);
        put(STDOUT_FILENO, JsonWriter::Line(line) + "\n");
    }
}

int CliSession::Finish(int status) {
    // The result is being written: a signal now lets it be written whole.
    interrupts_->SetTalkingToCoder(true);
    waits_->MakeRoom();
    // Support asks for the log after a failure: its place is the failure's last line.
    if (status != 0 && status != kExitCannotCreate && procedure_->m_log.IsOpen()) {
        Problem(FormatString(CliTextFormat(CliText::LogAt, language_), {procedure_->LogPath()}));
    }
    json_.Add("exitStatus", static_cast<int64_t>(status));
    if (options_.json) {
        std::printf("%s\n", json_.Text().c_str());
        std::fflush(stdout);
    }
    if (events_.Enabled()) {
        events_.Emit("result", json_.Object());
    }
    return status;
}

int CliSession::Run() {
    CZelkorTools::GetInstance().Initialize(0);
    StringManager& strings = StringManager::GetInstance();
    strings.LoadFromResource(kStringTableId);
    strings.SetLanguage(LanguageCode(language_));

    if (options_.verbosity == CliOptions::Verbosity::Verbose) {
        procedure_ = std::make_unique<EchoingProcedure>(
            *this, [this](const std::string& line) { EchoFrame(line); });
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
        return Finish(status != 0 ? status : DryRun());
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
