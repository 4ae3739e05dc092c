#pragma once

#include <string>
#include <vector>

struct PortHolder {
    int pid = 0;
    std::string name;  // /proc/PID/comm; empty when it could not be read
    // Holds the pseudo-terminal's master as well: the line's other end (socat, a simulator built
    // on openpty), which keeps the slave open too. It is what the port is connected to, not a
    // second client, and never a reason to refuse the port.
    bool farSide = false;
};

// Other processes that have the device open, found as fuser finds them: every /proc/PID/fd
// entry that is the same character device. This process is left out. Processes of other users
// are only seen with the rights to read their /proc entries (root sees all). None on Windows,
// which does not tell who holds a COM port.
std::vector<PortHolder> FindPortHolders(const std::string& devicePath);

// The holders that keep the port from being ours alone: all but a pseudo-terminal's far side.
std::vector<PortHolder> ForeignHolders(const std::vector<PortHolder>& holders);
