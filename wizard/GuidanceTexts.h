#pragma once

#include <string>

#include "update/ProcedureTexts.h"

// What the wizard says beyond its string table, in both languages, UTF-8: why it stays open,
// why a port is refused, where the log is and where the firmware files are.
enum class GuidanceText {
    CloseRefusedIdentifying,  // close request while the identification runs
    CloseRefusedUpdating,     // close request while the flash sequence runs
    PortTooHigh,              // beside a TCP port above 65535
    LogWindowTitle,
    LogShownHere,          // in the log window: why it is not the desktop's viewer
    CopyLogPath,           // the log window's button
    LogUnreadable,         // %1: the log's path
    NoLogFile,             // on the Update page in place of "Show log file..."
    ChooseFirmwareFolder,  // title of the folder chooser
    NoSuchFolder,          // %1: the start argument, which names nothing
    Usage,                 // more than one start argument
};

// "%1" stands for the value a text names.
std::string GuidanceTextString(GuidanceText text, Language language);
