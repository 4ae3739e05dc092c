#include "cli/CliSession.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "transport/SerialPorts.h"
#include "update/CZelkorTools.h"
#include "update/PageLabels.h"
#include "update/StringManager.h"

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

}  // namespace

CliSession::CliSession(const CliOptions& options)
    : options_(options),
      language_(options.language.value_or(SystemLanguage())),
      human_(options.json ? stderr : stdout) {}

CliSession::~CliSession() {
    procedure_.reset();
}

void CliSession::Post(uint32_t message, int64_t wParam, int64_t lParam) {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        events_.push_back(Event{message, wParam, lParam});
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
        std::unique_lock<std::mutex> hold(mutex_);
        wake_.wait_for(hold, std::chrono::milliseconds(200),
                       [this] { return !events_.empty() || frameLogPending_; });
        frameLogPending_ = false;
        if (!events_.empty()) {
            const Event event = events_.front();
            events_.pop_front();
            hold.unlock();
            DrainFrameLog();  // frames before the message come first in the log
            return event;
        }
    }
}

void CliSession::Say(const std::string& text) {
    std::fprintf(human_, "%s\n", text.c_str());
    std::fflush(human_);
}

bool CliSession::Confirm(const std::string& question) {
    if (options_.yes) {
        return true;
    }
    if (!isatty(STDIN_FILENO)) {
        Say("Confirmation needed: " + question + " Run again with --yes to go on.");
        confirmationRefused_ = true;
        return false;
    }
    std::fprintf(human_, "%s (y/N) ", question.c_str());
    std::fflush(human_);
    std::string answer;
    std::getline(std::cin, answer);
    const bool yes = answer == "y" || answer == "Y" || answer == "yes" || answer == "j" ||
                     answer == "J" || answer == "ja";
    if (!yes) {
        confirmationRefused_ = true;
    }
    return yes;
}

void CliSession::ExplainConnectFailure() {
    const ConnectionChoice& choice = options_.choice;
    if (choice.connectionType != kConnectionTypeSerial) {
        Say("hint: check that the NetPC at " + choice.tcpAddress + ":" +
            std::to_string(choice.tcpPort) + " is reachable");
        return;
    }
    const std::string device =
        choice.serialDevice.empty() ? ResolveComPort(choice.serialPort) : choice.serialDevice;
    struct stat info {};
    if (device.empty() || stat(device.c_str(), &info) != 0) {
        Say("hint: there is no serial device " + (device.empty() ? "for this port" : device));
    } else if (access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
        Say("hint: you may not open " + device +
            "; add your user to the dialout group (sudo usermod -aG dialout $USER) and log in "
            "again");
    }
}

std::string CliSession::StageLabel(int stage) const {
    if (stage == 1) {
        return PageLabelText(PageLabel::Stage1, language_);
    }
    if (stage == 2 && !procedure_->m_samplesFile.empty()) {
        return PageLabelText(PageLabel::Stage2, language_);
    }
    std::string label = PageLabelText(PageLabel::Stage3, language_);
    if (stage == 2) {
        label[0] = '2';  // the DSP firmware is the second stage without samples
    }
    return label;
}

