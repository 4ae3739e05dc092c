#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/SimOptions.h"
#include "sim/SimServer.h"

// Several independent simulated coders in one process, one SimServer each: over TCP on
// consecutive loopback ports, over serial on a pseudo-terminal each, linked as consecutive COM
// numbers. With one coder it is exactly one SimServer with the options as given.
class SimFleet {
public:
    // One SimOptions per coder, as ParseSimOptions gives them.
    explicit SimFleet(std::vector<SimOptions> coders);
    ~SimFleet();
    SimFleet(const SimFleet&) = delete;
    SimFleet& operator=(const SimFleet&) = delete;

    bool Start(std::string& error);
    // Ends every coder's thread; the devices stay for the dumps.
    void Stop();

    size_t size() const { return servers_.size(); }
    SimServer& coder(size_t index) { return *servers_[index]; }
    // The lines to print before "ready": per coder its tcp, serial and link lines.
    std::vector<std::string> Announcements() const;
    // Every coder's --dump and --dump-raw; the first failure's reason.
    bool WriteDumps(std::string& error) const;

    // Coder `index` (from 0) of `count`: its own TCP port from `base`, COM link, dump file
    // (FILE.K) and raw dump folder (DIR/K), K counted from 1.
    static SimOptions ForCoder(SimOptions options, size_t index, size_t count, uint16_t base);

private:
    bool StartAll(uint16_t base, std::string& error);

    std::vector<SimOptions> options_;
    std::vector<std::unique_ptr<SimServer>> servers_;
};
