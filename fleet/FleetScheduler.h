#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// How one coder of a fleet run ended, or where it stands.
enum class CoderOutcome {
    Waiting,
    Running,
    Succeeded,          // updated
    Current,            // skipped: already runs the version to flash (--skip-current)
    Identified,         // --identify-only: identified, an update may go on
    Failed,             // the update or the connection failed, or the child broke off
    Blocked,            // the identification stops the update (versions, NetPC, BIOS)
    NeedsConfirmation,  // a warning needs --yes; nothing was changed
    Interrupted,        // stopped by Ctrl-C
    NotStarted,         // canary stop, --max-failures, or Ctrl-C before it started
};

// "succeeded", "current", ... as in the JSON summary.
const char* OutcomeName(CoderOutcome outcome);
// Whether the fleet's exit status can still be 0 with this outcome.
bool OutcomeIsGood(CoderOutcome outcome);

// Decides which coder starts next: inventory order, at most `jobs` at once, never two on one
// serial device, the canary coders first and alone, and no new start after a stop.
class FleetScheduler {
public:
    struct Limits {
        int jobs = 8;
        int canary = 0;       // the first K coders run before all others
        int maxFailures = 0;  // 0: no limit; failed and blocked coders count
    };

    // One entry per coder: its serial device, empty for TCP/IP.
    FleetScheduler(std::vector<std::string> serialDevices, Limits limits);

    // The next coder to start now, marked Running; nullopt when none may start now.
    std::optional<size_t> Next();
    void Finished(size_t coder, CoderOutcome outcome);
    // Ctrl-C: nothing more starts.
    void Interrupt();

    // True when nothing runs and nothing more will start.
    bool Done() const;
    // Marks every coder still waiting NotStarted and gives why (empty when none waited).
    std::string CloseWaiting();

    CoderOutcome Outcome(size_t coder) const { return outcomes_[coder]; }
    const std::string& Reason(size_t coder) const { return reasons_[coder]; }
    size_t Count(CoderOutcome outcome) const;
    size_t size() const { return outcomes_.size(); }
    bool Interrupted() const { return interrupted_; }
    // Why no further coder starts; empty while they may.
    const std::string& StopReason() const { return stopReason_; }

private:
    bool CanaryRunning() const;

    std::vector<std::string> serialDevices_;
    Limits limits_;
    std::vector<CoderOutcome> outcomes_;
    std::vector<std::string> reasons_;
    size_t running_ = 0;
    size_t failures_ = 0;
    bool interrupted_ = false;
    std::string stopReason_;
};
