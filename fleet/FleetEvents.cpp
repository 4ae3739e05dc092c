#include "fleet/FleetEvents.h"

#include <nlohmann/json.hpp>

#include "console/EventNames.h"
#include "update/UpdateCodes.h"

namespace {

using nlohmann::json;

std::string Text(const json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

int Number(const json& object, const char* key, int otherwise) {
    const auto it = object.find(key);
    return it != object.end() && it->is_number_integer() ? it->get<int>() : otherwise;
}

bool Flag(const json& object, const char* key, bool otherwise) {
    const auto it = object.find(key);
    return it != object.end() && it->is_boolean() ? it->get<bool>() : otherwise;
}

void ApplyIdentification(const json& e, CoderProgress& p) {
    p.identified = p.identified || e.contains("outcome") || e.contains("currentVersion");
    p.identification = Number(e, "outcome", p.identification);
    p.mayUpdate = Flag(e, "mayUpdate", p.mayUpdate);
    // The outcome says it too, for a child that does not name it.
    const bool biosOutcome =
        p.identification == UPD_SERIAL_BIOS || p.identification == UPD_TCP_BIOS;
    p.biosRunning = Flag(e, "biosRunning", e.contains("outcome") ? biosOutcome : p.biosRunning);
    // A result event repeats what it knows; fields it leaves out keep their value.
    for (auto [key, field] :
         {std::pair{"currentVersion", &p.currentVersion}, std::pair{"biosVersion", &p.biosVersion},
          std::pair{"versionToFlash", &p.versionToFlash}}) {
        if (e.contains(key)) {
            *field = Text(e, key);
        }
    }
    if (p.biosRunning) {
        p.currentVersion.clear();  // an older child named the BIOS version here
    }
    if (const auto it = e.find("warnings"); it != e.end() && it->is_array()) {
        p.warnings.clear();
        for (const json& w : *it) {
            if (w.is_string()) {
                p.warnings.push_back(w.get<std::string>());
            }
        }
    }
}

void SetPhase(CoderProgress& p, const std::string& text) {
    if (text != p.phase) {
        p.phases.push_back(text);
    }
    p.phase = text;
}

}  // namespace

bool ApplyEventLine(const std::string& line, CoderProgress& p) {
    const json e = json::parse(line, nullptr, false);
    if (e.is_discarded() || !e.is_object() || !e.contains("event") || !e["event"].is_string()) {
        ++p.badLines;
        return false;
    }
    const std::string kind = e["event"].get<std::string>();
    if (kind == kEventLog) {
        p.logReported = true;
        p.logPath = Text(e, "path");
    } else if (kind == kEventStatus) {
        SetPhase(p, Text(e, "text"));
    } else if (kind == kEventIdentified) {
        ApplyIdentification(e, p);
    } else if (kind == kEventWarning) {
        const std::string text = Text(e, "text");
        if (!text.empty()) {
            SetPhase(p, text);
        }
    } else if (kind == kEventQuestion) {
        p.question = Text(e, "text") + " " + Text(e, "answer");
        p.refused = Text(e, "answer") == "no";
    } else if (kind == kEventStage) {
        p.stage = Number(e, "stage", p.stage);
        SetPhase(p, Text(e, "label"));
        p.percent = 0;
    } else if (kind == kEventProgress) {
        p.stage = Number(e, "stage", p.stage);
        p.percent = Number(e, "percent", p.percent);
    } else if (kind == kEventWait) {
        if (Number(e, "kind", 0) != 0) {
            SetPhase(p, Text(e, "text"));
        }
    } else if (kind == kEventResult) {
        p.haveResult = true;
        p.exitStatus = Number(e, "exitStatus", -1);
        p.result = Number(e, "result", -1);
        p.lastBlockResult = Number(e, "lastBlockResult", -1);
        p.message = Text(e, "message");
        p.reason = Text(e, "reason");
        p.note = Text(e, "note");
        p.newVersion = Text(e, "newVersion");
        p.newVersionMatches = Flag(e, "newVersionMatches", true);
        if (e.contains("outcome") || e.contains("currentVersion") || e.contains("warnings")) {
            ApplyIdentification(e, p);
        }
    }
    // Unknown events are for newer front ends; they are not errors.
    return true;
}

std::string ComparableVersion(const std::string& version) {
    // "2.16 (Coder_V02_16.img)": the version is the first word.
    const size_t start = version.find_first_not_of(" \t");
    if (start == std::string::npos) {
        return {};
    }
    std::string text = version.substr(start, version.find_first_of(" \t", start) - start);
    if (!text.empty() && (text[0] == 'V' || text[0] == 'v')) {
        text.erase(0, 1);
    }
    return text;
}
