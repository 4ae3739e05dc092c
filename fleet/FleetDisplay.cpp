#include "fleet/FleetDisplay.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

std::string Clip(const std::string& text, size_t width) {
    if (text.size() <= width) {
        return text + std::string(width - text.size(), ' ');
    }
    return width == 0 ? std::string() : text.substr(0, width - 1) + "~";
}

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
    std::string shown;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        // C1 controls in UTF-8 (U+0080 to U+009F) start with 0xC2.
        const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (c == '\n') {
            shown += ' ';  // a message of two lines in one table cell
        } else if (c < 0x20 || c == 0x7F || c1) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X",
                          c1 ? static_cast<unsigned char>(text[++i]) : c);
            shown += escaped;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
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

std::vector<std::string> FleetDisplay::TableLines(const std::vector<FleetCoderState>& coders,
                                                  Clock::time_point now, int width,
                                                  int height) const {
    size_t nameWidth = 4;
    size_t connectionWidth = 10;
    for (const FleetCoderState& c : coders) {
        nameWidth = std::max(nameWidth, std::min<size_t>(20, Printable(c.entry.name).size()));
        connectionWidth =
            std::max(connectionWidth, std::min<size_t>(24, Printable(c.entry.connection).size()));
    }
    auto row = [&](const std::string& name, const std::string& connection, const std::string& phase,
                   const std::string& percent, const std::string& status) {
        std::string line =
            Clip(Printable(name), nameWidth) + "  " + Clip(Printable(connection), connectionWidth) +
            "  " + Clip(Printable(phase), 28) + " " + Clip(percent, 4) + "  " + Printable(status);
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        return line.size() > static_cast<size_t>(width) ? Clip(line, width) : line;
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
    lines.push_back(row("NAME", "CONNECTION", "PHASE", "%", "RESULT"));
    for (size_t i : shown) {
        const FleetCoderState& c = coders[i];
        std::string phase = c.outcome == CoderOutcome::Waiting ? "waiting" : c.progress.phase;
        if (c.hasEnded) {
            phase = "ended";
        }
        const std::string percent = c.outcome == CoderOutcome::Running && c.progress.percent >= 0
                                        ? std::to_string(c.progress.percent) + "%"
                                        : "";
        lines.push_back(row(c.entry.name, c.entry.connection, phase, percent, Status(c)));
    }
    if (shown.size() < coders.size()) {
        lines.push_back("  (" + std::to_string(coders.size() - shown.size()) +
                        " more not shown: the terminal is too short)");
    }
    lines.push_back(Clip(TotalLine(coders, now), static_cast<size_t>(width)));
    for (std::string& line : lines) {
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
    }
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
    std::fprintf(out_, "%s\n", Printable(text).c_str());
    std::fflush(out_);
}

void FleetDisplay::Update(const std::vector<FleetCoderState>& coders, Clock::time_point now) {
    if (terminal_) {
        winsize size{};
        int width = 100;
        int height = 40;
        if (ioctl(fileno(out_), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
            width = size.ws_col;
            height = size.ws_row;
        }
        const std::vector<std::string> lines = TableLines(coders, now, width - 1, height);
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
    size_t nameWidth = 4;
    size_t connectionWidth = 10;
    for (const FleetCoderState& c : coders) {
        nameWidth = std::max(nameWidth, Printable(c.entry.name).size());
        connectionWidth = std::max(connectionWidth, Printable(c.entry.connection).size());
    }
    auto row = [&](const std::string& name, const std::string& connection,
                   const std::string& outcome, const std::string& versions,
                   const std::string& reason) {
        std::string line = Clip(Printable(name), nameWidth) + "  " +
                           Clip(Printable(connection), connectionWidth) + "  " + Clip(outcome, 18) +
                           "  " + Clip(Printable(versions), 15) + "  " + Printable(reason);
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        std::fprintf(out_, "%s\n", line.c_str());
    };
    std::fprintf(out_, "\n");
    row("NAME", "CONNECTION", "OUTCOME", "VERSIONS", "MESSAGE");
    for (const FleetCoderState& c : coders) {
        std::string versions = c.versionBefore;
        if (!c.versionAfter.empty()) {
            versions += " -> " + c.versionAfter;
        }
        row(c.entry.name, c.entry.connection, OutcomeName(c.outcome), versions, c.reason);
    }
    const FleetTotals t = CountTotals(coders);
    std::fprintf(out_, "\n%zu coders: %zu done, %zu failed, %zu skipped in %s.%s\n", coders.size(),
                 t.done, t.failed, t.skipped, Duration(elapsed).c_str(),
                 stopReason.empty() ? "" : (" Stopped: " + stopReason + ".").c_str());
    std::fprintf(out_, "Logs: %s\n", Printable(logDirectory).c_str());
    std::fflush(out_);
}
