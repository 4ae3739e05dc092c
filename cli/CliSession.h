#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "cli/CliReport.h"
#include "cli/CommandLine.h"
#include "update/ProcedureSink.h"
#include "update/ProcedureVerdicts.h"
#include "update/UpdateProcedure.h"

class InterruptWatch;

// Runs identify or update from a terminal or a script: the procedure's messages and the frame
// log are handled on the main thread, in posting order, as the wizard handles them; what the
// run tells goes through its CliReport.
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

    // `question` goes into the events, `prompt` to the user.
    bool Confirm(const std::string& question, const std::string& prompt);

    bool ChooseFiles(int& status);
    bool OpenLog(int& status);
    int Identify();
    int Flash();
    // The system's reason for a refused opening, and what to do unless `withHint` is false.
    void ExplainOpenFailure(bool withHint = true);
    // What came back, where an identification that may not go on has no system reason.
    void ExplainAnswers();
    void NoteLatencyTimer();
    // update asks before it flashes despite a warning of the version checks.
    bool WarningAsked() const;
    std::string SameVersionNote() const;
    void AddIdentifyJson();
    void AddFilesJson();
    int Interrupted();
    // A signal while nothing is on its way to the coder: says so and leaves the result line.
    void EndNow(int signal);
    int Finish(int status);

    CliOptions options_;
    Language language_;
    CliReport report_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Event> queue_;
    bool frameLogPending_ = false;

    bool coderFileMissing_ = false;
    bool interruptRequested_ = false;
    bool identified_ = false;
    bool latencyNoted_ = false;
    int32_t outcome_ = -1;
    IdentificationVerdict verdict_;
    std::unique_ptr<InterruptWatch> interrupts_;

    // Last, so it goes first: its worker may still post into the members above.
    std::unique_ptr<UpdateProcedure> procedure_;
};
