#include "fleet/FleetSummary.h"

#include <ctime>
#include <nlohmann/json.hpp>

#include "console/CalendarTime.h"
#include "fleet/FleetDisplay.h"

namespace {

using nlohmann::ordered_json;

ordered_json OrNull(int value) {
    return value < 0 ? ordered_json() : ordered_json(value);
}

ordered_json OrNull(const std::string& text) {
    return text.empty() ? ordered_json() : ordered_json(text);
}

}  // namespace

std::string IsoTime(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    const std::tm utc = UtcCalendarTime(seconds);
    const long long millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() %
        1000;
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03lldZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return text;
}

std::string FleetSummaryJson(const std::vector<FleetCoderState>& coders, const FleetRunInfo& run) {
    const FleetTotals totals = CountTotals(coders);
    ordered_json summary;
    summary["inventory"] = run.inventory;
    summary["logDir"] = run.logDirectory;
    summary["started"] = IsoTime(run.started);
    summary["ended"] = IsoTime(run.ended);
    summary["interrupted"] = run.interrupted;
    summary["stopReason"] = OrNull(run.stopReason);
    summary["exitStatus"] = run.exitStatus;
    summary["done"] = totals.done;
    summary["failed"] = totals.failed;
    summary["skipped"] = totals.skipped;
    ordered_json rows = ordered_json::array();
    for (const FleetCoderState& c : coders) {
        ordered_json row;
        row["name"] = c.entry.name;
        row["connection"] = c.entry.connection;
        row["line"] = c.entry.line;
        row["outcome"] = OutcomeName(c.outcome);
        row["identification"] = OrNull(c.progress.identification);
        row["result"] = OrNull(c.progress.result);
        row["lastBlockResult"] = OrNull(c.progress.lastBlockResult);
        row["message"] = c.reason;
        row["note"] = OrNull(c.progress.note);
        // A coder found in its BIOS has no version before: biosVersion is what ran.
        row["biosRunning"] =
            c.progress.identified ? ordered_json(c.progress.biosRunning) : ordered_json();
        row["versionBefore"] = OrNull(c.versionBefore);
        row["versionToFlash"] = OrNull(c.progress.versionToFlash);
        row["versionAfter"] = OrNull(c.versionAfter);
        row["biosVersion"] = OrNull(c.progress.biosVersion);
        row["warnings"] = c.progress.warnings;
        row["exitStatus"] = OrNull(c.progress.exitStatus);
        row["log"] = OrNull(c.logPath);
        row["started"] = c.hasStarted ? ordered_json(IsoTime(c.started)) : ordered_json();
        row["ended"] = c.hasEnded ? ordered_json(IsoTime(c.ended)) : ordered_json();
        ordered_json columns = ordered_json::object();
        for (const auto& [column, value] : c.entry.columns) {
            columns[column] = value;
        }
        row["columns"] = columns;
        rows.push_back(row);
    }
    summary["coders"] = rows;
    return summary.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}
