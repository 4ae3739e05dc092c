#pragma once

#include <chrono>
#include <string>

#include "fleet/FleetEvents.h"
#include "fleet/FleetInventory.h"
#include "fleet/FleetScheduler.h"

// One coder of a fleet run as the display and the summary show it.
struct FleetCoderState {
    FleetEntry entry;
    CoderProgress progress;
    CoderOutcome outcome = CoderOutcome::Waiting;
    std::string reason;   // the result's message, or why it did not run
    std::string logPath;  // the update's log (or the identification's with --identify-only)
    std::string versionBefore;
    std::string versionAfter;
    std::chrono::system_clock::time_point started{};
    std::chrono::system_clock::time_point ended{};
    std::chrono::steady_clock::time_point startedSteady{};
    bool hasStarted = false;
    bool hasEnded = false;
};
