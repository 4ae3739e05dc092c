#pragma once

#include <optional>
#include <string>
#include <vector>

#include "update/ConnectionChoice.h"
#include "update/ProcedureTexts.h"

// Exit statuses of the command line beyond the procedure's own codes.
constexpr int kExitUsage = 64;
constexpr int kExitNoFirmware = 66;
constexpr int kExitConfirmationNeeded = 75;

struct CliOptions {
    enum class Command { Identify, Update, Help };
    Command command = Command::Help;
    ConnectionChoice choice;
    std::string firmwareDirectory;  // empty: the program directory
    std::string logPath;            // empty: TarvelinLog.txt in the program directory
    std::optional<Language> language;
    bool json = false;
    bool yes = false;
};

struct ParsedCommandLine {
    bool ok = false;
    std::string error;  // names the problem when !ok
    CliOptions options;
};

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// "7", "COM7" (any case) or a device path.
bool ParseSerialPort(const std::string& text, ConnectionChoice& choice, std::string& error);
// "HOST:PORT" with an IPv4 address or a host name and a port from 1 to 65535.
bool ParseTcpTarget(const std::string& text, ConnectionChoice& choice, std::string& error);

std::string UsageText();
