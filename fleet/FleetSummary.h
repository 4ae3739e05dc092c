#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "fleet/FleetCoderState.h"

struct FleetRunInfo {
    std::string inventory;
    std::string logDirectory;
    std::chrono::system_clock::time_point started{};
    std::chrono::system_clock::time_point ended{};
    bool interrupted = false;
    std::string stopReason;
    int exitStatus = 0;
};

// "2026-12-09T14:30:05.123Z".
std::string IsoTime(std::chrono::system_clock::time_point time);

// The summary as one JSON object (one line, valid UTF-8: bad bytes become U+FFFD): the run's
// fields and "coders", one object per coder in inventory order.
std::string FleetSummaryJson(const std::vector<FleetCoderState>& coders, const FleetRunInfo& run);
