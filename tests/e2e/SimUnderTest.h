#pragma once

#include <string>
#include <vector>

#include "FirmwareFolder.h"
#include "support/SimProcess.h"
#include "unit/TempDirectory.h"

// A simulator process for one test with its flash dump in a folder of its own; the dump is read
// after the simulator has ended, when it writes it.
class SimUnderTest {
public:
    explicit SimUnderTest(std::vector<std::string> args)
        : sim_([&] {
              args.push_back("--dump");
              args.push_back(dumpDir_.Path() + "dump.txt");
              return args;
          }()) {
        const std::vector<std::string> lines = sim_.Announcements();
        port_ = PortOf(lines);
        pty_ = PtyOf(lines);
        ready_ = !lines.empty();
    }

    bool Ready() const { return ready_; }
    uint16_t Port() const { return port_; }
    const std::string& Pty() const { return pty_; }

    // Ends the simulator (exit status 0 expected) and gives its dump lines.
    std::vector<std::string> StopAndDump() {
        if (sim_.Stop() != 0) {
            return {"simulator did not end cleanly"};
        }
        return ReadLines(dumpDir_.Path() + "dump.txt");
    }

private:
    TempDirectory dumpDir_;
    SimProcess sim_;
    uint16_t port_ = 0;
    std::string pty_;
    bool ready_ = false;
};
