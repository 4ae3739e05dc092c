#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/EventStream.h"
#include "cli/JsonWriter.h"
#include "cli/ProgressDisplay.h"
#include "cli/WaitCountdown.h"
#include "update/ProcedureSink.h"
#include "update/ProcedureVerdicts.h"
#include "update/UpdateProcedure.h"

class InterruptWatch;

// Runs identify or update from a terminal or a script: the procedure's messages and the frame
// log are handled on the main thread, in posting order, as the wizard handles them. Human text
// goes to standard output, or to standard error when --json or --events own standard output.
class CliSession : public ProcedureSink {
public:
    explicit CliSession(const CliOptions& options);
    ~CliSession() override;

    // The exit status.
    int Run();

    void Post(uint32_t message, int64_t wParam, int64_t lParam) override;
    void SetIdentifyStatus(int textNumber) override;

private:
    struct Event {
        uint32_t message;
        int64_t wParam;
        int64_t lParam;
    };
    // Stand for the identification thread's direct status write and for Ctrl-C; both beside
    // the procedure's own messages.
    static constexpr uint32_t kDirectStatus = 0x8100;
    static constexpr uint32_t kInterruptRequest = 0x8101;

    Event NextEvent();
    // Handles what every loop handles alike; true when the event is used up.
    bool HandleCommonEvent(const Event& event);
    void DrainFrameLog();

    // Human output: Info is left out by -q, Problem and Final never.
    void Info(const std::string& text);
    void Problem(const std::string& text);
    void Status(const std::string& text);
    void Warning(const char* name, int64_t code, const std::string& text);
    void EchoFrame(const std::string& line);
    // `question` goes into the events, `prompt` to the user.
    bool Confirm(const std::string& question, const std::string& prompt);

    bool ChooseFiles(int& status);
    bool OpenLog(int& status);
    int Identify();
    int DryRun();
    int Flash();
    // The system's reason for a refused opening, and what to do unless `withHint` is false.
    void ExplainOpenFailure(bool withHint = true);
    // What came back, where an identification that may not go on has no system reason.
    void ExplainAnswers();
    void NoteLatencyTimer();
    void ShowWait(int64_t kind, int64_t maxMs);
    int TerminalWidth() const;
    // update asks before it flashes despite a warning of the version checks.
    bool WarningAsked() const;
    std::string SameVersionNote() const;
    std::string StageLabel(int stage) const;
    int64_t StageBlocks(int stage) const;
    void AddIdentifyJson();
    void AddFilesJson();
    int Interrupted();
    // A signal while nothing is on its way to the coder: says so and leaves the result line.
    void EndNow(int signal);
    int Finish(int status);

    CliOptions options_;
    Language language_;
    std::FILE* human_;
    bool quiet_;
    EventStream events_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Event> queue_;
    bool frameLogPending_ = false;

    bool coderFileMissing_ = false;
    bool confirmationRefused_ = false;
    bool interruptRequested_ = false;
    bool identified_ = false;
    bool latencyNoted_ = false;
    std::vector<std::string> warnings_;
    int32_t outcome_ = -1;
    IdentificationVerdict verdict_;
    JsonWriter json_;
    std::unique_ptr<ProgressDisplay> progress_;
    std::unique_ptr<WaitCountdown> waits_;
    int erasesSeen_ = 0;
    std::unique_ptr<InterruptWatch> interrupts_;

    // Last, so it goes first: its worker may still post into the members above.
    std::unique_ptr<UpdateProcedure> procedure_;
};
