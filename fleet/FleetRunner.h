#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "console/ChildProcess.h"
#include "fleet/FleetCoderState.h"
#include "fleet/FleetDisplay.h"
#include "fleet/FleetOptions.h"
#include "fleet/FleetScheduler.h"

// Runs a fleet: every coder in its own tarvelin-cli child (identify and/or update with
// --events), its standard output read line by line, at most -j at once; Ctrl-C, SIGTERM and
// SIGHUP start nothing more and pass one SIGINT to the running children.
class FleetRunner {
public:
    // `program`: the tarvelin-cli the children run (this program).
    FleetRunner(FleetOptions options, std::vector<FleetEntry> entries, std::string program);

    // The exit status: 0, 1, or 128 + the signal that interrupted it (64 when the log folder
    // cannot be made).
    int Run();

    // The folder the logs go to, made by Run().
    const std::string& LogDirectory() const { return logDirectory_; }

    // How a child's end reads for the fleet (tested directly).
    static CoderOutcome Classify(const CoderProgress& progress, bool identifyStep,
                                 bool identifyOnly, const ChildExit& exit, std::string& reason);
    // Whether an identification shows the coder already runs the version to flash.
    static bool IsCurrent(const CoderProgress& progress);

private:
    struct Child {
        size_t coder = 0;
        ChildProcess process;
        std::string pending;
        bool identify = false;
        bool eof = false;
        CoderProgress progress;
    };

    bool MakeLogDirectory(std::string& error);
    bool Spawn(size_t coder, bool identify, std::string& error);
    void ReadChild(Child& child);
    void EndChild(Child& child, const ChildExit& exit);
    void Interrupt(int signal);
    std::string LastStderrLine(size_t coder) const;
    std::string PathFor(size_t coder, const char* suffix) const;

    FleetOptions options_;
    std::string program_;
    std::string logDirectory_;
    std::vector<FleetCoderState> coders_;
    FleetScheduler scheduler_;
    FleetDisplay display_;
    std::vector<Child> children_;
    int interrupts_ = 0;
    int firstSignal_ = 0;
    std::chrono::steady_clock::time_point firstInterrupt_{};
};

// `tarvelin-cli fleet ARGS...`: parses, reads the inventory, runs. The exit status.
int RunFleetCommand(const std::vector<std::string>& arguments);
