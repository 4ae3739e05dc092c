#pragma once

// The values of "event" in the lines of tarvelin-cli --events, one JSON object a line: written
// by the command line, read by its fleet and by the scripts of its users. A name, once out,
// keeps its meaning.
inline constexpr const char* kEventLog = "log";                // path: the log, or null
inline constexpr const char* kEventStatus = "status";          // text
inline constexpr const char* kEventIdentified = "identified";  // outcome, versions, warnings
inline constexpr const char* kEventWarning = "warning";        // code, name, text
inline constexpr const char* kEventQuestion = "question";      // text, answer
inline constexpr const char* kEventStage = "stage";            // stage, label
inline constexpr const char* kEventProgress = "progress";      // stage, blocks, percent
inline constexpr const char* kEventWait = "wait";              // kind (0: over), text, maxMs
inline constexpr const char* kEventResult = "result";          // the last line: exitStatus ...
