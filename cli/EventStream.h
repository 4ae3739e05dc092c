#pragma once

#include <cstdio>
#include <nlohmann/json.hpp>

#include "console/EventNames.h"

// --events: one JSON object per line on standard output, each flushed at once so a reader
// sees the run as it goes. The line layout is read by scripts and other front ends: keep it.
class EventStream {
public:
    EventStream(std::FILE* out, bool enabled) : out_(out), enabled_(enabled) {}

    bool Enabled() const { return enabled_; }
    // `event` is the value of the "event" key (one of console/EventNames.h); the other members
    // follow it.
    void Emit(const char* event, nlohmann::ordered_json members = nlohmann::ordered_json::object());

private:
    std::FILE* out_;
    bool enabled_;
};
