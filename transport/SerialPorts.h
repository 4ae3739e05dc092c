#pragma once

#include <string>
#include <vector>

constexpr int kFirstComPort = 1;
constexpr int kLastComPort = 31;

// The device COMn stands for: the link COMn in the per-user ports folder when it exists,
// otherwise the built-in map (COM1-4 ttyS0-3, COM5-20 ttyUSB0-15, COM21-31 ttyACM0-10).
// Empty for numbers outside 1..31 without a link.
std::string ResolveComPort(int number);

// $XDG_CONFIG_HOME/Orvane/ports/ (default ~/.config/Orvane/ports/).
std::string PortsFolder();

// The COM numbers 1..31 whose device exists and is a usable serial port, in increasing order.
std::vector<int> ListSerialPorts();
