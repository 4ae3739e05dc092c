#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "fleet/FleetCoderState.h"

// Totals of a fleet run for the total line and the summary.
struct FleetTotals {
    size_t done = 0;     // succeeded (or identified)
    size_t failed = 0;   // failed, blocked, interrupted
    size_t skipped = 0;  // current, needing a confirmation, not started
    size_t running = 0;
    size_t waiting = 0;
};

FleetTotals CountTotals(const std::vector<FleetCoderState>& coders);

// "~M:SS" from the average time of the coders that ran to an end, for those still to come;
// "--" before the first ended.
std::string EstimateLeft(const std::vector<FleetCoderState>& coders, int jobs,
                         std::chrono::steady_clock::time_point now);

// Text from a coder or a child as one table cell: escaped as everywhere on the console
// (EscapeForTerminal), line breaks and tabs as spaces.
std::string Printable(const std::string& text);

// What the user sees while the fleet runs: on a terminal a table redrawn in place, in a pipe
// one line per coder and change of phase; at the end the summary table.
class FleetDisplay {
public:
    FleetDisplay(std::FILE* out, bool terminal, int jobs);

    // Redraws the table (terminal) or prints the phase changes since the last call (pipe).
    void Update(const std::vector<FleetCoderState>& coders,
                std::chrono::steady_clock::time_point now);
    // A line above the table (a notice such as the Ctrl-C message).
    void Note(const std::string& text);
    void Summary(const std::vector<FleetCoderState>& coders, const std::string& logDirectory,
                 const std::string& stopReason, std::chrono::steady_clock::duration elapsed);

    // The table's rows for a terminal of `width` x `height` characters (tested directly).
    std::vector<std::string> TableLines(const std::vector<FleetCoderState>& coders,
                                        std::chrono::steady_clock::time_point now, int width,
                                        int height) const;
    // The summary's lines, none wider than `width` columns but the log folder's.
    std::vector<std::string> SummaryLines(const std::vector<FleetCoderState>& coders,
                                          const std::string& logDirectory,
                                          const std::string& stopReason,
                                          std::chrono::steady_clock::duration elapsed,
                                          int width) const;
    // The total line.
    std::string TotalLine(const std::vector<FleetCoderState>& coders,
                          std::chrono::steady_clock::time_point now) const;

private:
    void Clear();
    static std::string Status(const FleetCoderState& coder);
    // The table's last column: the phase while it runs, the result once it ended.
    static std::string LiveStatus(const FleetCoderState& coder);

    std::FILE* out_;
    bool terminal_;
    int jobs_;
    int drawnLines_ = 0;
    std::chrono::steady_clock::time_point begin_;
    std::vector<std::string> lastPhase_;
    std::vector<size_t> phasesShown_;  // per coder: how many of its phases the pipe has shown
};
