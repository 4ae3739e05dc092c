#pragma once

#include <cstdint>
#include <string>

#include "update/Settings.h"

// The connection choice as the Connect page keeps it between runs, with the defaults of a first
// start: serial, COM1, no address, port 0. Numbers are stored as they stand: a serial port of
// -1 (nothing was selected) or a TCP port above 65535 is the connection attempt's to refuse.
struct ConnectionSettings {
    int32_t connectionType = 0;  // 0 serial, anything else TCP/IP
    int32_t serialPort = 1;
    std::string tcpAddress;
    int32_t tcpPort = 0;
};

// Read once, in the order the page reads them: "SerialPort", "TcpAddress", "TcpPort",
// "ConnectionType".
ConnectionSettings LoadConnectionSettings(const Settings& settings);

// As the page stores them when it is left: "ConnectionType" first, then "SerialPort" for a
// serial choice, else "TcpAddress" and after it "TcpPort". The values of the transport not
// chosen stay as they were, so both sets survive a change of transport. False at the first
// value that could not be stored, with the system's reason in `error`.
bool StoreConnectionSettings(Settings& settings, const ConnectionSettings& choice,
                             std::string& error);
