#include "fleet/FleetDisplay.h"

#include <algorithm>
#include <cstdio>

#include "console/ColumnLayout.h"
#include "console/DisplayWidth.h"
#include "console/TerminalText.h"
#include "console/TerminalWidth.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Duration(Clock::duration d) {
    const long long seconds = std::chrono::duration_cast<std::chrono::seconds>(d).count();
    char text[32];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    }
    return text;
}

bool Ran(const FleetCoderState& c) {
    return c.hasStarted && c.hasEnded &&
           (c.outcome == CoderOutcome::Succeeded || c.outcome == CoderOutcome::Failed ||
            c.outcome == CoderOutcome::Current || c.outcome == CoderOutcome::Identified);
}

constexpr size_t kGap = 2;

// The widest cell of a column, header included, at most `cap`.
template <typename Cell>
size_t Natural(const std::string& header, const std::vector<FleetCoderState>& coders, Cell cell,
               size_t cap) {
    size_t width = DisplayWidth(header);
    for (const FleetCoderState& c : coders) {
        width = std::max(width, DisplayWidth(cell(c)));
    }
    return std::min(width, cap);
}

std::string RightAligned(const std::string& text, size_t width) {
    const size_t used = DisplayWidth(text);
    return std::string(width > used ? width - used : 0, ' ') + text;
}

// What ran on the coder before and after: a coder found in its BIOS had no firmware to speak
// of, so its BIOS version is named as such.
std::string Versions(const FleetCoderState& c) {
    std::string before = c.versionBefore;
    if (c.progress.biosRunning) {
        const std::string& bios = c.progress.biosVersion;
        before = bios.empty() || bios == "???" ? "BIOS" : "BIOS " + bios;
    }
    if (c.versionAfter.empty()) {
        return before;
    }
    return (before.empty() ? std::string() : before + " -> ") + c.versionAfter;
}

}  // namespace

FleetTotals CountTotals(const std::vector<FleetCoderState>& coders) {
    FleetTotals t;
    for (const FleetCoderState& c : coders) {
        switch (c.outcome) {
            case CoderOutcome::Succeeded:
            case CoderOutcome::Identified:
                ++t.done;
                break;
            case CoderOutcome::Failed:
            case CoderOutcome::Blocked:
            case CoderOutcome::Interrupted:
                ++t.failed;
                break;
            case CoderOutcome::Current:
            case CoderOutcome::NeedsConfirmation:
            case CoderOutcome::NotStarted:
                ++t.skipped;
                break;
            case CoderOutcome::Running:
                ++t.running;
                break;
            case CoderOutcome::Waiting:
                ++t.waiting;
                break;
        }
    }
    return t;
}

std::string EstimateLeft(const std::vector<FleetCoderState>& coders, int jobs,
                         Clock::time_point now) {
    Clock::duration total{};
    size_t ran = 0;
    for (const FleetCoderState& c : coders) {
        if (Ran(c)) {
            total += c.ended.time_since_epoch().count() == 0
                         ? Clock::duration{}
                         : std::chrono::duration_cast<Clock::duration>(c.ended - c.started);
            ++ran;
        }
    }
    if (ran == 0) {
        return "--";
    }
    const Clock::duration average = total / static_cast<long>(ran);
    Clock::duration work{};
    size_t open = 0;
    for (const FleetCoderState& c : coders) {
        if (c.outcome == CoderOutcome::Running) {
            work += std::max(Clock::duration{}, average - (now - c.startedSteady));
            ++open;
        } else if (c.outcome == CoderOutcome::Waiting) {
            work += average;
            ++open;
        }
    }
    if (open == 0) {
        return "0:00";
    }
    const long slots = static_cast<long>(std::min<size_t>(open, static_cast<size_t>(jobs)));
    return "~" + Duration(work / std::max(1L, slots));
}

std::string Printable(const std::string& text) {
    // A table cell is one line: line breaks and tabs of a message become spaces.
    std::string flat;
    flat.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        flat += text[i] == '\n' || text[i] == '\t' ? ' ' : text[i];
    }
    return EscapeForTerminal(flat);
}

FleetDisplay::FleetDisplay(std::FILE* out, bool terminal, int jobs)
    : out_(out), terminal_(terminal), jobs_(jobs), begin_(Clock::now()) {}

std::string FleetDisplay::Status(const FleetCoderState& c) {
    switch (c.outcome) {
        case CoderOutcome::Waiting:
            return "";
        case CoderOutcome::Running:
            return "";
        default:
            return std::string(OutcomeName(c.outcome)) + (c.reason.empty() ? "" : ": " + c.reason);
    }
}

