#pragma once

#include <string>

#include "update/ConnectionChoice.h"

// A connection as the command line and the fleet's inventory write it; false with `error`, one
// line that names the problem and what to write, when the text is none.

// "7", "COM7" (any case) or a device path.
bool ParseSerialPort(const std::string& text, ConnectionChoice& choice, std::string& error);
// "HOST:PORT" with an IPv4 address or a host name and a port from 1 to 65535.
bool ParseTcpTarget(const std::string& text, ConnectionChoice& choice, std::string& error);
