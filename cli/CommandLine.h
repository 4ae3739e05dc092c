#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/ExitStatus.h"
#include "update/ConnectionChoice.h"
#include "update/ProcedureTexts.h"

struct CliOptions {
    enum class Command { Identify, Update, ListPorts, Help, Version };
    enum class Verbosity { Quiet, Normal, Verbose };
    Command command = Command::Help;
    ConnectionChoice choice;
    std::string firmwareDirectory;  // ends in '/'; empty: the default folder
    std::string coderFile;          // with --coder: the files named one by one
    std::string samplesFile;
    std::string dspFile;
    std::string logPath;  // empty: TarvelinLog.txt beside the firmware files
    std::optional<Language> language;
    bool json = false;
    bool events = false;
    bool yes = false;
    Verbosity verbosity = Verbosity::Normal;
};

struct ParsedCommandLine {
    bool ok = false;
    std::string error;   // one line naming the problem when !ok
    std::string output;  // Help and Version: the text to print
    CliOptions options;
};

// Never throws: every refusal is a ParsedCommandLine with ok false.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The project version, as CMake knows it.
std::string ProgramVersion();

// The top-level --help text, with the exit statuses.
std::string UsageText();
// The exit-status table that --help and the README show.
std::string ExitStatusText();
