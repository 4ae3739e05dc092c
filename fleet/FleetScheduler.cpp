#include "fleet/FleetScheduler.h"

#include <algorithm>

const char* OutcomeName(CoderOutcome outcome) {
    switch (outcome) {
        case CoderOutcome::Waiting:
            return "waiting";
        case CoderOutcome::Running:
            return "running";
        case CoderOutcome::Succeeded:
            return "succeeded";
        case CoderOutcome::Current:
            return "current";
        case CoderOutcome::Identified:
            return "identified";
        case CoderOutcome::Failed:
            return "failed";
        case CoderOutcome::Blocked:
            return "blocked";
        case CoderOutcome::NeedsConfirmation:
            return "needs-confirmation";
        case CoderOutcome::Interrupted:
            return "interrupted";
        case CoderOutcome::NotStarted:
            return "not-started";
    }
    return "unknown";
}

bool OutcomeIsGood(CoderOutcome outcome) {
    return outcome == CoderOutcome::Succeeded || outcome == CoderOutcome::Current ||
           outcome == CoderOutcome::Identified;
}

FleetScheduler::FleetScheduler(std::vector<std::string> serialDevices, Limits limits)
    : serialDevices_(std::move(serialDevices)),
      limits_(limits),
      outcomes_(serialDevices_.size(), CoderOutcome::Waiting),
      reasons_(serialDevices_.size()) {
    limits_.jobs = std::max(1, limits_.jobs);
    limits_.canary = std::clamp(limits_.canary, 0, static_cast<int>(serialDevices_.size()));
}

bool FleetScheduler::CanaryRunning() const {
    for (int i = 0; i < limits_.canary; ++i) {
        if (outcomes_[i] == CoderOutcome::Waiting || outcomes_[i] == CoderOutcome::Running) {
            return true;
        }
    }
    return false;
}

std::optional<size_t> FleetScheduler::Next() {
    if (!stopReason_.empty() || running_ >= static_cast<size_t>(limits_.jobs)) {
        return std::nullopt;
    }
    const size_t end = CanaryRunning() ? static_cast<size_t>(limits_.canary) : outcomes_.size();
    for (size_t i = 0; i < end; ++i) {
        if (outcomes_[i] != CoderOutcome::Waiting) {
            continue;
        }
        // The inventory refuses shared ports; this keeps the promise for any caller.
        bool portBusy = false;
        for (size_t j = 0; j < outcomes_.size() && !serialDevices_[i].empty(); ++j) {
            portBusy = portBusy || (outcomes_[j] == CoderOutcome::Running &&
                                    serialDevices_[j] == serialDevices_[i]);
        }
        if (portBusy) {
            continue;
        }
        outcomes_[i] = CoderOutcome::Running;
        ++running_;
        return i;
    }
    return std::nullopt;
}

void FleetScheduler::Finished(size_t coder, CoderOutcome outcome) {
    if (outcomes_[coder] != CoderOutcome::Running) {
        return;
    }
    outcomes_[coder] = outcome;
    --running_;
    if (outcome == CoderOutcome::Failed || outcome == CoderOutcome::Blocked) {
        ++failures_;
        if (limits_.maxFailures > 0 && failures_ >= static_cast<size_t>(limits_.maxFailures) &&
            stopReason_.empty()) {
            stopReason_ = std::to_string(failures_) + " coder" + (failures_ == 1 ? "" : "s") +
                          " failed (--max-failures " + std::to_string(limits_.maxFailures) + ")";
        }
    }
    if (static_cast<int>(coder) < limits_.canary && !OutcomeIsGood(outcome) &&
        stopReason_.empty() && !interrupted_) {
        stopReason_ = "canary coder " + std::to_string(coder + 1) + " ended " +
                      OutcomeName(outcome) + " (--canary " + std::to_string(limits_.canary) + ")";
    }
}

void FleetScheduler::Interrupt() {
    interrupted_ = true;
    if (stopReason_.empty()) {
        stopReason_ = "interrupted";
    }
}

bool FleetScheduler::Done() const {
    if (running_ > 0) {
        return false;
    }
    if (!stopReason_.empty()) {
        return true;
    }
    return std::none_of(outcomes_.begin(), outcomes_.end(),
                        [](CoderOutcome o) { return o == CoderOutcome::Waiting; });
}

std::string FleetScheduler::CloseWaiting() {
    bool any = false;
    for (size_t i = 0; i < outcomes_.size(); ++i) {
        if (outcomes_[i] == CoderOutcome::Waiting) {
            outcomes_[i] = CoderOutcome::NotStarted;
            reasons_[i] = "not started: " + stopReason_;
            any = true;
        }
    }
    return any ? stopReason_ : std::string();
}

size_t FleetScheduler::Count(CoderOutcome outcome) const {
    return static_cast<size_t>(std::count(outcomes_.begin(), outcomes_.end(), outcome));
}
