#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the fleet knows about one coder's child run, built from its --events lines.
struct CoderProgress {
    std::string phase;  // for the table: status text, stage label or wait text
    // Every phase in the order it came, so a pipe shows each even when several arrive between
    // two redraws.
    std::vector<std::string> phases;
    int percent = -1;  // of the running stage; -1 before the first progress
    int stage = 0;
    std::string logPath;  // as the child reports it; empty when it has no log
    bool logReported = false;

    bool identified = false;
    int identification = -1;  // the identification outcome
    bool mayUpdate = false;
    bool biosRunning = false;    // the coder was found in its BIOS: it has no firmware version
    std::string currentVersion;  // the firmware's; empty when the BIOS runs
    std::string biosVersion;
    std::string versionToFlash;
    std::vector<std::string> warnings;
    std::string question;  // the last confirmation asked, with its answer
    bool refused = false;  // a question answered "no"

    bool haveResult = false;
    int exitStatus = -1;
    int result = -1;  // flash result; -1 for identify or when absent
    int lastBlockResult = -1;
    std::string message;
    std::string reason;  // what came back or what the system said, beside the message
    std::string note;    // what a failed update left on the coder and what to do
    std::string newVersion;
    bool newVersionMatches = true;

    int badLines = 0;  // lines that were not an event object
};

// Applies one line of a child's standard output; false when it is not an event (counted in
// badLines and otherwise ignored, so a stray line cannot stop the run).
bool ApplyEventLine(const std::string& line, CoderProgress& progress);

// The version as compared for --skip-current: its first word without a leading V.
std::string ComparableVersion(const std::string& version);
