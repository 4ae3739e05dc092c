#include "fleet/FleetRunner.h"

#include <ctime>
#include <filesystem>
#include <fstream>

#include "console/CalendarTime.h"
#include "console/ConsoleOutput.h"
#include "console/ExitStatus.h"
#include "console/SignalPipe.h"
#include "fleet/ChildStderr.h"
#include "fleet/FleetSummary.h"
#include "update/FolderAccess.h"
#include "update/Utf8Path.h"

namespace {

using Clock = std::chrono::steady_clock;
using SystemClock = std::chrono::system_clock;

// A second Ctrl-C this soon after the first ends the children at once, as in a single update.
constexpr auto kSecondInterrupt = std::chrono::seconds(2);

std::string LocalStamp() {
    const std::tm local = LocalCalendarTime(std::time(nullptr));
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

}  // namespace

FleetRunner::FleetRunner(FleetOptions options, std::vector<FleetEntry> entries, std::string program)
    : options_(std::move(options)),
      program_(std::move(program)),
      scheduler_(
          [&] {
              std::vector<std::string> devices;
              for (const FleetEntry& e : entries) {
                  devices.push_back(e.serialDevice);
              }
              return devices;
          }(),
          FleetScheduler::Limits{options_.jobs, options_.canary, options_.maxFailures}),
      display_(options_.json ? stderr : stdout, RedrawsInPlace(options_.json ? stderr : stdout),
               options_.jobs) {
    for (FleetEntry& e : entries) {
        FleetCoderState state;
        state.entry = std::move(e);
        coders_.push_back(std::move(state));
    }
}

bool FleetRunner::IsCurrent(const CoderProgress& p) {
    const std::string current = ComparableVersion(p.currentVersion);
    // A coder in its BIOS runs no firmware, whatever its BIOS version reads.
    return p.identified && !p.biosRunning && !current.empty() &&
           current == ComparableVersion(p.versionToFlash);
}

CoderOutcome FleetRunner::Classify(const CoderProgress& p, bool identifyStep, bool identifyOnly,
                                   const ChildExit& childExit, std::string& reason) {
    // The result is the child's last line: what came after it (a signal while it exits) does
    // not undo what it reported.
    if (!childExit.exited && !p.haveResult) {
        reason = "tarvelin-cli ended by signal " + DescribeSignal(childExit.signal);
        return CoderOutcome::Failed;
    }
    // A child that a signal stopped exits 130 for the SIGINT the fleet sends, 143 or 129 for a
    // SIGTERM or SIGHUP that reached it from elsewhere.
    const int status = childExit.exited ? childExit.code : -1;
    if (!p.haveResult) {
        reason = "tarvelin-cli ended without a result (exit status " + std::to_string(status) + ")";
        return IsStopExitStatus(status) ? CoderOutcome::Interrupted : CoderOutcome::Failed;
    }
    reason = p.message.empty() ? p.phase : p.message;
    const int exit = p.exitStatus >= 0 ? p.exitStatus : status;
    if (exit != 0) {
        // Why, and what the failure left on the coder, as the child said them; a reason of its
        // own says more than the last phase.
        if (p.message.empty() && !p.reason.empty()) {
            reason.clear();
        }
        for (const std::string* more : {&p.reason, &p.note}) {
            if (!more->empty()) {
                reason += (reason.empty() ? "" : " ") + *more;
            }
        }
    }
    if (exit == 0) {
        if (identifyStep) {
            return identifyOnly && IsCurrent(p) ? CoderOutcome::Current : CoderOutcome::Identified;
        }
        if (!p.newVersionMatches) {
            reason += " (the version read back differs from the version to flash)";
        }
        return CoderOutcome::Succeeded;
    }
    if (IsStopExitStatus(exit)) {
        return CoderOutcome::Interrupted;
    }
    if (exit == kExitConfirmationNeeded) {
        std::string what;
        for (const std::string& w : p.warnings) {
            what += (what.empty() ? "" : ", ") + w;
        }
        reason = "needs --yes" + (what.empty() ? std::string() : " (" + what + ")") +
                 "; nothing was changed";
        return CoderOutcome::NeedsConfirmation;
    }
    // Stopped by the checks of the identification, not by a failed connection.
    if (exit == UPD_NETPC_TOO_OLD || exit == UPD_BIOS_TOO_OLD) {
        return CoderOutcome::Blocked;
    }
    return CoderOutcome::Failed;
}

std::string FleetRunner::PathFor(size_t coder, const char* suffix) const {
    return logDirectory_ + "/" + coders_[coder].entry.name + suffix;
}

bool FleetRunner::MakeLogDirectory(std::string& error) {
    namespace fs = std::filesystem;
    std::error_code code;
    if (!options_.logDirectory.empty()) {
        logDirectory_ = options_.logDirectory;
        fs::create_directories(PathFromUtf8(logDirectory_), code);
        if (!fs::is_directory(PathFromUtf8(logDirectory_))) {
            error = "cannot make the log folder " + logDirectory_ + ": " + code.message();
            return false;
        }
    } else {
        const fs::path beside = fs::absolute(PathFromUtf8(options_.inventory), code).parent_path();
        const std::string base = Utf8FromPath(beside / ("fleet-" + LocalStamp()));
        logDirectory_ = base;
        for (int n = 2; !fs::create_directory(PathFromUtf8(logDirectory_), code); ++n) {
            if (code || n > 99) {
                error = "cannot make the log folder " + logDirectory_ + ": " +
                        (code ? code.message() : std::string("it exists")) +
                        "; name one with --log-dir";
                return false;
            }
            logDirectory_ = base + "-" + std::to_string(n);
        }
    }
    logDirectory_ = Utf8FromPath(fs::absolute(PathFromUtf8(logDirectory_), code));
    while (logDirectory_.size() > 1 && logDirectory_.back() == '/') {
        logDirectory_.pop_back();
    }
    const std::string problem = FolderWriteProblem(logDirectory_);
    if (!problem.empty()) {
        error = "cannot write into the log folder " + logDirectory_ + ": " + problem;
        return false;
    }
    return true;
}

bool FleetRunner::Spawn(size_t coder, bool identify, std::string& error) {
    FleetCoderState& state = coders_[coder];
    const bool identifyFirst = identify && !options_.identifyOnly;
    const std::string log = PathFor(coder, identifyFirst ? ".identify.log" : ".log");
    ChildOptions start;
    start.program = program_;
    start.arguments =
        FleetChildArguments(options_, identify, state.entry.serial, state.entry.connection, log);
    start.input = ChildStream::Null();
    start.output = ChildStream::Pipe();
    start.error = ChildStream::File(PathFor(coder, ".stderr"));
    // Its own process group: a Ctrl-C on the terminal reaches the fleet alone, which passes it
    // on once.
    start.ownProcessGroup = true;
    start.whenParentEnds = ChildOptions::WhenParentEnds::Terminate;
    ChildProcess process(start);
    if (!process.Started()) {
        error = process.StartError();
        return false;
    }
    Child child;
    child.coder = coder;
    child.process = std::move(process);
    child.identify = identify;
    if (!identify) {
        // The update starts from what the identification found.
        child.progress = state.progress;
        child.progress.haveResult = false;
        child.progress.phase.clear();
        child.progress.percent = -1;
    }
    if (!state.hasStarted) {
        state.hasStarted = true;
        state.started = SystemClock::now();
        state.startedSteady = Clock::now();
    }
    state.outcome = CoderOutcome::Running;
    state.logPath = PathFor(coder, ".log");
    state.progress = child.progress;
    state.progress.phase = identify ? "identifying" : "starting";
    children_.push_back(std::move(child));
    return true;
}

void FleetRunner::ReadChild(Child& child) {
    if (child.process.ReadOutput(child.pending) == ChildRead::Closed) {
        child.eof = true;
    }
    size_t start = 0;
    for (size_t end; (end = child.pending.find('\n', start)) != std::string::npos;
         start = end + 1) {
        ApplyEventLine(child.pending.substr(start, end - start), child.progress);
    }
    child.pending.erase(0, start);
    if (child.eof && !child.pending.empty()) {
        ApplyEventLine(child.pending, child.progress);
        child.pending.clear();
    }
    coders_[child.coder].progress = child.progress;
}

std::string FleetRunner::LastStderrLine(size_t coder) const {
    return LastReasonLineOf(PathFor(coder, ".stderr"));
}

void FleetRunner::EndChild(Child& child, const ChildExit& exit) {
    FleetCoderState& state = coders_[child.coder];
    state.progress = child.progress;
    std::string reason;
    CoderOutcome outcome =
        Classify(child.progress, child.identify, options_.identifyOnly, exit, reason);
    if (!child.progress.haveResult) {
        const std::string last = LastStderrLine(child.coder);
        if (!last.empty()) {
            reason += ": " + last;
        }
    } else if (child.progress.message.empty() &&
               (outcome == CoderOutcome::Failed || outcome == CoderOutcome::Blocked)) {
        // A connection that failed has no final message, only the phase it was in
        // ("Connecting to Coder..."); the child said why on standard error.
        const std::string last = LastStderrLine(child.coder);
        if (!last.empty()) {
            reason = last;
        }
    }
    state.versionBefore = child.progress.currentVersion;
    if (child.identify && !options_.identifyOnly && outcome == CoderOutcome::Identified) {
        if (IsCurrent(child.progress)) {
            outcome = CoderOutcome::Current;
            reason = "runs " + child.progress.currentVersion + " already";
        } else if (scheduler_.Interrupted()) {
            outcome = CoderOutcome::Interrupted;
            reason = "interrupted before the update; nothing was changed";
        } else if (std::string error; Spawn(child.coder, false, error)) {
            return;  // the update follows in the same slot
        } else {
            outcome = CoderOutcome::Failed;
            reason = "cannot start tarvelin-cli: " + error;
        }
    }
    if (!child.identify) {
        state.versionAfter = child.progress.newVersion;
    }
    state.outcome = outcome;
    state.reason = reason;
    state.hasEnded = true;
    state.ended = SystemClock::now();
    scheduler_.Finished(child.coder, outcome);
}

void FleetRunner::Interrupt(int signal) {
    const auto now = Clock::now();
    ++interrupts_;
    // A child that reported its result is done: a signal now could only end it while it
    // exits, and its coder would read as failed although it was updated.
    const auto signalRunning = [this] {
        size_t signalled = 0;
        for (Child& child : children_) {
            if (!child.progress.haveResult && !child.eof) {
                child.process.Interrupt();
                ++signalled;
            }
        }
        return signalled;
    };
    if (interrupts_ == 1) {
        firstInterrupt_ = now;
        firstSignal_ = signal;
        scheduler_.Interrupt();
        const size_t running = signalRunning();
        display_.Note("Interrupted: no further coder starts; " + std::to_string(running) +
                      " running stop at a block boundary (Ctrl-C again within 2 s ends them at "
                      "once).");
    } else if (interrupts_ == 2 && now - firstInterrupt_ <= kSecondInterrupt) {
        signalRunning();
        display_.Note("Ending the running coders at once.");
    }
}

int FleetRunner::Run() {
    std::string error;
    if (!MakeLogDirectory(error)) {
        std::fprintf(stderr, "tarvelin-cli fleet: %s\n", error.c_str());
        return kExitUsage;
    }
    SignalPipe signals;
    if (!signals.Valid()) {
        std::fprintf(stderr, "tarvelin-cli fleet: %s\n", signals.Error().c_str());
        return 1;
    }

    FleetRunInfo run;
    run.inventory = options_.inventory;
    run.logDirectory = logDirectory_;
    run.started = SystemClock::now();
    const auto begin = Clock::now();
    const bool identifyFirst = options_.skipCurrent || options_.identifyOnly;

    for (;;) {
        while (const auto next = scheduler_.Next()) {
            if (std::string why; !Spawn(*next, identifyFirst, why)) {
                FleetCoderState& state = coders_[*next];
                state.outcome = CoderOutcome::Failed;
                state.reason = "cannot start tarvelin-cli: " + why;
                scheduler_.Finished(*next, CoderOutcome::Failed);
            }
        }
        if (scheduler_.Done() && children_.empty()) {
            break;
        }
        std::vector<SystemHandle> handles{signals.Handle()};
        bool exiting = false;
        for (const Child& child : children_) {
            if (!child.eof) {
                handles.push_back(child.process.OutputHandle());
            } else {
                exiting = true;
            }
        }
        WaitReadable(handles, std::chrono::milliseconds(exiting ? 20 : 250));
        for (const int signal : signals.Take()) {
            Interrupt(signal);
        }
        for (Child& child : children_) {
            if (!child.eof) {
                ReadChild(child);
            }
        }
        // Ended children leave the list; an identification may add its update.
        std::vector<Child> running;
        running.swap(children_);
        for (Child& child : running) {
            const std::optional<ChildExit> exit =
                child.eof ? child.process.Wait() : std::optional<ChildExit>();
            if (exit) {
                EndChild(child, *exit);
            } else {
                children_.push_back(std::move(child));
            }
        }
        display_.Update(coders_, Clock::now());
    }

    const std::string notStarted = scheduler_.CloseWaiting();
    for (size_t i = 0; i < coders_.size(); ++i) {
        if (scheduler_.Outcome(i) == CoderOutcome::NotStarted) {
            coders_[i].outcome = CoderOutcome::NotStarted;
            coders_[i].reason = scheduler_.Reason(i);
        }
    }
    run.ended = SystemClock::now();
    run.interrupted = scheduler_.Interrupted();
    run.stopReason = scheduler_.StopReason();
    bool allGood = true;
    for (const FleetCoderState& c : coders_) {
        allGood = allGood && OutcomeIsGood(c.outcome);
    }
    run.exitStatus = run.interrupted ? ExitStatusOfSignal(firstSignal_) : allGood ? 0 : 1;

    display_.Update(coders_, Clock::now());
    display_.Summary(coders_, logDirectory_, run.stopReason, Clock::now() - begin);
    const std::string json = FleetSummaryJson(coders_, run);
    std::ofstream(PathFromUtf8(logDirectory_ + "/summary.json")) << json << "\n";
    if (options_.json) {
        std::printf("%s\n", json.c_str());
        std::fflush(stdout);
    }

    (void)notStarted;
    return run.exitStatus;
}

int RunFleetCommand(const std::vector<std::string>& arguments) {
    const ParsedFleetOptions parsed = ParseFleetOptions(arguments);
    if (!parsed.ok) {
        std::fprintf(stderr,
                     "tarvelin-cli fleet: %s\nTry 'tarvelin-cli fleet --help' for the options.\n",
                     parsed.error.c_str());
        return kExitUsage;
    }
    if (parsed.help) {
        std::fputs(FleetUsage().c_str(), stdout);
        return 0;
    }
    const Inventory inventory = ReadInventory(parsed.options.inventory);
    if (!inventory.problems.empty()) {
        std::fputs(DescribeProblems(parsed.options.inventory, inventory.problems).c_str(), stderr);
        std::fprintf(stderr,
                     "tarvelin-cli fleet: the inventory was refused; nothing was "
                     "started. Mend the lines above and run again.\n");
        return kExitUsage;
    }
    std::string error;
    const std::string self = ChildProcess::ThisProgram(error);
    if (self.empty()) {
        std::fprintf(stderr, "tarvelin-cli fleet: cannot find this program: %s\n", error.c_str());
        return 1;
    }
    FleetRunner runner(parsed.options, inventory.entries, self);
    return runner.Run();
}