std::string FleetDisplay::TotalLine(const std::vector<FleetCoderState>& coders,
                                    Clock::time_point now) const {
    const FleetTotals t = CountTotals(coders);
    char line[256];
    std::snprintf(
        line, sizeof line,
        "done %zu  failed %zu  skipped %zu  running %zu  waiting %zu  elapsed %s  left %s", t.done,
        t.failed, t.skipped, t.running, t.waiting, Duration(now - begin_).c_str(),
        EstimateLeft(coders, jobs_, now).c_str());
    return line;
}

std::string FleetDisplay::LiveStatus(const FleetCoderState& c) {
    switch (c.outcome) {
        case CoderOutcome::Waiting:
            return "waiting";
        case CoderOutcome::Running:
            return c.progress.phase;
        default:
            return Status(c);
    }
}

std::vector<std::string> FleetDisplay::TableLines(const std::vector<FleetCoderState>& coders,
                                                  Clock::time_point now, int width,
                                                  int height) const {
    const auto name = [](const FleetCoderState& c) { return Printable(c.entry.name); };
    const auto connection = [](const FleetCoderState& c) { return Printable(c.entry.connection); };
    const auto percent = [](const FleetCoderState& c) {
        return c.outcome == CoderOutcome::Running && c.progress.percent >= 0
                   ? std::to_string(c.progress.percent) + "%"
                   : std::string();
    };
    const auto status = [](const FleetCoderState& c) { return Printable(LiveStatus(c)); };
    const size_t columns = static_cast<size_t>(std::max(1, width));
    // Narrower first the name, then without the connection (the name says which coder it is),
    // then without the percent; the status keeps what is left.
    const std::vector<size_t> widths = FitColumns(
        {Natural("NAME", coders, name, 32), Natural("CONNECTION", coders, connection, 32), 4,
         Natural("STATUS", coders, status, 500)},
        columns, kGap, 24, {{0, 16}, {1, 0}, {0, 8}, {2, 0}});
    const auto row = [&](const std::string& a, const std::string& b, const std::string& c,
                         const std::string& d) {
        return TruncateToWidth(LayOutRow({a, b, RightAligned(c, 4), d}, widths, kGap), columns);
    };

    // Rows that matter most when the terminal is too short: running, then failed, then the rest.
    std::vector<size_t> order(coders.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    const size_t room = static_cast<size_t>(std::max(1, height - 3));
    std::vector<size_t> shown = order;
    if (coders.size() > room) {
        auto rank = [&](size_t i) {
            switch (coders[i].outcome) {
                case CoderOutcome::Running:
                    return 0;
                case CoderOutcome::Failed:
                case CoderOutcome::Blocked:
                case CoderOutcome::NeedsConfirmation:
                case CoderOutcome::Interrupted:
                    return 1;
                case CoderOutcome::Waiting:
                    return 2;
                default:
                    return 3;
            }
        };
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return rank(a) < rank(b); });
        shown.assign(order.begin(), order.begin() + static_cast<long>(room - 1));
        std::sort(shown.begin(), shown.end());
    }

    std::vector<std::string> lines;
    lines.push_back(row("NAME", "CONNECTION", "%", "STATUS"));
    for (size_t i : shown) {
        const FleetCoderState& c = coders[i];
        lines.push_back(row(name(c), connection(c), percent(c), status(c)));
    }
    if (shown.size() < coders.size()) {
        lines.push_back(TruncateToWidth("  (" + std::to_string(coders.size() - shown.size()) +
                                            " more not shown: the terminal is too short)",
                                        columns));
    }
    lines.push_back(TruncateToWidth(TotalLine(coders, now), columns));
    return lines;
}

