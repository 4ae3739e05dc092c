#pragma once

#include <string>
#include <vector>

struct PortHolder {
    int pid = 0;
    std::string name;  // /proc/PID/comm; empty when it could not be read
};

// Other processes that have the device open, found as fuser finds them: every /proc/PID/fd
// entry that is the same character device. This process is left out. Processes of other users
// are only seen with the rights to read their /proc entries (root sees all).
std::vector<PortHolder> FindPortHolders(const std::string& devicePath);
