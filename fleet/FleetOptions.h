#pragma once

#include <optional>
#include <string>
#include <vector>

// What `tarvelin-cli fleet` was told.
struct FleetOptions {
    std::string inventory;
    int jobs = 8;
    std::string logDirectory;  // empty: a new fleet-<date>-<time> folder beside the inventory
    int canary = 0;
    int maxFailures = 0;
    bool skipCurrent = false;
    bool identifyOnly = false;
    bool yes = false;
    bool json = false;
    // Handed to every child as they are: the files are read by each, never copied.
    std::string firmwareDirectory;
    std::string coderFile;
    std::string samplesFile;
    std::string dspFile;
    std::string language;  // "en", "de" or empty
};

struct ParsedFleetOptions {
    bool ok = false;
    bool help = false;
    std::string error;
    FleetOptions options;
};

namespace CLI {
class App;
}

// Adds the `fleet` command with its options to `app`, filling `options` when it parses.
CLI::App* AddFleetCommand(CLI::App& app, FleetOptions& options);

// The arguments after "fleet".
ParsedFleetOptions ParseFleetOptions(const std::vector<std::string>& arguments);
std::string FleetUsage();

// The arguments of one child: `update` (or `identify`) with --events, the connection, the
// files, the log and the language; --yes only when the fleet was given it.
std::vector<std::string> FleetChildArguments(const FleetOptions& options, bool identify,
                                             bool serial, const std::string& connection,
                                             const std::string& logPath);