std::vector<std::string> FleetDisplay::SummaryLines(const std::vector<FleetCoderState>& coders,
                                                    const std::string& logDirectory,
                                                    const std::string& stopReason,
                                                    Clock::duration elapsed, int width) const {
    const auto name = [](const FleetCoderState& c) { return Printable(c.entry.name); };
    const auto connection = [](const FleetCoderState& c) { return Printable(c.entry.connection); };
    const auto outcome = [](const FleetCoderState& c) {
        return std::string(OutcomeName(c.outcome));
    };
    const auto versions = [](const FleetCoderState& c) { return Printable(Versions(c)); };
    const auto message = [](const FleetCoderState& c) { return Printable(c.reason); };
    const size_t columns = static_cast<size_t>(std::max(1, width));
    // The message is what a failed coder needs: it goes on over further lines rather than be
    // cut, and the connection and the versions give way to it.
    const std::vector<size_t> widths = FitColumns(
        {Natural("NAME", coders, name, 40), Natural("CONNECTION", coders, connection, 40),
         Natural("OUTCOME", coders, outcome, 40), Natural("VERSIONS", coders, versions, 40),
         Natural("MESSAGE", coders, message, 1000)},
        columns, kGap, 30, {{0, 16}, {1, 0}, {0, 8}, {3, 0}});

    std::vector<std::string> lines{""};
    const auto add = [&](const std::vector<std::string>& cells) {
        for (const std::string& line : LayOutWrappedRow(cells, widths, kGap)) {
            lines.push_back(TruncateToWidth(line, columns));
        }
    };
    add({"NAME", "CONNECTION", "OUTCOME", "VERSIONS", "MESSAGE"});
    for (const FleetCoderState& c : coders) {
        add({name(c), connection(c), outcome(c), versions(c), message(c)});
    }
    const FleetTotals t = CountTotals(coders);
    char totals[160];
    std::snprintf(totals, sizeof totals, "%zu coders: %zu done, %zu failed, %zu skipped in %s.",
                  coders.size(), t.done, t.failed, t.skipped, Duration(elapsed).c_str());
    lines.push_back("");
    const std::string stopped =
        stopReason.empty() ? "" : " Stopped: " + Printable(stopReason) + ".";
    for (const std::string& line : WrapToWidth(totals + stopped, columns)) {
        lines.push_back(line);
    }
    // The folder stays whole, to be copied.
    lines.push_back("Logs: " + Printable(logDirectory));
    return lines;
}

void FleetDisplay::Clear() {
    if (terminal_ && drawnLines_ > 0) {
        std::fprintf(out_, "\x1b[%dA\r\x1b[J", drawnLines_);
        drawnLines_ = 0;
    }
}

void FleetDisplay::Note(const std::string& text) {
    Clear();
    if (terminal_) {
        for (const std::string& line :
             WrapToWidth(Printable(text), static_cast<size_t>(TerminalWidth(out_) - 1))) {
            std::fprintf(out_, "%s\n", line.c_str());
        }
    } else {
        std::fprintf(out_, "%s\n", Printable(text).c_str());
    }
    std::fflush(out_);
}

void FleetDisplay::Update(const std::vector<FleetCoderState>& coders, Clock::time_point now) {
    if (terminal_) {
        // One column short of the edge: a line that fills it leaves some terminals with the
        // cursor on the next line, and the redraw would creep down.
        const std::vector<std::string> lines =
            TableLines(coders, now, TerminalWidth(out_) - 1, TerminalHeight(out_));
        std::string frame;
        if (drawnLines_ > 0) {
            frame += "\x1b[" + std::to_string(drawnLines_) + "A";
        }
        for (const std::string& line : lines) {
            frame += "\r" + line + "\x1b[K\n";
        }
        frame += "\x1b[J";
        std::fputs(frame.c_str(), out_);
        std::fflush(out_);
        drawnLines_ = static_cast<int>(lines.size());
        return;
    }
    lastPhase_.resize(coders.size());
    phasesShown_.resize(coders.size(), 0);
    for (size_t i = 0; i < coders.size(); ++i) {
        const FleetCoderState& c = coders[i];
        const auto say = [&](const std::string& phase) {
            if (phase.empty() || phase == lastPhase_[i]) {
                return;
            }
            lastPhase_[i] = phase;
            std::fprintf(out_, "[%s] %s: %s\n", Duration(now - begin_).c_str(),
                         Printable(c.entry.name).c_str(), Printable(phase).c_str());
        };
        if (c.outcome == CoderOutcome::Waiting) {
            continue;
        }
        if (c.hasStarted && phasesShown_[i] == 0 && lastPhase_[i].empty()) {
            say("started");
        }
        const std::vector<std::string>& phases = c.progress.phases;
        for (; phasesShown_[i] < phases.size(); ++phasesShown_[i]) {
            say(phases[phasesShown_[i]]);
        }
        if (c.outcome != CoderOutcome::Running) {
            say(Status(c));
        }
    }
    std::fflush(out_);
}

void FleetDisplay::Summary(const std::vector<FleetCoderState>& coders,
                           const std::string& logDirectory, const std::string& stopReason,
                           Clock::duration elapsed) {
    Clear();
    const int width = TerminalWidth(out_) - (terminal_ ? 1 : 0);
    for (const std::string& line : SummaryLines(coders, logDirectory, stopReason, elapsed, width)) {
        std::fprintf(out_, "%s\n", line.c_str());
    }
    std::fflush(out_);
}