int64_t CliSession::StageBlocks(int stage) const {
    const std::string* path = &procedure_->m_coderFile;
    if (stage == 2) {
        path =
            procedure_->m_samplesFile.empty() ? &procedure_->m_dspFile : &procedure_->m_samplesFile;
    } else if (stage == 3) {
        path = &procedure_->m_dspFile;
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(*path, error);
    return error ? 0 : static_cast<int64_t>(BlockCount(size));
}

void CliSession::AddIdentifyJson() {
    const UpdateProcedure& p = *procedure_;
    json_.Add("outcome", static_cast<int64_t>(outcome_));
    json_.Add("mayUpdate", verdict_.mayGoOn);
    json_.Add("warnings", warnings_);
    json_.Add("currentVersion", p.m_currentVersion);
    json_.Add("biosVersion", p.m_biosVersion);
    json_.Add("versionToFlash", p.m_versionToFlash);
    json_.Add("baudRate", static_cast<int64_t>(p.m_baudRate));
    json_.Add("biosRunning", p.m_biosRunning);
    json_.Add("transferMode", static_cast<int64_t>(p.m_transferMode));
    json_.Add("mainPort", static_cast<int64_t>(p.m_mainPort));
    json_.Add("status", verdict_.status.text);
    json_.Add("detail", verdict_.detail.text);
}

int CliSession::Identify() {
    procedure_->StartIdentification();
    Say(LoadText(201, language_));
    for (;;) {
        const Event event = NextEvent();
        if (event.message == kDirectStatus) {
            Say(LoadText(static_cast<int>(event.wParam), language_));
        } else if (event.message == WM_UPD_IDENTIFIED) {
            outcome_ = static_cast<int32_t>(event.wParam);
            break;
        }
    }
    procedure_->WaitForWorker();
    DrainFrameLog();

    const UpdateProcedure& p = *procedure_;
    verdict_ = DecideIdentification(outcome_, p.StateForChecks(), language_);
    if (!options_.choice.serialDevice.empty()) {
        // A port given as a device path has no COM number: name the device instead of COM0.
        const size_t at = verdict_.status.text.find("COM0");
        if (at != std::string::npos) {
            verdict_.status.text.replace(at, 4, options_.choice.serialDevice);
        }
    }

    if (verdict_.status.changed) {
        Say(verdict_.status.text);
    }
    if (verdict_.detail.changed && !verdict_.detail.text.empty()) {
        Say(verdict_.detail.text);
    }
    if (verdict_.hint.changed) {
        Say(verdict_.hint.text);
    }
    if (verdict_.showVersions) {
        Say(std::string(PageLabelText(PageLabel::CurrentVersion, language_)) + " " +
            p.m_currentVersion);
        Say(std::string(PageLabelText(PageLabel::VersionToFlash, language_)) + " " +
            p.m_versionToFlash);
    }
    if (verdict_.warning == UPD_BIOS_VERSION_UNKNOWN) {
        warnings_.push_back("BIOS_VERSION_UNKNOWN");
    }
    if (verdict_.mainPortDiffers) {
        warnings_.push_back("NOT_MAIN_PORT");
    }
    if (outcome_ == UPD_NO_BAUD_RATE || outcome_ == UPD_CONNECT_FAILED) {
        ExplainConnectFailure();
    }
    return verdict_.mayGoOn ? 0 : verdict_.stopCode;
}

int CliSession::Flash() {
    UpdateProcedure& p = *procedure_;
    const bool terminal = isatty(fileno(human_)) != 0;
    ProgressDisplay progress(human_, terminal);
    int stage = 1;
    int32_t result = UPD_OK;
    int64_t lastBlockResult = ERR_OK;

    p.StartFlashing();
    Say(LoadText(p.m_biosRunning ? 212 : 211, language_));
    for (bool finished = false; !finished;) {
        const Event event = NextEvent();
        switch (event.message) {
            case WM_UPD_STATUS:
                progress.Finish();
                Say(LoadText(static_cast<int>(event.wParam), language_));
                break;
            case WM_UPD_STAGE:
                progress.Finish();
                if (event.wParam >= 1 && event.wParam <= 3) {
                    stage = static_cast<int>(event.wParam);
                    Say(StageLabel(stage));
                }
                break;
            case WM_UPD_PROGRESS_RANGE:
                progress.Start(StageLabel(stage), StageBlocks(stage));
                break;
            case WM_UPD_PROGRESS_STEP:
                progress.Step();
                break;
            case WM_UPD_FINISHED:
                progress.Finish();
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

    std::string message;
    if (result == UPD_OK) {
        p.WriteLog("Update finished successfully.");
        p.WriteLog("New firmware version:  " + p.m_currentVersion);
        message = LoadText(215, language_);
        Say(message);
        Say(std::string(PageLabelText(PageLabel::NewVersion, language_)) + p.m_currentVersion);
    } else {
        message = UpdateResultText(result, static_cast<int32_t>(lastBlockResult), language_);
        Say(LoadText(214, language_));
        Say(message);
        Say("Log: " + p.LogPath());
    }
    // A TCP connection kept open by the reconnection ends with the update.
    p.m_handler.Close(0);

    json_.Add("result", static_cast<int64_t>(result));
    json_.Add("lastBlockResult", lastBlockResult);
    json_.Add("newVersion", result == UPD_OK ? p.m_currentVersion : std::string());
    json_.Add("message", message);
    return result;
}

int CliSession::Run() {
    CZelkorTools::GetInstance().Initialize(0);
    StringManager& strings = StringManager::GetInstance();
    strings.LoadFromResource(kStringTableId);
    strings.SetLanguage(LanguageCode(language_));

    procedure_ = std::make_unique<UpdateProcedure>(*this);
    procedure_->logWindow->SetWakeup([this] {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            frameLogPending_ = true;
        }
        wake_.notify_one();
    });
    procedure_->SetConnectionChoice(options_.choice);
    if (!options_.firmwareDirectory.empty()) {
        procedure_->SetFirmwareDirectory(options_.firmwareDirectory);
    }
    if (!options_.logPath.empty()) {
        procedure_->SetLogPath(options_.logPath);
    }

    const bool updating = options_.command == CliOptions::Command::Update;
    CliQuestions questions(
        [this] {
            coderFileMissing_ = true;
            Say(LoadText(207, language_));
        },
        [this, updating] {
            const std::string text = LoadText(208, language_);
            if (!updating) {
                Say(text.substr(0, text.find('\n')));
                warnings_.push_back("DSP_FIRMWARE_MISSING");
                return true;
            }
            const bool go = Confirm(text);
            if (go) {
                warnings_.push_back("DSP_FIRMWARE_MISSING");
            }
            return go;
        });

    int status = 0;
    if (!procedure_->DiscoverFirmwareFiles(questions)) {
        status = coderFileMissing_ ? kExitNoFirmware : kExitConfirmationNeeded;
    } else {
        status = Identify();
        AddIdentifyJson();  // as found before any flashing
        if (updating && status == 0) {
            const bool warned =
                verdict_.warning == UPD_BIOS_VERSION_UNKNOWN || verdict_.mainPortDiffers;
            if (warned && !Confirm(LoadText(verdict_.mainPortDiffers ? 223 : 221, language_))) {
                status = kExitConfirmationNeeded;
            } else {
                status = Flash();
            }
        }
    }
    if (options_.json) {
        if (status == kExitNoFirmware || status == kExitConfirmationNeeded) {
            json_.Add("exitStatus", static_cast<int64_t>(status));
        }
        std::printf("%s\n", json_.Text().c_str());
        std::fflush(stdout);
    }
    return status;
}
