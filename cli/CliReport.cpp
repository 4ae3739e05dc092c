#include "cli/CliReport.h"

#include <iostream>

#include "cli/CliTexts.h"
#include "console/ConsoleInput.h"
#include "console/ConsoleOutput.h"
#include "console/EndNow.h"
#include "console/EventNames.h"
#include "console/TerminalText.h"
#include "console/TerminalWidth.h"
#include "update/ProcedureWaits.h"

namespace {

constexpr auto kProgressEventInterval = std::chrono::milliseconds(250);

}  // namespace

CliReport::CliReport(const CliOptions& options, Language language)
    : language_(language),
      human_(options.json || options.events ? stderr : stdout),
      quiet_(options.verbosity == CliOptions::Verbosity::Quiet),
      yes_(options.yes),
      jsonWanted_(options.json),
      events_(stdout, options.events),
      waits_(std::make_unique<WaitCountdown>(human_, IsTerminal(human_), !quiet_,
                                             [this] { return TerminalWidth(); })) {}

void CliReport::Info(const std::string& text) {
    if (!quiet_) {
        waits_->MakeRoom();
        std::fprintf(human_, "%s\n", EscapeForTerminal(text).c_str());
        std::fflush(human_);
    }
}

void CliReport::Problem(const std::string& text) {
    waits_->MakeRoom();
    std::fprintf(human_, "%s\n", EscapeForTerminal(text).c_str());
    std::fflush(human_);
}

void CliReport::Aside(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

void CliReport::Status(const std::string& text) {
    Info(text);
    events_.Emit(kEventStatus, {{"text", text}});
}

void CliReport::Warning(const char* name, int64_t code, const std::string& text) {
    warnings_.push_back(name);
    Notice(name, code, text);
}

void CliReport::Notice(const char* name, int64_t code, const std::string& text) {
    events_.Emit(kEventWarning, {{"code", code}, {"name", name}, {"text", text}});
}

void CliReport::EchoFrame(const std::string& line) {
    HideProgress();
    waits_->MakeRoom();
    std::fprintf(stderr, "%s\n", line.c_str());
}

void CliReport::Event(const char* name, nlohmann::ordered_json members) {
    events_.Emit(name, std::move(members));
}

bool CliReport::Confirm(const std::string& question, const std::string& prompt,
                        const std::function<bool()>& interrupted) {
    const auto answered = [&](bool yes) {
        events_.Emit(kEventQuestion, {{"text", question}, {"answer", yes ? "yes" : "no"}});
        return yes;
    };
    if (yes_) {
        return answered(true);
    }
    if (!StandardInputIsTerminal()) {
        Problem(FormatString(CliTextFormat(CliText::ConfirmationNeeded, language_), {prompt}));
        return answered(false);
    }
    waits_->MakeRoom();
    std::fprintf(human_, "%s (y/N) ", EscapeForTerminal(prompt).c_str());
    std::fflush(human_);
    // Waits in steps, so that Ctrl-C at the question ends the run instead of waiting for Enter.
    for (;;) {
        if (interrupted()) {
            std::fputc('\n', human_);
            return answered(false);
        }
        if (WaitStandardInputLine(std::chrono::milliseconds(100))) {
            break;
        }
    }
    std::string answer;
    std::getline(std::cin, answer);
    const bool yes = answer == "y" || answer == "Y" || answer == "yes" || answer == "j" ||
                     answer == "J" || answer == "ja";
    return answered(yes);
}

void CliReport::ShowWait(int64_t kind, int64_t maxMs) {
    if (kind == WAIT_NONE) {
        waits_->End();
        events_.Emit(kEventWait, {{"kind", 0}});
        return;
    }
    const int64_t seconds = (maxMs + 999) / 1000;
    const std::string text = WaitText(kind, language_, seconds);
    if (!text.empty()) {
        // The regions are erased in order from region 0, one wait each.
        const int region = kind == WAIT_ERASE ? erasesSeen_++ : -1;
        HideProgress();
        const Language language = language_;
        waits_->Begin(kind * 16 + region + 1, maxMs, [kind, language, region](int64_t left) {
            return WaitText(kind, language, left, region);
        });
    }
    events_.Emit(kEventWait, {{"kind", kind}, {"text", text}, {"maxMs", maxMs}});
}

void CliReport::Tick() {
    waits_->Tick();
}

void CliReport::BeginProgress() {
    const bool terminal = IsTerminal(human_);
    progress_ = std::make_unique<ProgressDisplay>(human_, terminal, !quiet_,
                                                  [this] { return TerminalWidth(); });
    erasesSeen_ = 0;
}

void CliReport::ProgressRange(int64_t blocks) {
    waits_->MakeRoom();
    progress_->Start(blocks);
    lastPercent_ = -1;
}

void CliReport::ProgressStep(int stage) {
    progress_->Step();
    const auto now = std::chrono::steady_clock::now();
    const bool last = progress_->Done() >= progress_->Total();
    if (events_.Enabled() && (last || (progress_->Percent() != lastPercent_ &&
                                       now - lastProgressEvent_ >= kProgressEventInterval))) {
        lastProgressEvent_ = now;
        lastPercent_ = progress_->Percent();
        events_.Emit(kEventProgress,
                     {{"stage", stage},
                      {"blocksDone", progress_->Done()},
                      {"blocksTotal", progress_->Total()},
                      {"percent", progress_->Percent()},
                      {"bytesPerSecond", static_cast<int64_t>(progress_->BytesPerSecond() + 0.5)}});
    }
}

void CliReport::FinishProgress() {
    if (progress_) {
        progress_->Finish();
    }
}

void CliReport::HideProgress() {
    if (progress_) {
        progress_->Hide();
    }
}

void CliReport::EndProgress() {
    progress_.reset();
}

int CliReport::Finish(int status, const std::string& logPath) {
    waits_->MakeRoom();
    if (!logPath.empty()) {
        Problem(FormatString(CliTextFormat(CliText::LogAt, language_), {logPath}));
    }
    json_.Add("exitStatus", static_cast<int64_t>(status));
    if (jsonWanted_) {
        std::printf("%s\n", json_.Text().c_str());
        std::fflush(stdout);
    }
    if (events_.Enabled()) {
        events_.Emit(kEventResult, json_.Object());
    }
    return status;
}

void CliReport::EndedNow(const std::string& text, int status, const std::string& logPath) const {
    std::string words = "\ntarvelin-cli: " + EscapeForTerminal(text) + "\n";
    if (!logPath.empty()) {
        words += FormatString(CliTextFormat(CliText::LogAt, language_), {logPath}) + "\n";
    }
    WriteNow(stderr, words);
    nlohmann::ordered_json result = nlohmann::ordered_json::object();
    result["logPath"] =
        logPath.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(logPath);
    result["message"] = text;
    result["exitStatus"] = status;
    if (jsonWanted_) {
        WriteNow(stdout, JsonWriter::Line(result) + "\n");
    }
    if (events_.Enabled()) {
        nlohmann::ordered_json line = {{"event", kEventResult}};
        line.update(result);
        WriteNow(stdout, JsonWriter::Line(line) + "\n");
    }
}

int CliReport::TerminalWidth() const {
    return ::TerminalWidth(human_);
}
