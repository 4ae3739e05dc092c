#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/EventStream.h"
#include "cli/JsonWriter.h"
#include "cli/ProgressDisplay.h"
#include "cli/WaitCountdown.h"
#include "update/ProcedureTexts.h"

// What a run of identify or update tells, in every form asked for: human text (on standard
// output, or on standard error when --json or --events own standard output), the --json
// object and the --events stream, with a countdown for each wait and the progress line of
// the blocks. The session decides what is said; this says it.
class CliReport {
public:
    CliReport(const CliOptions& options, Language language);

    bool Quiet() const { return quiet_; }

    // Human text: Info is left out by -q, Problem never.
    void Info(const std::string& text);
    void Problem(const std::string& text);
    // On standard error whatever owns standard output, also with -q.
    void Aside(const std::string& text);
    // Info, and the same text as a status event.
    void Status(const std::string& text);
    // A warning of the version checks: an event, and its name in Warnings().
    void Warning(const char* name, int64_t code, const std::string& text);
    // A warning event about something else (the log, the serial port's speed, the version
    // found after the update): not in Warnings().
    void Notice(const char* name, int64_t code, const std::string& text);
    const std::vector<std::string>& Warnings() const { return warnings_; }
    // One frame of -v, on standard error between the other lines.
    void EchoFrame(const std::string& line);
    // An event of --events; nothing without it.
    void Event(const char* name, nlohmann::ordered_json members);
    // The --json object; the result event repeats it.
    JsonWriter& Json() { return json_; }

    // Asks `prompt` on the terminal; `question` goes into the events. Yes without asking with
    // --yes; no without a terminal to ask on, or as soon as `interrupted` says so.
    bool Confirm(const std::string& question, const std::string& prompt,
                 const std::function<bool()>& interrupted);

    // A wait the procedure announced (WAIT_NONE ends it), counted down on a terminal.
    void ShowWait(int64_t kind, int64_t maxMs);
    // Redraws the countdown; at least every 200 ms while a worker runs.
    void Tick();

    // The progress line of the flash sequence, from BeginProgress to EndProgress.
    void BeginProgress();
    void ProgressRange(int64_t blocks);
    // One block of `stage` more; progress events at most every 250 ms, and the last one.
    void ProgressStep(int stage);
    // Ends the line of the file being flashed; HideProgress clears it for other text.
    void FinishProgress();
    void HideProgress();
    void EndProgress();

    // The run's last output: after a failure the log's place (none when `logPath` is empty),
    // then the --json object and the result event with the exit status. Gives `status`.
    int Finish(int status, const std::string& logPath);
    // The same at once, on the signal watcher's thread while the main thread may be blocked
    // anywhere: plain writes only. `logPath` is empty when no log is open.
    void EndedNow(const std::string& text, int status, const std::string& logPath) const;

private:
    int TerminalWidth() const;

    const Language language_;
    std::FILE* const human_;
    const bool quiet_;
    const bool yes_;
    const bool jsonWanted_;
    EventStream events_;
    JsonWriter json_;
    std::vector<std::string> warnings_;
    std::unique_ptr<WaitCountdown> waits_;
    std::unique_ptr<ProgressDisplay> progress_;
    int erasesSeen_ = 0;
    std::chrono::steady_clock::time_point lastProgressEvent_{};
    int lastPercent_ = -1;
};
